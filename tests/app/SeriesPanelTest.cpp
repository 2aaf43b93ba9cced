// The series panel end to end: the gauge simulator on a pseudo-terminal
// feeds the real window offscreen; the panel's figures, its buttons and the
// exported file are read back.
#include "app/capture/EditorInserter.h"
#include "app/window/TMainScreen.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/FakeFileDialogs.h"
#include "tests/app/GaugeProcess.h"
#include "tests/app/WindowProbe.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QDateTime>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace {

class SeriesPanelTest : public TWindowTest {
protected:
    void Start(const QByteArray& ini) {
        Stop();
        Module.emplace(testing_support::PortsFolder());
        WriteSettingsFile(ini);
        Window = std::make_unique<TMainScreen>(Dialogs);
        Window->SetDecimalSeparatorSource([] { return QString(","); });
        Window->SetFileDialogs(&Files);
        Window->show();
    }
    QString Field(const char* name) const { return Find<QLineEdit>(name)->text(); }
    void Click(const char* name) { Find<QPushButton>(name)->click(); }

    TFakeFileDialogs Files;
};

// Readings from a gauge: the figures against the limits in the user's
// decimal format, the newest in red when outside, the last one taken out,
// the export's bytes with every reading and its arrival time.
TEST_F(SeriesPanelTest, GaugeReadingsBecomeFiguresAndAnExportedFile) {
    TGauge gauge(4);
    ASSERT_TRUE(gauge.Ready);
    Start("[Config]\nDevice=3\nPort=4\n[Series]\nVisible=1\nLower=12,6\nUpper=13\n");
    ASSERT_TRUE(Find<QDockWidget>("SeriesDock")->isVisible());
    EXPECT_TRUE(Action("Messreihe1")->isChecked());
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    for (const char* reading : {"12.5 um", "12.7 um", "12.9 um", "13.3 um"})
        gauge.Send(reading);
    ASSERT_TRUE(testing_support::WaitFor([&] { return Window->Series().Size() == 4; }))
        << Text().toStdString();
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    // A hand-typed line goes into the document, not into the series.
    Window->Inserter().Flush();
    QTextCursor(Find<QPlainTextEdit>("Editor")->document()).insertText("5 mm\n");
    EXPECT_EQ(Window->Series().Size(), 4);

    ASSERT_TRUE(testing_support::WaitFor([&] { return Field("SeriesCount") == "4"; }));
    EXPECT_EQ(Field("SeriesMinimum"), "12,5");
    EXPECT_EQ(Field("SeriesMaximum"), "13,3");
    EXPECT_EQ(Field("SeriesRange"), "0,8");
    EXPECT_EQ(Field("SeriesMean"), "12,85");
    EXPECT_EQ(Field("SeriesDeviation"), "0,34");
    // From the short-term spread: the average moving range over d2.
    EXPECT_EQ(Field("SeriesCp"), "0,28");
    EXPECT_EQ(Field("SeriesCpk"), "0,21");
    auto* newest = Find<QLabel>("SeriesNewest");
    EXPECT_EQ(newest->text(), QString::fromUtf8("13,3 µm"));
    EXPECT_EQ(newest->property("verdictColour").toString(), "#d00000");
    EXPECT_EQ(Find<QLineEdit>("SeriesMean")->accessibleName(), "Mittelwert");
    EXPECT_EQ(Find<QWidget>("SeriesChart")->accessibleDescription(),
              "4 Messwerte, letzter Wert 13,3, Mittelwert 12,85, 2 außerhalb der Grenzen");

    Click("SeriesRemoveNewest");
    EXPECT_EQ(Field("SeriesCount"), "3");
    EXPECT_EQ(newest->text(), QString::fromUtf8("12,9 µm"));
    EXPECT_EQ(newest->property("verdictColour").toString(), "#008000");

    QTemporaryDir folder;
    Files.Answers = {folder.filePath("messung")};
    Click("SeriesExport");
    QFile file(folder.filePath("messung.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QList<QByteArray> rows = bytes.mid(3).split('\n');
    ASSERT_EQ(rows.size(), 5) << bytes.toStdString(); // header, three rows, the end
    EXPECT_EQ(rows[0], "Nr.;Zeit;Wert;Einheit;Bezeichnung;Bewertung;Text;"
                       "Wert in der Einheit der Gruppe;Datum und Uhrzeit\r");
    const char* const verdicts[] = {"unterhalb", "innerhalb", "innerhalb"};
    const char* const values[] = {"12,5", "12,7", "12,9"};
    for (int i = 0; i < 3; ++i) {
        const QList<QByteArray> fields = rows[i + 1].chopped(1).split(';');
        ASSERT_EQ(fields.size(), 9) << rows[i + 1].toStdString();
        EXPECT_EQ(fields[0], QByteArray::number(i + 1));
        const QDateTime time = QDateTime::fromString(fields[1], Qt::ISODateWithMs);
        EXPECT_TRUE(time.isValid()) << fields[1].toStdString();
        EXPECT_GE(time.toMSecsSinceEpoch(), before);
        EXPECT_LE(time.toMSecsSinceEpoch(), after);
        EXPECT_EQ(fields[2], values[i]);
        EXPECT_EQ(fields[3], "\xC2\xB5m");
        EXPECT_EQ(fields[5], verdicts[i]);
        EXPECT_EQ(fields[7], values[i]);
    }
    EXPECT_EQ(rows[4], "");
    // An export that cannot be written says why, in the window's language.
    Files.Answers = {folder.filePath("gone/messung")};
    Click("SeriesExport");
    EXPECT_EQ(Dialogs.Messages.value(Dialogs.Messages.size() - 1),
              "In " + folder.filePath("gone/messung.csv") +
                  " kann nicht geschrieben werden\nDer Ordner ist nicht vorhanden.");

    // A new series: empty figures; the limits stay and are kept for the next start.
    Click("SeriesNew");
    EXPECT_EQ(Field("SeriesCount"), QString::fromUtf8("—"));
    EXPECT_EQ(Window->Series().Size(), 0);
    gauge.Send("13.1 um");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Window->Series().Size() == 1; }));
    Window.reset();
    QFile ini(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    for (const char* key : {"Visible=1\n", "Lower=12,6\n", "Upper=13\n", "Area=2\n"})
        EXPECT_TRUE(saved.mid(saved.indexOf("[Series]")).contains(key)) << saved.toStdString();
}

