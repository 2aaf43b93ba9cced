#pragma once

#include "app/capture/CaptureSession.h"
#include "app/window/PanelRoom.h"
#include "app/window/SeriesPanel.h"
#include "series/Export.h"
#include "series/Series.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QDockWidget;
class QMainWindow;
class QMenu;
class TDocumentJournal;
class TFileDialogInfo;
class TFileDialogs;
class TLineMarks;
namespace platform {
class TDialogs;
}
namespace journal {
struct TSeriesLine;
}

// The series of measurements in the window: the menu "Ansicht" with its
// check item, the dock with the panel, and the panel's commands (new series,
// remove the newest reading, export, copy). Each finished line of the
// capture session goes in with its arrival time; the journal keeps what the
// series took.
class TSeriesView : public TCaptureSubscriber {
public:
    // How long the status bar says that a deleted reading's line stayed.
    static constexpr int StatusMessageMs = 10000;

    struct TSeams {
        // A new series forgets the lines the links began.
        TCaptureSession& Session;
        platform::TDialogs& Dialogs;
        std::function<TFileDialogs&()> FileDialogs;
        // Runs a command as the window runs its commands (errors shown).
        std::function<void(const std::function<void()>&)> Guarded;
        // Runs modal work with the links paused.
        std::function<void(const std::function<void()>&)> Paused;
        std::function<QChar()> DecimalSeparator;
        // Widens the window for the panel (TWindowGeometry::Lend); empty: never.
        std::function<int(int)> LendWidth = {};
        // Where the readings' lines are in the document; none: a reading
        // deleted leaves its line.
        TLineMarks* LineMarks = nullptr;
    };

    // The menu goes into the window's menu bar before the menu given.
    TSeriesView(QMainWindow& window, QMenu& before, TSeams seams);

    void LineFinished(const TCaptureLine& line) override;

    // The journal told of each reading the series takes; none: no journal.
    void SetJournal(TDocumentJournal* journal);
    const series::TSeries& Series() const { return FSeries; }
    // A new series (a new or opened document, a cleared screen, the
    // panel's button).
    void Restart();
    // The series a journal kept, before the readings that arrived since.
    void Restore(const std::vector<journal::TSeriesLine>& lines);
    // The dock's place, visibility and the limits, in the settings file.
    void LoadSettings(const QString& iniPath);
    void SaveSettings(const QString& iniPath) const;

private:
    void RemoveNewest();
    void Export();
    void Copy();
    void SaveLimits();
    series::TExportTexts ExportTexts(int group) const;
    series::TExportFormat ExportFormat() const;

    QMainWindow& FWindow;
    TSeams FSeams;
    series::TSeries FSeries;
    TSeriesDock* FDock = nullptr;
    std::unique_ptr<TPanelRoom> FRoom;
    TSeriesPanel* FPanel = nullptr;
    TFileDialogInfo* FExportDialog = nullptr;
    TDocumentJournal* FJournal = nullptr;
    QString FIniPath; // where the limits go as they change; none before LoadSettings
    // The capture's line id of the newest readings, by the series' reading id.
    std::deque<std::pair<qint64, uint64_t>> FLineIds;
};
