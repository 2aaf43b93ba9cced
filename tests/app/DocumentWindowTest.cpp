// The document commands on the real window: a gauge's link on a
// pseudo-terminal (to see where it is paused), scripted message boxes and
// file dialogs, documents in a temporary folder.
#include "app/capture/EditorInserter.h"
#include "app/document/PrintLayout.h"
#include "app/window/TMainScreen.h"
#include "serial/TSerial.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/FakeFileDialogs.h"
#include "tests/serial/PtyPort.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FileSystemFaults.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <sys/ioctl.h>
#include <sys/stat.h>

// Readable failures.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using platform::IDCANCEL;
using platform::IDNO;
using platform::IDOK;
using platform::IDYES;

QString IniFile() {
    return testing_support::ConfigHome() + "/Brisquell/BSave.ini";
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class DocumentWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName("Brisquell");
        ASSERT_TRUE(Folder.isValid());
        ASSERT_FALSE(Gauge.Path.isEmpty());
        // Each box and dialog notes whether the link was paused behind it.
        Dialogs.WhileShown = [this] { Seen << (Linked() ? "running" : "paused"); };
        Files.WhileShown = Dialogs.WhileShown;
    }
    void TearDown() override { Window.reset(); }

    // A program start with the gauge's port connected.
    void Start(const QByteArray& ini = {}) {
        Window.reset();
        WriteFile(IniFile(), "[System]\nWorkDir=" + Folder.path().toUtf8() + "/\n" + ini);
        Window = std::make_unique<TMainScreen>(Dialogs);
        Window->SetFileDialogs(&Files);
        Window->show();
        ASSERT_TRUE(Linked());
        Dialogs.Messages.clear();
        Seen.clear();
    }
    bool Linked() const { return Window->findChild<TSerial*>("Serial1")->Active(); }
    QPlainTextEdit* Editor() const { return Window->findChild<QPlainTextEdit*>("Editor"); }
    QString Text() const { return Editor()->toPlainText(); }
    bool Modified() const { return Editor()->document()->isModified(); }
    void Type(const QString& text) const { Editor()->insertPlainText(text); }
    void Run(const char* action) const {
        QAction* item = Window->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(item, nullptr) << action;
        item->trigger();
    }
    QString Path(const char* name) const { return Folder.filePath(QString::fromUtf8(name)); }
    QStringList Recent() const {
        QStringList entries;
        for (const QAction* item : Window->findChild<QMenu*>("PopupOpen")->actions())
            if (item->isVisible())
                entries << item->text().mid(5);
        return entries;
    }
    // Answers for the boxes and dialogs to come, in order.
    void Answer(std::initializer_list<int> boxes, std::initializer_list<QString> dialogs = {}) {
        Dialogs.Answers.assign(boxes);
        Files.Answers.assign(dialogs);
    }

    TTestManager Module; // the ports folder is all the serial module sees
    TPtyPort Gauge{5};
    QTemporaryDir Folder;
    TFakeDialogs Dialogs;
    TFakeFileDialogs Files;
    QStringList Seen;
    std::unique_ptr<TMainScreen> Window;
};

