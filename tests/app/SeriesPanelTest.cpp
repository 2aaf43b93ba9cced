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
#include <QComboBox>
#include <QDateTime>
#include <QDockWidget>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
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
    // Typed and confirmed with Return, as a user does.
    void Type(const char* name, const QString& text) {
        auto* field = Find<QLineEdit>(name);
        field->setText(text);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(field, &enter);
    }
    // The problem a limit field shows; empty when it shows none.
    QString Problem(const char* name) const {
        auto* field = Find<QLineEdit>(name);
        EXPECT_EQ(field->toolTip(), field->accessibleDescription()) << name;
        EXPECT_EQ(field->property("limitProblem").toBool(), !field->toolTip().isEmpty()) << name;
        return field->toolTip();
    }
    void ShowGroup(int group) {
        auto* groups = Find<QComboBox>("SeriesGroup");
        groups->setCurrentIndex(group);
        emit groups->activated(group);
    }

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
    EXPECT_EQ(Field("SeriesMinimum"), QString::fromUtf8("12,5 µm"));
    EXPECT_EQ(Field("SeriesMaximum"), QString::fromUtf8("13,3 µm"));
    EXPECT_EQ(Field("SeriesRange"), QString::fromUtf8("0,8 µm"));
    EXPECT_EQ(Field("SeriesMean"), QString::fromUtf8("12,85 µm"));
    EXPECT_EQ(Field("SeriesDeviation"), QString::fromUtf8("0,34 µm"));
    // From the short-term spread (the average moving range over d2), and
    // from the overall one.
    EXPECT_EQ(Field("SeriesCp"), "0,28");
    EXPECT_EQ(Field("SeriesCpk"), "0,21");
    EXPECT_EQ(Field("SeriesPp"), "0,20");
    EXPECT_EQ(Field("SeriesPpk"), "0,15");
    EXPECT_EQ(Find<QWidget>("SeriesPanel")->accessibleDescription(),
              "(ohne Bezeichnung): 4 Messwerte, Mittelwert 12,85 \xC2\xB5m, Cp 0,28, Cpk 0,21, "
              "Pp 0,20, Ppk 0,15");
    auto* newest = Find<QLabel>("SeriesNewest");
    EXPECT_EQ(newest->text(), QString::fromUtf8("13,3 µm"));
    EXPECT_EQ(newest->property("verdictColour").toString(), "#d00000");
    EXPECT_EQ(Find<QLineEdit>("SeriesMean")->accessibleName(), "Mittelwert");
    EXPECT_EQ(Find<QWidget>("SeriesChart")->accessibleDescription(),
              "4 Messwerte, letzter Wert 13,3, Mittelwert 12,85, 2 außerhalb der Grenzen");

    Window->Inserter().Flush();
    const QString document = Text();
    Click("SeriesRemoveNewest");
    EXPECT_EQ(Field("SeriesCount"), "3");
    // Its line went from the document with it, the hand-typed one stayed.
    EXPECT_EQ(Text().count(QChar(0x0a)), document.count(QChar(0x0a)) - 1) << Text().toStdString();
    EXPECT_FALSE(Text().contains(QString::fromUtf8("13,3"))) << Text().toStdString();
    EXPECT_TRUE(Text().contains("5 mm\n"));
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
                       "Wert (\xC2\xB5m);Datum und Uhrzeit\r");
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
    // The older pair becomes the unlabelled group's entry in the list.
    for (const char* key : {"Visible=1\n", "Limit1Label=\"\"\n", "Limit1Lower=12.6\n",
                            "Limit1Upper=13\n", "Limit1Unit=\n", "\nLower=\n", "Area=2\n"})
        EXPECT_TRUE(saved.mid(saved.indexOf("[Series]")).contains(key)) << saved.toStdString();
}

