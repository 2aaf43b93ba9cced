// The capture journal: its records cut off or damaged anywhere, and the
// main window keeping it, offering it back after a crash, and leaving it
// alone while its instance runs.
#include "app/capture/EditorInserter.h"
#include "app/journal/CaptureJournal.h"
#include "app/window/TMainScreen.h"
#include "i18n/gnugettext.h"
#include "platform/Dialogs.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/FakeFileDialogs.h"
#include "tests/support/FileSystemFaults.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

using journal::TContents;
using journal::TRecordKind;

TEST(JournalFormat, RecoversEveryIntactRecordAndNamesWhatIsLost) {
    const QStringList readings{"1,5\n", QString::fromUtf8("12,5 µm\n"), "-0,3 mm\n", "7\n"};
    QByteArray bytes =
        journal::EncodeHeader(1000) + journal::EncodeRecord(TRecordKind::Snapshot, 1000, u"Kopf\n");
    std::vector<qsizetype> ends{bytes.size()};
    for (int i = 0; i < readings.size(); ++i) {
        bytes += journal::EncodeRecord(TRecordKind::Reading, 2000 + i, readings[i]);
        ends.push_back(bytes.size());
    }
    // A power cut at every byte of the last records: the ones before stay.
    for (qsizetype cut = ends.front(); cut <= bytes.size(); ++cut) {
        const TContents contents = journal::Decode(QByteArrayView(bytes).first(cut));
        qsizetype whole = 0;
        while (whole + 1 < static_cast<qsizetype>(ends.size()) && ends[whole + 1] <= cut)
            ++whole;
        QString expected = "Kopf\n";
        for (qsizetype i = 0; i < whole; ++i)
            expected += readings[i];
        EXPECT_EQ(contents.Text, expected) << cut;
        EXPECT_EQ(contents.LostBytes, cut - ends[whole]) << cut;
        EXPECT_EQ(contents.State,
                  cut == ends[whole] ? TContents::TState::Intact : TContents::TState::Damaged)
            << cut;
        EXPECT_EQ(contents.LastMs, whole == 0 ? 1000 : 2000 + whole - 1) << cut;
    }
    EXPECT_EQ(journal::Decode(bytes).Lines(), 5);

    struct TCase {
        const char* name;
        QByteArray bytes;
        TContents::TState state;
        QString text;
    };
    QByteArray flipped = bytes;
    flipped[ends[2] + 15] = static_cast<char>(flipped[ends[2] + 15] ^ 0x20); // third reading
    QByteArray resized = bytes; // the second reading's size claims 16 KiB more
    resized[ends[1] + 2] = static_cast<char>(resized[ends[1] + 2] ^ 0x40);
    QByteArray newer = bytes;
    newer[4] = static_cast<char>(journal::Version + 1);
    const QByteArray unknownKind =
        journal::EncodeHeader(1) + journal::EncodeRecord(TRecordKind::Snapshot, 1, u"a\n") +
        journal::EncodeRecord(static_cast<TRecordKind>(9), 2, u"future") +
        journal::EncodeRecord(TRecordKind::Reading, 3, u"b\n");
    const TCase cases[] = {
        // The records after a damaged one still count.
        {"damaged in the middle", flipped, TContents::TState::Damaged,
         "Kopf\n" + readings[0] + readings[1] + readings[3]},
        {"a record's size damaged", resized, TContents::TState::Damaged,
         "Kopf\n" + readings[0] + readings[2] + readings[3]},
        {"newer version", newer, TContents::TState::Unreadable, ""},
        {"not a journal", "Kopf\r\n1,5\r\n", TContents::TState::Unreadable, ""},
        {"empty file", "", TContents::TState::Unreadable, ""},
        {"unknown record kind", unknownKind, TContents::TState::Intact, "a\nb\n"},
        // A later snapshot replaces what came before it.
        {"second snapshot",
         bytes + journal::EncodeRecord(TRecordKind::Snapshot, 9, u"neu\n") +
             journal::EncodeRecord(TRecordKind::Reading, 9, u"8\n"),
         TContents::TState::Intact, "neu\n8\n"},
    };
    for (const TCase& c : cases) {
        const TContents contents = journal::Decode(c.bytes);
        EXPECT_EQ(contents.State, c.state) << c.name;
        EXPECT_EQ(contents.Text, c.text) << c.name;
    }
    EXPECT_EQ(journal::Decode(flipped).LostBytes, ends[3] - ends[2]) << "the damaged record only";
    EXPECT_EQ(journal::Decode(flipped).LastMs, 2003);
}