TEST_F(DocumentWindowTest, SaveAndSaveAsNameWriteAndListTheFile) {
    Start();
    EXPECT_EQ(Window->windowTitle(), "Unbenannt - Brisquell");
    Type(QString::fromUtf8("1,5 µm\n2,5 µm"));
    Answer({}, {Path("bericht")});
    Run("act_file_save"); // untitled: Save is Save As
    EXPECT_EQ(Files.Shown, QStringList({"Save"}));
    EXPECT_EQ(Files.InitialDirs, QStringList({Folder.path() + "/"}));
    EXPECT_EQ(Seen, QStringList({"paused"}));
    EXPECT_TRUE(Linked()) << "resumed after Save As";
    EXPECT_EQ(Contents(Path("bericht.txt")), "1,5 \xB5m\r\n2,5 \xB5m");
    EXPECT_EQ(Window->windowTitle(), "bericht.txt - Brisquell");
    EXPECT_FALSE(Modified());

    Type("\n");
    Run("act_file_save"); // named: written in place, no dialog, no pause
    EXPECT_EQ(Files.Shown.size(), 1);
    EXPECT_EQ(Contents(Path("bericht.txt")), "1,5 \xB5m\r\n2,5 \xB5m\r\n");

    Answer({}, {Path("bericht.dat"), Path("A"), Path("B")});
    for (int i = 0; i < 3; ++i)
        Run("act_file_saveas");
    EXPECT_TRUE(QFile::exists(Path("bericht.dat")));
    EXPECT_EQ(Recent(), QStringList({Path("B.txt"), Path("A.txt"), Path("bericht.dat"),
                                     Path("bericht.txt")}));
    Answer({IDYES}, {Path("A")}); // A, B, A: no longer the newest, so listed again
    Run("act_file_saveas");
    EXPECT_EQ(Recent(), QStringList({Path("A.txt"), Path("B.txt"), Path("A.txt"),
                                     Path("bericht.dat"), Path("bericht.txt")}));

    // An existing name is written only after Yes at the overwrite question.
    Type("changed");
    for (const int answer : {IDNO, IDCANCEL}) {
        Dialogs.Messages.clear();
        Answer({answer}, {Path("B.txt")});
        Run("act_file_saveas");
        EXPECT_EQ(Dialogs.Messages, QStringList({"Überschreiben " + Path("B.txt") + " ?"}));
        EXPECT_EQ(Contents(Path("B.txt")), "1,5 \xB5m\r\n2,5 \xB5m\r\n");
        EXPECT_TRUE(Modified());
        EXPECT_EQ(Window->windowTitle(), "A.txt - Brisquell");
    }
    Answer({}, {Path("C.dat")});
    Run("act_file_saveas"); // a sixth name drops the oldest
    EXPECT_EQ(Recent(), QStringList({Path("C.dat"), Path("A.txt"), Path("B.txt"), Path("A.txt"),
                                     Path("bericht.dat")}));

    // A write error is shown with its reason; the link comes back.
    Answer({}, {Path("missing/x.txt")});
    Type("more");
    Run("act_file_saveas");
    ASSERT_EQ(Dialogs.Exceptions.size(), 1);
    EXPECT_TRUE(Dialogs.Exceptions[0].contains(Path("missing/x.txt")));
    EXPECT_TRUE(Modified());
    EXPECT_TRUE(Linked());
    EXPECT_EQ(Window->windowTitle(), "C.dat - Brisquell");
}

