#pragma once

#include "app/window/RunChart.h"
#include "series/LimitText.h"
#include "series/Series.h"

#include <QDockWidget>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// The contents of the dock "Messreihe": the newest value large (green within
// the limits, red outside), the figures of the shown group with their
// captions and its unit, the group selector, the shown group's limits with
// its unit beside them, the buttons and the run chart. It shows the series
// it is given and changes it only through the limits; the buttons are the
// window's to handle. Changes of the series are shown
// at most every RefreshMs, and only while the panel is visible.
//
// Most users never open the panel, so its contents are built when it is
// first shown, not with the window: the start pays for an empty widget only.
// Until then the limits and names are kept as given.
class TSeriesPanel : public QWidget {
    Q_OBJECT
    // The dock's title as a design text of the panel: the translation walk
    // renews it here, and after it the names a screen reader gives the
    // fields (their captions; the walk leaves accessible names alone) and
    // the run-time texts.
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    // What a screen reader calls the newest value and the chart.
    Q_PROPERTY(QString NewestName READ NewestName WRITE SetNewestName)
    Q_PROPERTY(QString ChartName READ ChartName WRITE SetChartName)
public:
    static constexpr int RefreshMs = 100;
    static constexpr qsizetype ChartCount = 100;

    TSeriesPanel(series::TSeries& series, QWidget* parent);
    // Wide enough for the contents without a horizontal scroll bar.
    QSize sizeHint() const override;

    // The user's decimal separator for the figures and the limits.
    void SetDecimalSeparator(std::function<QChar()> separator) {
        FSeparator = std::move(separator);
    }
    // The series changed: shown at the next refresh.
    void SeriesChanged();
    // A new series: the panel follows the newest reading's group again.
    void SeriesRestarted();
    // Shows the series now (the throttle's end, a language switch, tests).
    void RefreshNow();
    // Builds the contents in the current language unless they exist.
    void EnsureBuilt();
    // The group shown; -1 while the series is empty.
    int ShownGroup() const;
    // The series' limits were replaced (the settings file): the fields show
    // the shown group's again.
    void LimitsReplaced();
    QString Title() const { return FTitle; }
    void SetTitle(const QString& title);
    QString NewestName() const;
    void SetNewestName(const QString& name);
    QString ChartName() const;
    void SetChartName(const QString& name);
    // How often the figures and chart were renewed (benchmarks).
    qsizetype Refreshes() const { return FRefreshes; }

signals:
    void NewSeriesClicked();
    void RemoveNewestClicked();
    void ExportClicked();
    void CopyClicked();
    void LimitsEdited();

protected:
    void showEvent(QShowEvent* event) override;

private:
    static constexpr size_t FigureCount = 10;
    // The group (by label, and its unit) whose limits the fields hold.
    struct TLimitOwner {
        QString Label;
        series::TUnit Unit = series::TUnit::None;
        bool operator==(const TLimitOwner&) const = default;
    };

    void BuildLayout();
    void BuildGroupRow(QVBoxLayout& layout);
    void BuildFigures(QVBoxLayout& layout);
    void BuildLimits(QVBoxLayout& layout);
    void BuildButtons(QVBoxLayout& layout);
    void TranslateContents();
    void RenewNames();
    void ApplyLimits();
    void ShowLimits(int group);
    void MarkLimit(QLineEdit& field, series::TLimitProblem problem);
    void FillGroups();
    void ShowFigures(int group, const series::TStatistics& s);
    void ShowNewest(int group);
    void ShowChart(int group, const series::TStatistics& s);
    QChar Separator() const;

    series::TSeries& FSeries;
    QString FTitle;
    QString FNewestName;
    QString FChartName;
    TLimitOwner FLimitOwner;
    bool FLimitsShown = false; // the fields hold FLimitOwner's limits
    series::TLimitProblem FLowerProblem = series::TLimitProblem::None;
    series::TLimitProblem FUpperProblem = series::TLimitProblem::None;
    std::function<QChar()> FSeparator;
    QTimer FThrottle;
    QTimer FNames;
    quint64 FShownRevision = ~quint64(0);
    bool FFollowNewest = true;
    qsizetype FRefreshes = 0;

    QWidget* FContents = nullptr;
    QLabel* FNewest = nullptr;
    QComboBox* FGroups = nullptr;
    std::array<QLineEdit*, FigureCount> FFields{};
    std::array<QLabel*, FigureCount> FCaptions{};
    QLabel* FGroupCaption = nullptr;
    QLabel* FLowerCaption = nullptr;
    QLabel* FUpperCaption = nullptr;
    QLabel* FExcluded = nullptr;
    QLineEdit* FLower = nullptr;
    QLineEdit* FUpper = nullptr;
    std::array<QLabel*, 2> FLimitUnits{};
    TRunChart* FChart = nullptr;
};

// The dock of the panel: it has the panel build its contents before it
// shows, so they are laid out with it from the first frame.
class TSeriesDock : public QDockWidget {
    Q_OBJECT
public:
    TSeriesDock(const QString& title, QWidget* parent) : QDockWidget(title, parent) {}
    void setVisible(bool visible) override;
    // Told after each show or hide of the dock itself (not of its window).
    void SetShownHandler(std::function<void(bool)> handler) { FShown = std::move(handler); }

private:
    std::function<void(bool)> FShown;
};