// The series goes with the text: a snapshot begins it anew, each reading of
// it keeps its arrival time, readings that follow one another share a record
// up to its size; a journal of the version with a record per reading still
// restores its series, one of the version before the series its text only.
TEST(JournalFormat, SeriesReadingsKeepTheirArrivalTimes) {
    using journal::TSeriesLine;
    const QString micro = QString::fromUtf8("  7 µm");
    const QByteArray head =
        journal::EncodeHeader(1000) + journal::EncodeRecord(TRecordKind::Snapshot, 1000, u"a\n");
    QByteArray bytes = head;
    journal::TSeriesRecords series(bytes);
    series.Add(1700000000123, u"Dia: 12,5 mm");
    series.Add(1700000000200, micro);
    series.Close();
    bytes += journal::EncodeRecord(TRecordKind::Reading, 1001, u"Dia: 12,5 mm\n");
    series.Add(1700000000456, u"");
    series.Close();
    const std::vector<TSeriesLine> three{
        {1700000000123, "Dia: 12,5 mm"}, {1700000000200, micro}, {1700000000456, ""}};
    QByteArray resnapped = bytes + journal::EncodeRecord(TRecordKind::Snapshot, 2000, u"b\n");
    journal::TSeriesRecords(resnapped).Add(1700000000999, u"3");
    QByteArray versionTwo = journal::EncodeHeader(1000);
    versionTwo[4] = 2;
    versionTwo += journal::EncodeRecord(TRecordKind::Snapshot, 1000, u"a\n") +
                  journal::EncodeRecord(TRecordKind::SeriesReading, 1700000000123, u"1 mm") +
                  journal::EncodeRecord(TRecordKind::SeriesReading, 1700000000456, micro);
    QByteArray versionOne = bytes;
    versionOne[4] = 1;
    // More than a record holds: the readings go on in the next one.
    QByteArray many = head;
    std::vector<TSeriesLine> manyLines;
    {
        journal::TSeriesRecords records(many);
        for (int i = 0; i < 10000; ++i) {
            manyLines.push_back({1700000000000 + i, QString::number(i) + " mm"});
            records.Add(manyLines.back().Time, manyLines.back().Text);
        }
    }
    // A record whose CRC holds but whose reading claims more than it has:
    // what fits is taken, nothing beyond it.
    const QByteArray overlong =
        head + journal::EncodeRecord(
                   TRecordKind::SeriesReadings, 5,
                   QString::fromLatin1(QByteArray("\x01\0\0\0\0\0\0\0\x05\0\0\0abc", 15)));

    struct TCase {
        const char* name;
        QByteArray bytes;
        bool hasSeries;
        std::vector<TSeriesLine> series;
        QString text;
    };
    const TCase cases[] = {
        {"current", bytes, true, three, "a\nDia: 12,5 mm\n"},
        {"after a second snapshot", resnapped, true, {{1700000000999, "3"}}, "b\n"},
        {"cut inside the last series record",
         bytes.first(bytes.size() - 3),
         true,
         {three[0], three[1]},
         "a\nDia: 12,5 mm\n"},
        {"version 2", versionTwo, true, {{1700000000123, "1 mm"}, {1700000000456, micro}}, "a\n"},
        {"version 1", versionOne, false, {}, "a\nDia: 12,5 mm\n"},
        {"many", many, true, manyLines, "a\n"},
        {"a reading longer than its record", overlong, true, {}, "a\n"},
    };
    for (const TCase& c : cases) {
        const TContents contents = journal::Decode(c.bytes);
        EXPECT_NE(contents.State, TContents::TState::Unreadable) << c.name;
        EXPECT_EQ(contents.HasSeries, c.hasSeries) << c.name;
        EXPECT_EQ(contents.Series, c.series) << c.name;
        EXPECT_EQ(contents.Text, c.text) << c.name;
    }
    EXPECT_GT(journal::Decode(many).Records, 3) << "one record for all of them";
    EXPECT_LT(journal::Decode(many).Records, 10);
}

