#pragma once

#include <QWidget>

#include <optional>
#include <vector>

// The run chart of a group's newest readings: each value a point joined by a
// line, the mean and the limits as horizontal lines, values outside the
// limits marked in red. Painted from what it was last given; the panel
// gives it new points at most ten times a second.
class TRunChart : public QWidget {
    Q_OBJECT
public:
    struct TPoint {
        double Value = 0;
        bool Outside = false;
        bool operator==(const TPoint&) const = default;
    };
    struct TData {
        std::vector<TPoint> Points; // oldest first
        std::optional<double> Mean;
        std::optional<double> Lower;
        std::optional<double> Upper;
        bool operator==(const TData&) const = default;
    };

    explicit TRunChart(QWidget* parent = nullptr);
    void SetData(TData data);
    const TData& Data() const { return FData; }
    QSize sizeHint() const override { return {240, 140}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TData FData;
};
