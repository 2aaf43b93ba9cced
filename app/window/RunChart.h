#pragma once

#include "series/FigureText.h"

#include <QPixmap>
#include <QWidget>

#include <array>

#include <optional>
#include <vector>

// The run chart of a group's newest readings: each value a point joined by a
// line over its reading number, a vertical scale in the group's unit, the
// mean, the tolerance limits (dashed) and the control limits (dotted) as
// horizontal lines with their values at the right end. A point outside the
// tolerance limits is a large red dot, one outside the control limits has a
// ring. Painted from what it was last given; the panel gives it new points
// at most ten times a second.
class TRunChart : public QWidget {
    Q_OBJECT
public:
    struct TPoint {
        double Value = 0;
        bool Outside = false;        // beyond a tolerance limit
        bool OutsideControl = false; // beyond a control limit
        qsizetype Number = 0;        // the reading's number in its group, from 1
        bool operator==(const TPoint&) const = default;
    };
    struct TData {
        std::vector<TPoint> Points; // oldest first
        std::optional<double> Mean;
        std::optional<double> Lower;
        std::optional<double> Upper;
        std::optional<double> LowerControl;
        std::optional<double> UpperControl;
        int Decimals = 0; // the readings'
        QString Unit;
        QChar Separator = u'.';
        bool operator==(const TData&) const = default;
    };

    explicit TRunChart(QWidget* parent = nullptr);
    void SetData(TData data);
    const TData& Data() const { return FData; }
    QSize sizeHint() const override { return {240, 160}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // What the frame picture shows: it is drawn again when any of it changes.
    struct TFrameKey {
        QSize Size;
        qreal Ratio = 0;
        double Low = 0, High = 0, Step = 0;
        int Decimals = 0;
        std::array<std::optional<double>, 5> Lines;
        QString Unit;
        QChar Separator;
        bool operator==(const TFrameKey&) const = default;
    };
    void DrawFrame(const TFrameKey& key, const series::TScale& scale);
    // The mark of a point: within, outside the limits, each with a ring when
    // beyond a control limit.
    const QPixmap& Mark(bool outside, bool outsideControl);

    TData FData;
    TFrameKey FFrameKey;
    QPixmap FFrame;
    QRectF FArea; // the plot inside the frame
    std::array<QPixmap, 4> FMarks;
};