// The window hands the disk's wait to a thread: what it queued is in the
// file at once and on the disk when that thread's sync ends.
TEST(JournalWriter, SyncsOnAThreadOfItsOwn) {
    QTemporaryDir folder;
    journal::TWriter writer(folder.filePath("capture-test.brqj"));
    ASSERT_TRUE(writer.Rewrite(u"a\n", 1));
    EXPECT_EQ(writer.Syncs(), 1);
    EXPECT_FALSE(writer.Unsynced());
    ASSERT_TRUE(writer.Append(u"b\n", 2));
    ASSERT_TRUE(writer.SyncSoon());
    EXPECT_EQ(writer.Pending(), 0);
    QFile file(writer.Path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(journal::Decode(file.readAll()).Text, "a\nb\n");
    EXPECT_TRUE(testing_support::WaitFor([&] { return writer.Syncs() == 2; }, 30000));
    // Nothing new: no sync.
    ASSERT_TRUE(writer.SyncSoon());
    EXPECT_FALSE(writer.Unsynced());
    writer.Remove();
    EXPECT_FALSE(writer.SyncSoon());
}

QString Folder() {
    return testing_support::StateHome() + "/Brisquell";
}

QStringList Files(const QString& pattern) {
    return QDir(Folder()).entryList({pattern}, QDir::Files, QDir::Name);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class JournalWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName("Brisquell");
        QDir(testing_support::StateHome()).removeRecursively();
        GnuGettextModuleStart();
    }
    void TearDown() override {
        Windows.clear();
        Module.reset();
        GnuGettextModuleEnd();
        QDir(testing_support::StateHome()).removeRecursively();
    }

    // A program start; answers are given to the boxes after creation.
    struct TInstance {
        TFakeDialogs Dialogs;
        TFakeFileDialogs Files;
        std::unique_ptr<TMainScreen> Window;
        QPlainTextEdit* Editor() const { return Window->findChild<QPlainTextEdit*>("Editor"); }
        QString Text() const {
            Window->Inserter().Flush();
            return Editor()->toPlainText();
        }
        QString Note() const { return Window->findChild<QLabel*>("StatusPanel0")->toolTip(); }
    };
    TInstance& Start(std::deque<int> answers = {}, const QByteArray& language = "de") {
        if (!Module)
            Module.emplace(testing_support::PortsFolder());
        WriteFile(testing_support::ConfigHome() + "/Brisquell/BSave.ini",
                  "[Config]\nAutoConnect=0\n[System]\nLanguage=" + language + "\n" + KeptIni);
        auto& instance = *Windows.emplace_back(std::make_unique<TInstance>());
        instance.Window = std::make_unique<TMainScreen>(instance.Dialogs);
        instance.Window->SetFileDialogs(&instance.Files);
        instance.Dialogs.Messages.clear();
        instance.Dialogs.Answers = std::move(answers);
        instance.Window->show();
        return instance;
    }
    // What the journal of a running instance holds on disk now.
    static QString OnDisk(const QString& name) {
        return journal::Decode(ReadFile(Folder() + "/" + name)).Text;
    }
    // The crash image of a running instance's journal, as a dead one leaves it.
    static void LeaveBehind(const QString& name, const QString& as) {
        WriteFile(Folder() + "/" + as, ReadFile(Folder() + "/" + name));
    }
    static QStringList Questions(const TInstance& instance, const QString& start) {
        return instance.Dialogs.Messages.filter(start);
    }

    std::optional<TPrivateSerialModule> Module;
    std::vector<std::unique_ptr<TInstance>> Windows;
    QByteArray KeptIni; // more of the settings file, for the next start
};

