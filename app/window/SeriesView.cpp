#include "app/window/SeriesView.h"

#include "app/dialogs/FileDialogs.h"
#include "app/document/LineMarks.h"
#include "app/journal/CaptureJournal.h"
#include "app/journal/DocumentJournal.h"
#include "app/texts/FileTexts.h"
#include "app/texts/Texts.h"
#include "app/window/SeriesPanel.h"
#include "app/window/Settings.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include <algorithm>

TSeriesView::TSeriesView(QMainWindow& window, QMenu& before, TSeams seams)
    : FWindow(window), FSeams(std::move(seams)) {
    auto* menu = new QMenu(QStringLiteral("Ansicht"), window.menuBar());
    menu->setObjectName(QStringLiteral("Ansicht1"));
    window.menuBar()->insertMenu(before.menuAction(), menu);
    FDock = new TSeriesDock(QStringLiteral("Messreihe"), &window);
    FDock->setObjectName(QStringLiteral("SeriesDock"));
    // The dock's own item follows it, however it is shown or closed.
    QAction* item = FDock->toggleViewAction();
    item->setObjectName(QStringLiteral("Messreihe1"));
    // Its text is the dock's title; the translation walk leaves it to that.
    item->setProperty("gnugettextIgnore", QStringList{QStringLiteral("*")});
    menu->addAction(item);
    FDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    FPanel = new TSeriesPanel(FSeries, FDock);
    FPanel->SetDecimalSeparator(FSeams.DecimalSeparator);
    FDock->setWidget(FPanel);
    FPanel->SetTitle(FDock->windowTitle());
    // The title is the panel's design text (it renews the panel's names).
    FDock->setProperty("gnugettextIgnore", QStringList{QStringLiteral("windowTitle")});
    window.addDockWidget(Qt::RightDockWidgetArea, FDock);
    FDock->hide();
    FRoom = std::make_unique<TPanelRoom>(window, *FDock, FSeams.LendWidth);
    FDock->SetShownHandler([this](bool shown) { FRoom->DockShown(shown); });
    // A floating panel needs no room beside the document; docked again, it does.
    QObject::connect(FDock, &QDockWidget::topLevelChanged, FDock,
                     [this] { FRoom->DockShown(!FDock->isHidden()); });
    const auto command = [this](void (TSeriesView::*handler)()) {
        return [this, handler] { FSeams.Guarded([&] { (this->*handler)(); }); };
    };
    QObject::connect(FPanel, &TSeriesPanel::NewSeriesClicked, FPanel,
                     command(&TSeriesView::Restart));
    QObject::connect(FPanel, &TSeriesPanel::RemoveNewestClicked, FPanel,
                     command(&TSeriesView::RemoveNewest));
    QObject::connect(FPanel, &TSeriesPanel::ExportClicked, FPanel, command(&TSeriesView::Export));
    QObject::connect(FPanel, &TSeriesPanel::CopyClicked, FPanel, command(&TSeriesView::Copy));
    QObject::connect(FPanel, &TSeriesPanel::LimitsEdited, FPanel,
                     command(&TSeriesView::SaveLimits));
    FExportDialog =
        new TFileDialogInfo(QStringLiteral("ExportDialog"),
                            QStringLiteral("CSV (*.csv)|*.csv|Alle Dateien (*.*)|*.*"), &window);
}

void TSeriesView::SetJournal(TDocumentJournal* journal) {
    FJournal = journal;
    if (FJournal)
        FJournal->SetSeries(&FSeries);
}

void TSeriesView::LineFinished(const TCaptureLine& line) {
    if (!FSeries.AddLine(line.Text, line.ArrivalMs))
        return;
    if (FSeams.LineMarks != nullptr) {
        FLineIds.emplace_back(FSeries.Reading(FSeries.Size() - 1).Id, line.Id);
        if (FLineIds.size() > TLineMarks::Capacity)
            FLineIds.pop_front();
    }
    if (FJournal)
        FJournal->SeriesLineAdded(line.Text, line.ArrivalMs);
    FPanel->SeriesChanged();
}

void TSeriesView::Restart() {
    FSeries.Clear();
    FLineIds.clear();
    FSeams.Session.ForgetPartialLines();
    FPanel->SeriesRestarted();
    FPanel->RefreshNow();
    if (FJournal)
        FJournal->SeriesChanged();
}