// A save that fails on a full disk: the old file stays byte for byte, the
// message says why in the window's language, the document stays modified
// and its journal stays. At the question at exit it keeps the window open.
TEST_F(DocumentWindowTest, AFailedSaveKeepsTheDocumentTheJournalAndTheOldFile) {
    // A folder that takes no new file is not written in place: the message
    // asks for another place. (Without root's overrides, as for a user.)
    QDir().mkpath(Path("locked"));
    WriteFile(Path("locked/alt.txt"), "alt\r\n");
    Start();
    Type("1 mm");
    {
        const TWithoutOverride plainUser;
        ASSERT_TRUE(plainUser.Effective());
        QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::ExeOwner);
        Answer({IDYES}, {Path("locked/alt.txt")});
        Run("act_file_saveas");
        QFile::setPermissions(Path("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ASSERT_EQ(Dialogs.Exceptions.size(), 1);
    EXPECT_TRUE(Dialogs.Exceptions[0].endsWith("Bitte einen anderen Ort wählen."))
        << Dialogs.Exceptions[0].toStdString();
    EXPECT_EQ(Contents(Path("locked/alt.txt")), "alt\r\n");
    EXPECT_TRUE(Modified());
    Dialogs.Exceptions.clear();
    Answer({IDNO});
    Run("act_file_new");

    QString whyNot;
    const auto disk = TScratchMount::Make(Path("disk"), 1024 * 1024, whyNot);
    if (!disk)
        GTEST_SKIP() << whyNot.toStdString();
    const QString target = disk->Path() + "/messung.txt";
    WriteFile(target, "alt\r\n");
    Start();
    Answer({}, {target});
    Run("act_file_open");
    Type("12,5 mm");
    const QString journals = testing_support::StateHome() + "/Brisquell";
    const auto journaled = [&] {
        return QDir(journals).entryList({"capture-*.brqj"}, QDir::Files).size() == 1;
    };
    ASSERT_TRUE(testing_support::WaitFor(journaled));
    ASSERT_TRUE(disk->Fill());

    Run("act_file_save");
    ASSERT_EQ(Dialogs.Exceptions.size(), 1);
    EXPECT_EQ(Dialogs.Exceptions[0],
              "In " + target + " kann nicht geschrieben werden\nDer Datenträger ist voll.");
    EXPECT_TRUE(Modified());
    EXPECT_EQ(Contents(target), "alt\r\n");
    EXPECT_TRUE(journaled());
    EXPECT_EQ(QDir(disk->Path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({".filler", "messung.txt"}));

    Answer({IDYES});
    EXPECT_FALSE(Window->close());
    EXPECT_EQ(Dialogs.Exceptions.size(), 2);
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(Text(), "12,5 mmalt\n");
    EXPECT_TRUE(Modified());
    EXPECT_TRUE(journaled());

    disk->Unfill();
    Answer({IDYES});
    EXPECT_TRUE(Window->close());
    EXPECT_EQ(Contents(target), "12,5 mmalt\r\n");
    Window.reset();
    EXPECT_FALSE(journaled());
}

// Open names what is no document for what it is; a file with bytes that are
// no valid UTF-8 behind its mark is saved again as it came.
TEST_F(DocumentWindowTest, OpenNamesWhatIsNoDocumentAndKeepsEveryByte) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe")).constData(), 0600), 0);
    QDir().mkpath(Path("ordner"));
    QFile::link("loop-b", Path("loop-a"));
    QFile::link("loop-a", Path("loop-b"));
    Start();
    for (const auto& [name, message] :
         {std::pair{"pipe", "pipe ist eine benannte Pipe, keine Datei !"},
          std::pair{"ordner", "ordner ist ein Ordner !"},
          std::pair{"loop-a", "Die symbolischen Verweise von loop-a bilden eine Schleife !"},
          std::pair{"weg.txt", "Die Datei weg.txt ist nicht vorhanden !"}}) {
        Dialogs.Messages.clear();
        Answer({}, {Path(name)});
        Run("act_file_open");
        EXPECT_EQ(Dialogs.Messages, QStringList({QString::fromUtf8(message)}));
        EXPECT_EQ(Window->windowTitle(), "Unbenannt - Brisquell");
    }

    // A file that may not be read says so in the window's language.
    WriteFile(Path("secret.txt"), "x");
    QFile::setPermissions(Path("secret.txt"), QFile::WriteOwner);
    {
        const TWithoutOverride plainUser;
        Dialogs.Messages.clear();
        Answer({}, {Path("secret.txt")});
        Run("act_file_open");
    }
    EXPECT_EQ(Dialogs.Messages,
              QStringList({"Die Datei secret.txt kann nicht gelesen werden\nKeine Berechtigung."}));

    const QByteArray mixed = "\xEF\xBB\xBF"
                             "12,5 \xC2\xB5m\r\n\xB5m \xFF\xFE\r\n\xE2\x82 x";
    WriteFile(Path("mixed.txt"), mixed);
    Answer({}, {Path("mixed.txt")});
    Run("act_file_open");
    Answer({}, {Path("copy.txt")});
    Run("act_file_saveas");
    EXPECT_EQ(Contents(Path("copy.txt")), mixed);
}

TEST_F(DocumentWindowTest, OpenNewAndClearAskBeforeTheyDiscard) {
    WriteFile(Path("A.txt"), "x\r\ny\rz\n");
    WriteFile(Path("B.txt"), "b");
    Start("[LastFile]\nFile0=" + Path("A.txt").toUtf8() + "\nFile1=" + Path("B.txt").toUtf8() +
          "\nFile2=" + Path("gone.txt").toUtf8() + "\n");
    const QStringList listed = Recent();
    ASSERT_EQ(listed.size(), 3);

    // The drop-down opens without pausing the link or reordering the list.
    Type("reading");
    Answer({IDNO});
    Window->findChild<QAction*>("File2")->trigger();
    EXPECT_EQ(Seen, QStringList({"running"}));
    EXPECT_EQ(Dialogs.Messages, QStringList({"Änderung in Unbenannt speichern ?"}));
    EXPECT_EQ(Text(), "b");
    EXPECT_EQ(Window->windowTitle(), "B.txt - Brisquell");
    EXPECT_FALSE(Modified());
    EXPECT_EQ(Recent(), listed);

    // A stale entry says so with the bare name and changes nothing.
    Dialogs.Messages.clear();
    Window->findChild<QAction*>("File3")->trigger();
    EXPECT_EQ(Dialogs.Messages, QStringList({"Die Datei gone.txt ist nicht vorhanden !"}));
    EXPECT_EQ(Text(), "b");
    EXPECT_EQ(Window->windowTitle(), "B.txt - Brisquell");

    // Open asks with the link paused; Cancel ends it before the dialog.
    Type("more");
    Seen.clear();
    Answer({IDCANCEL}, {Path("A.txt")});
    Run("act_file_open");
    EXPECT_EQ(Seen, QStringList({"paused"}));
    EXPECT_TRUE(Files.Shown.isEmpty());
    EXPECT_EQ(Text(), "moreb");
    EXPECT_TRUE(Linked());

    // Open loads every kind of line end; the opened file is not listed.
    Answer({IDNO}, {Path("A.txt")});
    Run("act_file_open");
    EXPECT_EQ(Files.Shown, QStringList({"Open"}));
    EXPECT_EQ(Text(), "x\ny\nz\n");
    EXPECT_FALSE(Editor()->isReadOnly());
    EXPECT_EQ(Window->windowTitle(), "A.txt - Brisquell");
    EXPECT_EQ(Recent(), listed);
    EXPECT_TRUE(Linked());

    // Clear screen: Cancel keeps every character, OK empties the editor
    // and leaves the name alone.
    Answer({IDCANCEL});
    Run("act_edit_clear");
    EXPECT_EQ(Text(), "x\ny\nz\n");
    Answer({IDOK});
    Run("act_edit_clear");
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(Window->windowTitle(), "A.txt - Brisquell");
    EXPECT_TRUE(Modified()) << "the cleared readings are still guarded";

    // New: Cancel keeps everything, No discards; the link is not paused.
    Type("reading");
    Seen.clear();
    Answer({IDCANCEL});
    Run("act_file_new");
    EXPECT_EQ(Text(), "reading");
    Answer({IDNO});
    Run("act_file_new");
    EXPECT_EQ(Seen, QStringList({"running", "running"}));
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(Window->windowTitle(), "Unbenannt - Brisquell");
    EXPECT_FALSE(Modified());
}

TEST_F(DocumentWindowTest, NoPathLosesUnsavedReadings) {
    Start();
    const QByteArray ini = Contents(IniFile());
    Type("12,5 mm");

    // Yes, then the name is not given: New, Open and the drop-down stop.
    Answer({IDYES, IDYES, IDYES}, {});
    Run("act_file_new");
    Run("act_file_open");
    EXPECT_EQ(Files.Shown, QStringList({"Save", "Save"})) << "Open shows no dialog of its own";
    EXPECT_EQ(Text(), "12,5 mm");
    EXPECT_TRUE(Modified());

    // Yes, then the overwrite declined: stops as well.
    WriteFile(Path("old.txt"), "old");
    Answer({IDYES, IDNO}, {Path("old.txt")});
    Run("act_file_new");
    EXPECT_EQ(Text(), "12,5 mm");
    EXPECT_EQ(Contents(Path("old.txt")), "old");

    // Closing: Cancel, and Yes without a name, refuse the close; the link
    // comes back and the settings are untouched.
    Answer({IDCANCEL, IDYES}, {});
    EXPECT_FALSE(Window->close());
    EXPECT_FALSE(Window->close());
    EXPECT_TRUE(Window->isVisible());
    EXPECT_TRUE(Linked());
    EXPECT_EQ(Contents(IniFile()), ini);
    EXPECT_EQ(Text(), "12,5 mm");

    // Yes with a name saves, then the window closes and the shut-down
    // writes the settings with the Save dialog's folder.
    Answer({IDYES}, {Path("kept")});
    EXPECT_TRUE(Window->close());
    EXPECT_EQ(Contents(Path("kept.txt")), "12,5 mm");
    Window.reset();
    const QByteArray written = Contents(IniFile());
    EXPECT_TRUE(written.contains("File0=" + Path("kept.txt").toUtf8() + "\n")) << written.data();
    EXPECT_TRUE(written.contains("WorkDir=" + Folder.path().toUtf8() + "/\n")) << written.data();

    // Text the code page lacks is saved in UTF-8 and opened as it was.
    Start();
    Type(QString::fromUtf8("Ω 3 µm"));
    Answer({}, {Path("omega.txt")});
    Run("act_file_saveas");
    EXPECT_EQ(Contents(Path("omega.txt")), "\xEF\xBB\xBF\xCE\xA9 3 \xC2\xB5m");
    Answer({}, {Path("omega.txt")});
    Run("act_file_open");
    EXPECT_EQ(Text(), QString::fromUtf8("Ω 3 µm"));

    // A long document comes back byte for byte, line for line.
    QByteArray readings;
    for (int i = 0; i < 1000; ++i)
        readings += QByteArray::number(i) + (i % 3 == 0 ? "\r\n\r\n" : " \xB5m\r\n");
    WriteFile(Path("long.txt"), readings);
    Answer({}, {Path("long.txt")});
    Run("act_file_open");
    EXPECT_EQ(DisplayLines(*Editor()->document()).size(), 1334);
    EXPECT_EQ(Text().count(u'\n'), 1334);
    Answer({}, {Path("long copy.txt")});
    Run("act_file_saveas");
    EXPECT_EQ(Contents(Path("long copy.txt")), readings);
}

// Closing stops the links before it asks: nothing arrives after a Yes has
// saved (the end removes the journal); Cancel takes them up again.
TEST_F(DocumentWindowTest, ClosingStopsTheLinksBeforeItAsks) {
    Start();
    const QObject* listener = Window->findChild<QObject*>("IrDAListener");
    ASSERT_NE(listener, nullptr);
    const auto listening = [&] { return listener->property("ListenSocket").toInt() > 0; };
    ASSERT_TRUE(listening());
    Dialogs.WhileShown = [&] {
        Seen << (Linked() ? "running" : "stopped") << (listening() ? "listening" : "closed");
    };
    Files.WhileShown = Dialogs.WhileShown;
    Type("12,5 mm");
    Answer({IDCANCEL});
    EXPECT_FALSE(Window->close());
    EXPECT_EQ(Seen, QStringList({"stopped", "closed"}));
    EXPECT_TRUE(Linked());
    EXPECT_TRUE(listening());
    Gauge.Send("34 mm\r\n");
    EXPECT_TRUE(testing_support::WaitFor([&] {
        Window->Inserter().Flush();
        return Text().contains("34 mm");
    }));

    Seen.clear();
    Answer({IDYES}, {Path("exit")});
    EXPECT_TRUE(Window->close());
    EXPECT_EQ(Seen, QStringList({"stopped", "closed", "stopped", "closed"}));
    EXPECT_FALSE(Linked());
    // What the gauge sends now stays on its line, for the next run.
    Gauge.Send("56 mm\r\n");
    EXPECT_TRUE(testing_support::WaitFor([&] {
        int waiting = 0;
        return ::ioctl(Gauge.Slave(), FIONREAD, &waiting) == 0 && waiting >= 7;
    }));
    EXPECT_FALSE(Modified());
    Window.reset();
    EXPECT_EQ(Contents(Path("exit.txt")), "12,5 mm34 mm\r\n");
}

// Save As inside Open's question pauses again; the link resumes only when
// Open ends, also when the inner command fails.
TEST_F(DocumentWindowTest, PausesNestAndTheOutermostResumes) {
    Start();
    Type("12,5 mm");
    Answer({IDYES}, {Path("first"), Path("first.txt")});
    Run("act_file_open");
    EXPECT_EQ(Files.Shown, QStringList({"Save", "Open"}));
    EXPECT_EQ(Seen, QStringList({"paused", "paused", "paused"})) << "question, Save, Open";
    EXPECT_EQ(Contents(Path("first.txt")), "12,5 mm");
    EXPECT_EQ(Window->windowTitle(), "first.txt - Brisquell");
    EXPECT_TRUE(Linked());

    Answer({IDNO});
    Run("act_file_new");
    Type("7 mm");
    Seen.clear();
    Answer({IDYES}, {Path("missing/x.txt")});
    Run("act_file_open");
    EXPECT_EQ(Seen, QStringList({"paused", "paused"}));
    EXPECT_EQ(Dialogs.Exceptions.size(), 1);
    EXPECT_TRUE(Linked());
    EXPECT_EQ(Text(), "7 mm");
    Editor()->document()->setModified(false);
}

TEST(FileDialogs, FilterByThePatternsWithoutRegardToCase) {
    const QString open = QString::fromUtf8("Text (*:TXT)|*.TXT|Alle Dateien (*.*)|*.*");
    const QString save = QString::fromUtf8("Text (*.TXT)|*.TXT|Alle Dateien (*.*)|*.*");
    EXPECT_EQ(NameFilters(open), QStringList({"Text (*:TXT) (*.TXT)", "Alle Dateien (*.*)"}));
    EXPECT_EQ(NameFilters(save), QStringList({"Text (*.TXT)", "Alle Dateien (*.*)"}));
    EXPECT_EQ(NameFilters("Messungen|*.txt;*.csv"), QStringList({"Messungen (*.txt *.csv)"}));

    QTemporaryDir folder;
    for (const char* name : {"a.TXT", "b.txt", "c.Txt", "d.dat"})
        WriteFile(folder.filePath(name), "x");
    TFileDialogInfo info("OpenDialog", open, nullptr);
    info.InitialDir = folder.path();
    QFileDialog dialog;
    SetUpFileDialog(dialog, info, false);
    EXPECT_EQ(dialog.directory().absolutePath(), folder.path());
    EXPECT_EQ(dialog.selectedNameFilter(), "Text (*:TXT) (*.TXT)");
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const auto shown = [&] {
        QStringList names;
        const QModelIndex root = model->index(folder.path());
        for (int row = 0; row < model->rowCount(root); ++row)
            names << model->index(row, 0, root).data().toString();
        names.sort();
        return names;
    };
    EXPECT_TRUE(testing_support::WaitFor([&] { return shown().size() >= 3; }));
    EXPECT_EQ(shown(), QStringList({"a.TXT", "b.txt", "c.Txt"}));

    QFileDialog saving;
    SetUpFileDialog(saving, info, true);
    EXPECT_EQ(saving.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(saving.testOption(QFileDialog::DontConfirmOverwrite)) << "Save As asks itself";
}

// The words of each page of a PDF file, and the x position of its first word
// in points.
struct TPdf {
    int Pages = 0;
    std::vector<QStringList> Words;
    double FirstX = -1;
};

// pdftotext's output for the PDF file (a file, so the child writes nothing
// to a pipe of ours).
QString PdfToText(const QString& pdf, const QStringList& options) {
    const QString out = pdf + ".out";
    TChildProcess child(QStandardPaths::findExecutable("pdftotext"),
                        options + QStringList{pdf, out});
    if (!child.Started() || !child.WaitForExit(60000))
        return {};
    return QString::fromUtf8(Contents(out));
}

TPdf ReadPdf(const QString& path) {
    TPdf pdf;
    // pdftotext ends every page with a form feed.
    QStringList pages = PdfToText(path, {"-enc", "UTF-8"}).split(u'\f');
    pdf.Pages = static_cast<int>(pages.size()) - 1;
    pages.removeLast();
    for (const QString& page : pages)
        pdf.Words.push_back(page.split(QRegularExpression(R"(\s+)"), Qt::SkipEmptyParts));
    const QRegularExpressionMatch first =
        QRegularExpression(QStringLiteral("<word xMin=\"([0-9.]+)\""))
            .match(PdfToText(path, {"-bbox"}));
    if (first.hasMatch())
        pdf.FirstX = first.captured(1).toDouble();
    return pdf;
}

std::vector<QStringList> LaidOutWords(const std::vector<TPrintPage>& pages) {
    std::vector<QStringList> words;
    for (const TPrintPage& page : pages) {
        QStringList pageWords;
        for (const TPrintRun& run : page)
            pageWords << run.Text.split(u' ', Qt::SkipEmptyParts);
        words.push_back(pageWords);
    }
    return words;
}

TEST_F(DocumentWindowTest, PrintsTheDisplayLinesAsTheLayoutPlacesThem) {
    Start();
    Window->resize(500, 450);
    QString text;
    for (int i = 1; i <= 150; ++i)
        text += QStringLiteral("Messwert %1: %2,5 mm\n").arg(i).arg(i % 7);
    const QString wide = QString("0123456789").repeated(30);
    text += wide;
    Editor()->setPlainText(text);
    const QStringList lines = DisplayLines(*Editor()->document());
    ASSERT_GT(lines.size(), 152) << "the wide line shows in pieces";
    EXPECT_TRUE(wide.startsWith(lines[150]) && lines[150].size() < wide.size());

    QPrinter reference;
    reference.setOutputFormat(QPrinter::PdfFormat);
    const auto expected = [&](int indent) {
        return LayOutForPrinter(reference, Editor()->font(), PrintStream(lines, indent));
    };
    Answer({}, {Path("print.pdf"), Path("click.pdf")});
    Run("act_file_print");
    Window->findChild<QAction*>("Drucken1")->trigger();
    EXPECT_EQ(Seen, QStringList({"paused", "paused"}));
    EXPECT_TRUE(Linked());
    EXPECT_TRUE(Dialogs.Exceptions.isEmpty()) << Dialogs.Exceptions.join("; ").toStdString();

    const TPdf print = ReadPdf(Path("print.pdf"));
    const TPdf click = ReadPdf(Path("click.pdf"));
    const auto pages = expected(10);
    ASSERT_GE(pages.size(), 3u);
    EXPECT_EQ(print.Pages, static_cast<int>(pages.size()));
    EXPECT_EQ(print.Words, LaidOutWords(pages));
    EXPECT_EQ(click.Pages, static_cast<int>(expected(0).size()));
    EXPECT_EQ(click.Words, LaidOutWords(expected(0)));
    // Ten blanks in front for Print, none for the context menu's print.
    const double blanks =
        QFontMetricsF(Editor()->font(), &reference).horizontalAdvance(QString(10, u' ')) * 72.0 /
        reference.resolution();
    EXPECT_NEAR(print.FirstX - click.FirstX, blanks, 1.0);
    EXPECT_NEAR(click.FirstX, 0.0 + reference.pageLayout().paintRect(QPageLayout::Point).x(), 1.0);

    // A hand-edited indent is held to 255 blanks; the file keeps its value.
    Start("LeftSpace=100000\n");
    Editor()->setPlainText("a\nb");
    Answer({}, {Path("clamped.pdf")});
    Run("act_file_print");
    EXPECT_EQ(
        ReadPdf(Path("clamped.pdf")).Words,
        LaidOutWords(LayOutForPrinter(reference, Editor()->font(), PrintStream({"a", "b"}, 255))));
    // A printer that fails ends the job with an error box; the link resumes.
    Answer({}, {Path("missing/x.pdf")});
    Run("act_file_print");
    EXPECT_EQ(Dialogs.Exceptions.size(), 1);
    EXPECT_TRUE(Linked());
    Window.reset();
    EXPECT_TRUE(Contents(IniFile()).contains("LeftSpace=100000\n"));
}

} // namespace