// Readings and the hand edits of the last snapshot come back after a crash;
// the restored text is untitled and modified, and its journal is the new run's.
TEST_F(JournalWindowTest, ACrashedRunIsOfferedBackWithItsReadingsAndSnapshotEdits) {
    TInstance& first = Start();
    EXPECT_TRUE(Files("capture-*").isEmpty()) << "nothing on disk before a change";
    QTextCursor(first.Editor()->document()).insertText("Los 17\n"); // by hand
    ASSERT_TRUE(testing_support::WaitFor([&] { return Files("capture-*.brqj").size() == 1; }));
    const QString own = Files("capture-*.brqj").front();
    EXPECT_EQ(QFile::permissions(Folder() + "/" + own),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(QFile::permissions(Folder()) &
                  (QFile::ReadOther | QFile::ReadGroup | QFile::ExeOther | QFile::ExeGroup),
              QFile::Permissions());
    first.Editor()->moveCursor(QTextCursor::End);
    for (const char* reading : {"1,5\r\n", "2,25\r\n", "-3 mm\r\n"})
        first.Window->AddReceivedText(reading);
    const QString expected = first.Text();
    ASSERT_TRUE(testing_support::WaitFor([&] { return OnDisk(own) == expected; }, 30000))
        << OnDisk(own).toStdString();
    // A hand edit after the snapshot waits for the next one.
    QTextCursor(first.Editor()->document()).insertText("zu spät ");
    LeaveBehind(own, "capture-crashed.brqj");
    Windows.clear(); // a clean end takes its own journal away
    EXPECT_EQ(Files("capture-*"), QStringList{"capture-crashed.brqj"});

    TInstance& second = Start({platform::IDYES});
    const QStringList asked = Questions(second, "Brisquell wurde nicht ordnungsgemäß beendet");
    ASSERT_EQ(asked.size(), 1) << second.Dialogs.Messages.join('|').toStdString();
    EXPECT_TRUE(asked.front().contains("(4 Zeilen)")) << asked.front().toStdString();
    EXPECT_EQ(second.Text(), expected);
    EXPECT_TRUE(second.Editor()->document()->isModified());
    EXPECT_TRUE(second.Window->FUntitled);
    // The old journal went once the new one held its text.
    const QStringList journals = Files("capture-*");
    ASSERT_EQ(journals.size(), 1);
    EXPECT_NE(journals.front(), "capture-crashed.brqj");
    EXPECT_EQ(OnDisk(journals.front()), expected);
    // New readings follow the restored ones.
    second.Window->AddReceivedText("4\r\n");
    EXPECT_TRUE(second.Text().startsWith(expected)) << second.Text().toStdString();
}

// The series of a crashed run comes back with the readings' arrival times;
// hand-typed lines were never in it.
TEST_F(JournalWindowTest, ACrashedRunsSeriesComesBackWithItsTimes) {
    TInstance& first = Start();
    QTextCursor(first.Editor()->document()).insertText("Los 17\n"); // by hand
    ASSERT_TRUE(testing_support::WaitFor([&] { return Files("capture-*.brqj").size() == 1; }));
    const QString own = Files("capture-*.brqj").front();
    first.Editor()->moveCursor(QTextCursor::End);
    for (const char* reading : {"1,5 mm\r\n", "Dia: 2,25\r", "\n-3 mm\r\n"})
        first.Window->AddReceivedText(reading);
    const series::TSeries& before = first.Window->Series();
    ASSERT_EQ(before.Size(), 3);
    std::vector<journal::TSeriesLine> kept;
    for (qsizetype i = 0; i < before.Size(); ++i)
        kept.push_back({before.Reading(i).Time, before.Text(i)});
    ASSERT_TRUE(testing_support::WaitFor(
        [&] { return journal::Decode(ReadFile(Folder() + "/" + own)).Series == kept; }, 30000));
    LeaveBehind(own, "capture-crashed.brqj");
    Windows.clear();

    TInstance& second = Start({platform::IDYES});
    const series::TSeries& after = second.Window->Series();
    ASSERT_EQ(after.Size(), 3);
    for (qsizetype i = 0; i < after.Size(); ++i) {
        EXPECT_EQ(after.Reading(i).Time, kept[static_cast<size_t>(i)].Time) << i;
        EXPECT_EQ(after.Text(i), kept[static_cast<size_t>(i)].Text) << i;
    }
    EXPECT_EQ(after.GroupCount(), 2); // unlabelled and "Dia"
}

// No keeps the journal aside, dated, and asks no more; old kept ones are
// pruned. Save ends the journal, so a crash after it offers nothing.
TEST_F(JournalWindowTest, NoKeepsItAsideAndSaveLeavesNothingToOffer) {
    const QByteArray crashed = journal::EncodeHeader(1) +
                               journal::EncodeRecord(TRecordKind::Snapshot, 1, u"9,5\n") +
                               journal::EncodeRecord(TRecordKind::Reading, 2, u"9,6\n");
    WriteFile(Folder() + "/capture-crashed.brqj", crashed);
    const QString old = "kept-" +
                        QDateTime::currentDateTime().addDays(-15).toString("yyyyMMdd-HHmmss") +
                        "-capture-old.brqj";
    const QString recent = "kept-" +
                           QDateTime::currentDateTime().addDays(-13).toString("yyyyMMdd-HHmmss") +
                           "-capture-recent.brqj";
    WriteFile(Folder() + "/" + old, crashed);
    WriteFile(Folder() + "/" + recent, crashed);

    TInstance& first = Start({platform::IDNO});
    EXPECT_EQ(Questions(first, "ordnungsgemäß").size(), 1);
    EXPECT_EQ(first.Text(), "");
    EXPECT_FALSE(first.Editor()->document()->isModified());
    EXPECT_TRUE(Files("capture-*").isEmpty());
    const QStringList kept = Files("kept-*");
    ASSERT_EQ(kept.size(), 2) << kept.join(' ').toStdString();
    EXPECT_TRUE(kept.contains(recent));
    EXPECT_EQ(ReadFile(Folder() + "/" + kept.filter("capture-crashed").value(0)), crashed);

    first.Window->AddReceivedText("1,5\r\n");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Files("capture-*.brqj").size() == 1; }));
    const QTemporaryDir documents;
    first.Files.Answers = {documents.filePath("messung.txt")};
    first.Window->findChild<QAction*>("act_file_saveas")->trigger();
    EXPECT_FALSE(first.Editor()->document()->isModified());
    EXPECT_TRUE(Files("capture-*").isEmpty()) << "saved: nothing left to recover";
    // New discards: the journal of the new readings goes with them.
    first.Window->AddReceivedText("2,5\r\n");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Files("capture-*.brqj").size() == 1; }));
    first.Dialogs.Answers = {platform::IDNO};
    first.Window->findChild<QAction*>("act_file_new")->trigger();
    EXPECT_TRUE(Files("capture-*").isEmpty());

    TInstance& second = Start();
    EXPECT_TRUE(Questions(second, "ordnungsgemäß").isEmpty());
}

