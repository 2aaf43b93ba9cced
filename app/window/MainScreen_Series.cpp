// The series of measurements in the window: the menu "Ansicht" with its check
// item, the dock with the panel, the feed from the three links, and the
// panel's commands (new series, remove the newest reading, export, copy).
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"
#include "app/journal/CaptureJournal.h"
#include "app/journal/DocumentJournal.h"
#include "app/texts/FileTexts.h"
#include "app/texts/Texts.h"
#include "platform/CodePage.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QDockWidget>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>

namespace {

qint64 Now() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

void TMainScreen::BuildSeriesPanel() {
    Ansicht1 = new QMenu(QStringLiteral("Ansicht"), MainMenu1);
    Ansicht1->setObjectName(QStringLiteral("Ansicht1"));
    MainMenu1->insertMenu(Device1->menuAction(), Ansicht1);
    SeriesDock = new TSeriesDock(QStringLiteral("Messreihe"), this);
    SeriesDock->setObjectName(QStringLiteral("SeriesDock"));
    // The dock's own item follows it, however it is shown or closed.
    Messreihe1 = SeriesDock->toggleViewAction();
    Messreihe1->setObjectName(QStringLiteral("Messreihe1"));
    // Its text is the dock's title; the translation walk leaves it to that.
    Messreihe1->setProperty("gnugettextIgnore", QStringList{QStringLiteral("*")});
    Ansicht1->addAction(Messreihe1);
    SeriesDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    FSeriesPanel = new TSeriesPanel(FSeries, SeriesDock);
    FSeriesPanel->SetDecimalSeparator([this] {
        const QString separator =
            FDecimalSeparator ? FDecimalSeparator() : QLocale::system().decimalPoint();
        return separator.size() == 1 ? separator[0] : QChar(u'.');
    });
    SeriesDock->setWidget(FSeriesPanel);
    FSeriesPanel->SetTitle(SeriesDock->windowTitle());
    // The title is the panel's design text (it renews the panel's names).
    SeriesDock->setProperty("gnugettextIgnore", QStringList{QStringLiteral("windowTitle")});
    addDockWidget(Qt::RightDockWidgetArea, SeriesDock);
    SeriesDock->hide();
    connect(FSeriesPanel, &TSeriesPanel::NewSeriesClicked, this,
            [this] { RunGuarded([this] { RestartSeries(); }); });
    connect(FSeriesPanel, &TSeriesPanel::RemoveNewestClicked, this,
            [this] { RunGuarded([this] { RemoveNewestReading(); }); });
    connect(FSeriesPanel, &TSeriesPanel::ExportClicked, this,
            [this] { RunGuarded([this] { ExportSeries(); }); });
    connect(FSeriesPanel, &TSeriesPanel::CopyClicked, this,
            [this] { RunGuarded([this] { CopySeries(); }); });
    connect(FInserter, &TEditorInserter::Released, this, [this] { AddHeldSeriesLines(); });

    ExportDialog =
        new TFileDialogInfo(QStringLiteral("ExportDialog"),
                            QStringLiteral("CSV (*.csv)|*.csv|Alle Dateien (*.*)|*.*"), this);
}

void TMainScreen::SeriesReceived(TLinkKind link, QStringView text) {
    const qint64 now = Now();
    FSeriesLines[static_cast<size_t>(link)].Feed(
        text, now, [this](QStringView line, qint64 arrival) { AddSeriesLine(line, arrival); });
}

void TMainScreen::AddSeriesLine(QStringView line, qint64 arrivalMs) {
    if (FInserter->Held()) {
        FHeldSeriesLines.emplace_back(line.toString(), arrivalMs);
        return;
    }
    if (!FSeries.AddLine(line, arrivalMs))
        return;
    if (FJournal)
        FJournal->SeriesLineAdded(line, arrivalMs);
    FSeriesPanel->SeriesChanged();
}

void TMainScreen::AddHeldSeriesLines() {
    for (const auto& [line, arrival] : std::exchange(FHeldSeriesLines, {}))
        AddSeriesLine(line, arrival);
}

void TMainScreen::RestartSeries() {
    FSeries.Clear();
    for (series::TLineAssembler& lines : FSeriesLines)
        lines.Reset();
    FSeriesPanel->SeriesRestarted();
    FSeriesPanel->RefreshNow();
    if (FJournal)
        FJournal->SeriesChanged();
}

void TMainScreen::RestoreSeries(const std::vector<journal::TSeriesLine>& lines) {
    // What arrived before the restore follows the restored readings, as its
    // text follows theirs in the document.
    std::vector<std::pair<QString, qint64>> arrived;
    for (qsizetype i = 0; i < FSeries.Size(); ++i)
        arrived.emplace_back(FSeries.Text(i), FSeries.Reading(i).Time);
    FSeries.Clear();
    for (const journal::TSeriesLine& line : lines)
        FSeries.AddLine(line.Text, line.Time);
    for (const auto& [line, arrival] : arrived)
        FSeries.AddLine(line, arrival);
    FSeriesPanel->SeriesRestarted();
    FSeriesPanel->RefreshNow();
}

void TMainScreen::RemoveNewestReading() {
    if (!FSeries.RemoveNewest())
        return;
    FSeriesPanel->RefreshNow();
    if (FJournal)
        FJournal->SeriesChanged();
}

series::TExportTexts TMainScreen::ExportTexts() const {
    return {Translated("Nr."),     Translated("Zeit"),        Translated("Wert"),
            Translated("Einheit"), Translated("Bezeichnung"), Translated("Bewertung"),
            Translated("Text"),    Translated("unterhalb"),   Translated("innerhalb"),
            Translated("oberhalb")};
}

series::TExportFormat TMainScreen::ExportFormat() const {
    const QString separator =
        FDecimalSeparator ? FDecimalSeparator() : QLocale::system().decimalPoint();
    return series::TExportFormat::ForUserSeparator(separator);
}

void TMainScreen::ExportSeries() {
    const int group = FSeriesPanel->ShownGroup();
    if (group < 0)
        return;
    const TLinkPause paused(*this);
    if (!FFileDialogs->ExecuteSave(*ExportDialog))
        return;
    QString name = ExportDialog->FileName;
    if (!QFileInfo(name).fileName().contains(QLatin1Char('.')))
        name += QStringLiteral(".csv");
    if (QFileInfo::exists(name) &&
        FDialogs.MessageBox(Translated("Überschreiben %s ?").replace(QStringLiteral("%s"), name),
                            QString(), platform::MB_YESNOCANCEL | platform::MB_ICONQUESTION) !=
            platform::IDYES)
        return;
    const QByteArray bytes = series::ExportCsv(FSeries, group, ExportTexts(), ExportFormat());
    if (const platform::TFileError error = platform::ReplaceFile(name, bytes))
        FDialogs.MessageBox(WriteFailureText(name, error), QString(),
                            platform::MB_OK | platform::MB_ICONERROR);
}

void TMainScreen::CopySeries() {
    const int group = FSeriesPanel->ShownGroup();
    if (group < 0)
        return;
    QGuiApplication::clipboard()->setText(
        series::ExportTabText(FSeries, group, ExportTexts(), ExportFormat()));
}

void TMainScreen::LoadSeriesSettings() {
    const TSeriesSettings saved = ReadSeriesSettings(TIniFileAccess(IniPath));
    const auto area = static_cast<Qt::DockWidgetArea>(saved.Area);
    if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea)
        addDockWidget(area, SeriesDock);
    FSeriesPanel->SetLimitTexts(saved.Lower, saved.Upper);
    SeriesDock->setVisible(saved.Visible);
}

void TMainScreen::SaveSeriesSettings() {
    TSeriesSettings kept;
    kept.Visible = !SeriesDock->isHidden();
    kept.Area = static_cast<int>(dockWidgetArea(SeriesDock));
    kept.Lower = FSeriesPanel->LowerText();
    kept.Upper = FSeriesPanel->UpperText();
    WriteSeriesSettings(TIniFileAccess(IniPath), kept);
}