// Without the section the panel stays hidden and the file gains none; the
// commands that begin a new document begin a new series, Undo does not bring
// it back.
TEST_F(SeriesPanelTest, HiddenByDefaultAndTheDocumentCommandsBeginANewSeries) {
    Start("[Config]\nAutoConnect=0\n");
    EXPECT_FALSE(Find<QDockWidget>("SeriesDock")->isVisible());
    EXPECT_FALSE(Action("Messreihe1")->isChecked());
    struct TCase {
        const char* command;
        std::deque<int> answers;
    };
    const TCase cases[] = {{"act_file_new", {platform::IDNO}},
                           {"act_edit_clear", {platform::IDOK}}};
    for (const TCase& c : cases) {
        Window->AddReceivedText("Dia: 1,5 mm\r\n2,5 mm\r\n");
        ASSERT_EQ(Window->Series().Size(), 2) << c.command;
        Dialogs.Answers = c.answers;
        Action(c.command)->trigger();
        EXPECT_EQ(Window->Series().Size(), 0) << c.command;
        Action("act_edit_undo")->trigger();
        EXPECT_EQ(Window->Series().Size(), 0) << c.command;
    }
    // Readings that arrive while New asks go into the new document and series.
    Window->AddReceivedText("1 mm\r\n");
    Dialogs.Answers = {platform::IDNO};
    Dialogs.WhileShown = [&] { Window->AddReceivedText("7 mm\r\n"); };
    Action("act_file_new")->trigger();
    Dialogs.WhileShown = [] {};
    ASSERT_EQ(Window->Series().Size(), 1);
    EXPECT_EQ(Window->Series().Text(0), "7 mm");
    Window.reset();
    QFile ini(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_FALSE(ini.readAll().contains("[Series]"));
}

} // namespace