// A journal that failed (its disk is full) stays while the document holds
// unsaved readings, and goes when the document is saved: the next start
// offers nothing.
TEST_F(JournalWindowTest, AFailedJournalGoesWhenItsDocumentIsSaved) {
    QString whyNot;
    const auto disk = TScratchMount::Make(Folder(), 256 * 1024, whyNot);
    if (!disk)
        GTEST_SKIP() << whyNot.toStdString();
    TInstance& first = Start();
    first.Window->AddReceivedText("1,5\r\n");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Files("capture-*.brqj").size() == 1; }));
    ASSERT_TRUE(disk->Fill());
    for (int i = 0; i < 200; ++i)
        first.Window->AddReceivedText(QByteArray(40, '7') + "\r\n");
    ASSERT_TRUE(testing_support::WaitFor(
        [&] { return first.Note().contains("Der Datenträger ist voll."); }, 30000))
        << first.Note().toStdString();
    EXPECT_EQ(Files("capture-*.brqj").size(), 1) << "kept while the readings are unsaved";

    const QTemporaryDir documents;
    first.Files.Answers = {documents.filePath("messung.txt")};
    first.Window->findChild<QAction*>("act_file_saveas")->trigger();
    EXPECT_FALSE(first.Editor()->document()->isModified());
    EXPECT_TRUE(Files("capture-*").isEmpty());
    Windows.clear();
    EXPECT_TRUE(Questions(Start(), "ordnungsgemäß").isEmpty());
}