void TSeriesView::Restore(const std::vector<journal::TSeriesLine>& lines) {
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
    FPanel->SeriesRestarted();
    FPanel->RefreshNow();
}

void TSeriesView::RemoveNewest() {
    // The newest reading of the group shown, wherever it lies in the series.
    const int group = FPanel->ShownGroup();
    const std::vector<qsizetype> newest =
        group < 0 ? std::vector<qsizetype>{} : FSeries.NewestInGroup(group, 1);
    if (newest.empty())
        return;
    const qint64 reading = FSeries.Reading(newest.back()).Id;
    const QString text = FSeries.Text(newest.back());
    const auto line = std::find_if(FLineIds.rbegin(), FLineIds.rend(),
                                   [reading](const auto& ids) { return ids.first == reading; });
    FSeries.RemoveNewest(group);
    // Its line goes too, when it is in the document as it came; a line that
    // was edited is the user's and stays.
    const bool lineRemoved = line != FLineIds.rend() && FSeams.LineMarks != nullptr &&
                             FSeams.LineMarks->Remove(line->second, text);
    if (!lineRemoved && FSeams.LineMarks != nullptr)
        FWindow.statusBar()->showMessage(
            Translated("Messwert gelöscht; seine Zeile ist im Dokument nicht mehr, wie sie "
                       "kam, und bleibt stehen."),
            StatusMessageMs);
    FPanel->RefreshNow();
    if (FJournal)
        FJournal->SeriesChanged();
}

series::TExportTexts TSeriesView::ExportTexts(int group) const {
    series::TExportTexts texts{Translated("Nr."),         Translated("Zeit"),
                               Translated("Wert"),        Translated("Einheit"),
                               Translated("Bezeichnung"), Translated("Bewertung"),
                               Translated("Text"),        Translated("unterhalb"),
                               Translated("innerhalb"),   Translated("oberhalb")};
    // The column a sheet computes with names its one unit.
    const QString unit = series::UnitName(FSeries.Statistics(group).Unit);
    texts.GroupValue = unit.isEmpty() ? Translated("Wert in der Einheit der Gruppe")
                                      : Translated("Wert (%1)").arg(unit);
    texts.LocalTime = Translated("Datum und Uhrzeit");
    return texts;
}

series::TExportFormat TSeriesView::ExportFormat() const {
    return series::TExportFormat::ForUserSeparator(QString(FSeams.DecimalSeparator()));
}

void TSeriesView::Export() {
    const int group = FPanel->ShownGroup();
    if (group < 0)
        return;
    QString name;
    FSeams.Paused([&] {
        name = ChooseSaveName(FSeams.FileDialogs(), *FExportDialog, QStringLiteral(".csv"),
                              FSeams.Dialogs);
        if (name.isEmpty())
            return;
        const QByteArray bytes =
            series::ExportCsv(FSeries, group, ExportTexts(group), ExportFormat());
        if (const platform::TFileError error = platform::ReplaceFile(name, bytes))
            FSeams.Dialogs.MessageBox(WriteFailureText(name, error), QString(),
                                      platform::MB_OK | platform::MB_ICONERROR);
    });
}

void TSeriesView::Copy() {
    const int group = FPanel->ShownGroup();
    if (group < 0)
        return;
    QGuiApplication::clipboard()->setText(
        series::ExportTabText(FSeries, group, ExportTexts(group), ExportFormat()));
}

void TSeriesView::LoadSettings(const QString& iniPath) {
    const TSeriesSettings saved = ReadSeriesSettings(TIniFileAccess(iniPath));
    const auto area = static_cast<Qt::DockWidgetArea>(saved.Area);
    if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea)
        FWindow.addDockWidget(area, FDock);
    FSeries.SetLimits(saved.Limits);
    FPanel->LimitsReplaced();
    FIniPath = iniPath;
    FDock->setVisible(saved.Visible);
}

void TSeriesView::SaveLimits() {
    if (!FIniPath.isEmpty())
        WriteLimitSettings(TIniFileAccess(FIniPath), FSeries.Limits());
}

void TSeriesView::SaveSettings(const QString& iniPath) const {
    TSeriesSettings kept;
    kept.Visible = !FDock->isHidden();
    kept.Area = static_cast<int>(FWindow.dockWidgetArea(FDock));
    kept.Limits = FSeries.Limits();
    WriteSeriesSettings(TIniFileAccess(iniPath), kept);
}