// Each label has its own limits in its own unit, from the settings file's
// list: the fields show the shown group's with its unit, a limit typed with
// another unit is converted, one that cannot be used is marked with the
// reason, and the store is written as it changes and kept by a new series.
TEST_F(SeriesPanelTest, EachGroupHasItsOwnLimitsInItsUnit) {
    Start("[Config]\nAutoConnect=0\n[Series]\nVisible=1\nLimit1Label=\"Dia\"\n"
          "Limit1Lower=1\nLimit1Upper=2\nLimit1Unit=mm\n");
    Window->AddReceivedText("Dia: 1,5 mm\r\nDia: 2,5 mm\r\nBore: 0.5 in\r\n");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Field("SeriesCount") == "1"; }));
    EXPECT_EQ(Field("SeriesMinimum"), "0,5 in");
    EXPECT_EQ(Field("SeriesLower"), "");
    EXPECT_EQ(Find<QLabel>("SeriesLowerUnit")->text(), "in");
    Type("SeriesLower", "12.6 mm");
    Type("SeriesUpper", "1,234.5");
    EXPECT_EQ(Problem("SeriesLower"), "");
    EXPECT_EQ(Problem("SeriesUpper"), "keine Zahl");
    const series::TLimits bore = Window->Series().Limits().Find(u"Bore");
    EXPECT_EQ(bore.Unit, series::TUnit::Inch);
    EXPECT_DOUBLE_EQ(bore.Lower.value_or(0), 12.6 / 25.4);
    EXPECT_FALSE(bore.Upper);
    EXPECT_EQ(Field("SeriesCpk"), QString::fromUtf8("—")) << "one reading";

    ShowGroup(0);
    EXPECT_EQ(Field("SeriesLower"), "1");
    EXPECT_EQ(Field("SeriesUpper"), "2");
    EXPECT_EQ(Find<QLabel>("SeriesUpperUnit")->text(), "mm");
    EXPECT_EQ(Problem("SeriesUpper"), "");
    EXPECT_EQ(Field("SeriesRange"), "1,0 mm");
    EXPECT_EQ(Field("SeriesMean"), "2,00 mm");
    EXPECT_EQ(Field("SeriesCp"), "0,19");
    EXPECT_EQ(Field("SeriesPp"), "0,24");
    Type("SeriesLower", "3");
    EXPECT_EQ(Problem("SeriesLower"), QString::fromUtf8("untere Grenze über der oberen"));
    EXPECT_EQ(Problem("SeriesUpper"), QString::fromUtf8("untere Grenze über der oberen"));
    EXPECT_EQ(Field("SeriesCp"), QString::fromUtf8("—"));
    Type("SeriesLower", "1,5");
    EXPECT_EQ(Problem("SeriesLower"), "");
    EXPECT_EQ(Field("SeriesPpk"), "0,00");
    // Written at once, labels as values (the file's keys ignore case).
    QFile ini(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    for (const char* key : {"Limit1Label=\"Bore\"\n", "Limit1Lower=0.49606299212598426\n",
                            "Limit1Upper=\n", "Limit1Unit=in\n", "Limit2Label=\"Dia\"\n",
                            "Limit2Lower=1.5\n", "Limit2Upper=2\n", "Limit2Unit=mm\n"})
        EXPECT_TRUE(saved.contains(key)) << key << saved.toStdString();

    // Deleting takes the shown group's newest reading and its line, as one
    // step Undo takes back (the series keeps its loss); a line edited by
    // hand stays, and the status bar says so.
    Window->Inserter().Flush();
    Click("SeriesRemoveNewest");
    EXPECT_EQ(Field("SeriesCount"), "1");
    EXPECT_EQ(Window->Series().Size(), 2);
    EXPECT_EQ(Text(), "Dia: 1,5 mm\nBore: 0.5 in\n");
    Action("act_edit_undo")->trigger();
    EXPECT_EQ(Text(), "Dia: 1,5 mm\nDia: 2,5 mm\nBore: 0.5 in\n");
    EXPECT_EQ(Window->Series().Size(), 2);
    QTextCursor edit(Find<QPlainTextEdit>("Editor")->document());
    edit.setPosition(5);
    edit.insertText(" ");
    Click("SeriesRemoveNewest");
    EXPECT_EQ(Window->Series().Size(), 1);
    EXPECT_EQ(Text(), "Dia:  1,5 mm\nDia: 2,5 mm\nBore: 0.5 in\n");
    EXPECT_EQ(Window->statusBar()->currentMessage(),
              QString::fromUtf8("Messwert gelöscht; seine Zeile ist im Dokument nicht mehr, wie "
                                "sie kam, und bleibt stehen."));

    Click("SeriesNew");
    Window->AddReceivedText("Bore: 0.49 in\r\n");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Field("SeriesCount") == "1"; }));
    EXPECT_EQ(Field("SeriesLower"), "0,49606299212598426");
    EXPECT_EQ(Window->Series().Limits().Find(u"Dia").Lower, 1.5);
    // A reading that came in two pieces with typing between them: its line
    // is the user's, only the series loses the reading.
    Window->statusBar()->clearMessage();
    Window->AddReceivedText("Bore: 0.4");
    Window->Inserter().Flush();
    Find<QPlainTextEdit>("Editor")->textCursor().insertText("7");
    Window->AddReceivedText("9 in\r\n");
    Window->Inserter().Flush();
    ASSERT_EQ(Window->Series().Size(), 2);
    Click("SeriesRemoveNewest");
    EXPECT_EQ(Window->Series().Size(), 1);
    EXPECT_TRUE(Text().contains("Bore: 0.49 in\nBore: 0.479 in\n")) << Text().toStdString();
    EXPECT_FALSE(Window->statusBar()->currentMessage().isEmpty());
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