// A journal in a folder that takes no change can be neither kept aside nor
// removed: that is told once, and the next start offers it no more; once the
// folder allows it, it is set aside quietly.
TEST_F(JournalWindowTest, AJournalThatCannotBeSetAsideIsToldOnce) {
    WriteFile(Folder() + "/capture-crashed.brqj",
              journal::EncodeHeader(1) + journal::EncodeRecord(TRecordKind::Snapshot, 1, u"9,5\n"));
    {
        const TWithoutOverride plainUser;
        ASSERT_TRUE(plainUser.Effective());
        QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::ExeOwner);
        TInstance& first = Start({platform::IDNO});
        ASSERT_EQ(first.Dialogs.Messages.size(), 2)
            << first.Dialogs.Messages.join('|').toStdString();
        EXPECT_TRUE(first.Dialogs.Messages[0].contains("ordnungsgemäß"));
        EXPECT_TRUE(first.Dialogs.Messages[1].contains("weder beiseitegelegt noch gelöscht"));
        EXPECT_TRUE(first.Dialogs.Messages[1].contains(Folder() + "/capture-crashed.brqj"));
        EXPECT_TRUE(first.Dialogs.Messages[1].contains("Keine Berechtigung."));
        Windows.clear();
        const QByteArray ini = ReadFile(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
        KeptIni = ini.mid(ini.indexOf("[Journal]"));
        ASSERT_TRUE(KeptIni.startsWith("[Journal]\nPassed=")) << ini.constData();

        TInstance& second = Start({platform::IDYES});
        EXPECT_TRUE(second.Dialogs.Messages.isEmpty())
            << second.Dialogs.Messages.join('|').toStdString();
        EXPECT_EQ(second.Text(), "");
        Windows.clear();
    }
    QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    TInstance& third = Start({platform::IDYES});
    EXPECT_TRUE(third.Dialogs.Messages.isEmpty());
    EXPECT_EQ(Files("kept-*capture-crashed.brqj").size(), 1);
    Windows.clear();
    EXPECT_TRUE(ReadFile(testing_support::ConfigHome() + "/Brisquell/BSave.ini")
                    .contains("[Journal]\nPassed=\n"));
}

// Readings that arrive while New's or the drop-down's question is up go
// into the document the command leaves, and into its journal.
TEST_F(JournalWindowTest, ReadingsDuringTheSaveQuestionGoIntoTheDocumentLeft) {
    const QTemporaryDir documents;
    const QString named = documents.filePath("named.txt");
    const QString other = documents.filePath("other.txt");
    WriteFile(named, "alt\r\n");
    WriteFile(other, "b\r\n");
    struct TCase {
        const char* command;
        int answer;
        QString text; // the editor's afterwards, and its journal's
        QByteArray named;
    };
    const TCase cases[] = {
        {"act_file_new", platform::IDNO, "2\n", "alt\r\n"},
        {"act_file_new", platform::IDYES, "2\n", "1\r\n"},
        {"act_file_new", platform::IDCANCEL, "1\n2\n", "alt\r\n"},
        // The opened file's caret is at its start.
        {"File2", platform::IDNO, "2\nb\n", "alt\r\n"},
        {"File2", platform::IDCANCEL, "1\n2\n", "alt\r\n"},
    };
    for (const TCase& c : cases) {
        const std::string name = std::string(c.command) + " " + std::to_string(c.answer);
        TInstance& instance = Start();
        instance.Window->SetFileName(other, true);
        instance.Window->SetFileName(named, true);
        instance.Window->AddReceivedText("1\r\n");
        ASSERT_TRUE(testing_support::WaitFor([&] { return Files("capture-*.brqj").size() == 1; }));
        const QString own = Files("capture-*.brqj").front();
        bool journaled = false; // while the question is still up
        instance.Dialogs.WhileShown = [&] {
            instance.Window->AddReceivedText("2\r\n");
            journaled = testing_support::WaitFor([&] { return OnDisk(own) == "1\n2\n"; });
        };
        instance.Dialogs.Answers = {c.answer};
        instance.Window->findChild<QAction*>(c.command)->trigger();
        EXPECT_EQ(instance.Dialogs.Messages.size(), 1) << name;
        EXPECT_TRUE(journaled) << name;
        EXPECT_EQ(instance.Text(), c.text) << name;
        EXPECT_TRUE(instance.Editor()->document()->isModified()) << name;
        EXPECT_EQ(ReadFile(named), c.named) << name;
        EXPECT_TRUE(testing_support::WaitFor([&] { return OnDisk(own) == c.text; }))
            << name << ": " << OnDisk(own).toStdString();
        EXPECT_EQ(Files("capture-*"), QStringList{own}) << name;
        WriteFile(named, "alt\r\n");
        Windows.clear();
    }
}

// Two running instances each keep their own journal; a third start offers
// neither of them.
TEST_F(JournalWindowTest, RunningInstancesKeepTheirOwnJournals) {
    TInstance& a = Start();
    TInstance& b = Start();
    a.Window->AddReceivedText("1\r\n");
    b.Window->AddReceivedText("2\r\n");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Files("capture-*.brqj").size() == 2; }));
    const QStringList journals = Files("capture-*.brqj");
    ASSERT_TRUE(testing_support::WaitFor([&] {
        return QStringList{OnDisk(journals[0]), OnDisk(journals[1])}.contains("1\n") &&
               QStringList{OnDisk(journals[0]), OnDisk(journals[1])}.contains("2\n");
    }));
    TInstance& c = Start({platform::IDYES});
    EXPECT_TRUE(Questions(c, "ordnungsgemäß").isEmpty());
    EXPECT_EQ(c.Text(), "");
    EXPECT_EQ(Files("capture-*.brqj"), journals);
    a.Window->AddReceivedText("3\r\n");
    EXPECT_EQ(a.Text(), "1\n3\n");
    EXPECT_EQ(b.Text(), "2\n");
}

// A cut-off journal gives what is intact and says what is lost, in the
// user's language; a damaged or newer one is kept and named; a journal that
// cannot be written costs one note and no reading.
TEST_F(JournalWindowTest, BadJournalsNeverStopTheStart) {
    struct TCase {
        QByteArray language;
        const char* question;
        const char* lost;
    };
    const QByteArray whole = journal::EncodeHeader(1) +
                             journal::EncodeRecord(TRecordKind::Snapshot, 1, u"1,5\n") +
                             journal::EncodeRecord(TRecordKind::Reading, 2, u"2,5\n");
    for (const TCase& c :
         {TCase{"de", "Die ungesicherten Messwerte vom", "5 Bytes davon sind verloren"},
          TCase{"en", "Restore the unsaved readings of", "5 bytes of it are lost"},
          TCase{"fr", "Restaurer les mesures non enregistrées du", "5 octets en sont perdus"}}) {
        WriteFile(Folder() + "/capture-cut.brqj",
                  whole + journal::EncodeRecord(TRecordKind::Reading, 3, u"3,5\n").first(5));
        TInstance& instance = Start({platform::IDYES}, c.language);
        const QStringList asked = Questions(instance, QString::fromUtf8(c.question));
        ASSERT_EQ(asked.size(), 1) << instance.Dialogs.Messages.join('|').toStdString();
        EXPECT_TRUE(asked.front().contains(QString::fromUtf8(c.lost)))
            << asked.front().toStdString();
        EXPECT_EQ(instance.Text(), "1,5\n2,5\n");
        Windows.clear();
    }

    QByteArray newer = whole;
    newer[4] = 7;
    WriteFile(Folder() + "/capture-newer.brqj", newer);
    TInstance& instance = Start({platform::IDYES});
    const QStringList kept = Files("kept-*capture-newer.brqj");
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(ReadFile(Folder() + "/" + kept.front()), newer);
    ASSERT_EQ(instance.Dialogs.Messages.size(), 1);
    EXPECT_TRUE(instance.Dialogs.Messages.front().contains(kept.front()));
    EXPECT_EQ(instance.Text(), "");
    Windows.clear();

    // The folder cannot be made: readings go on, the note says why, once.
    QDir(testing_support::StateHome()).removeRecursively();
    WriteFile(Folder(), "a file where the folder belongs");
    TInstance& blocked = Start();
    for (const char* reading : {"1\r\n", "2\r\n"})
        blocked.Window->AddReceivedText(reading);
    EXPECT_EQ(blocked.Text(), "1\n2\n");
    EXPECT_TRUE(blocked.Note().contains("nicht gegen Abstürze gesichert"))
        << blocked.Note().toStdString();
    EXPECT_TRUE(blocked.Dialogs.Messages.isEmpty());
}

} // namespace
