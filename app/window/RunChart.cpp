#include "app/window/RunChart.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The value range the chart shows: every point and line, with a margin, and
// some height even when all values are equal.
std::pair<double, double> Span(const TRunChart::TData& data) {
    double low = 0;
    double high = 0;
    bool any = false;
    auto take = [&](double v) {
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    };
    for (const TRunChart::TPoint& point : data.Points)
        take(point.Value);
    for (const std::optional<double>& line : {data.Mean, data.Lower, data.Upper})
        if (line)
            take(*line);
    const double margin =
        high > low ? (high - low) * 0.08 : std::max(1e-9, std::abs(high) * 0.01 + 1e-3);
    return {low - margin, high + margin};
}

} // namespace

TRunChart::TRunChart(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 80);
    setAutoFillBackground(false);
}

void TRunChart::SetData(TData data) {
    if (data == FData)
        return;
    FData = std::move(data);
    update();
}

void TRunChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().base());
    const QRectF area = QRectF(rect()).adjusted(6, 6, -6, -6);
    painter.setPen(palette().mid().color());
    painter.drawRect(area);
    if (FData.Points.empty())
        return;
    const auto [low, high] = Span(FData);
    const auto y = [&, low = low, high = high](double v) {
        return area.bottom() - (v - low) / (high - low) * area.height();
    };
    const qsizetype count = static_cast<qsizetype>(FData.Points.size());
    const auto x = [&](qsizetype i) {
        return count == 1 ? area.center().x()
                          : area.left() + area.width() * static_cast<double>(i) /
                                              static_cast<double>(count - 1);
    };
    const auto line = [&](const std::optional<double>& at, const QColor& colour,
                          Qt::PenStyle style) {
        if (!at)
            return;
        painter.setPen(QPen(colour, 1.5, style));
        painter.drawLine(QPointF(area.left(), y(*at)), QPointF(area.right(), y(*at)));
    };
    line(FData.Lower, QColor(200, 0, 0), Qt::DashLine);
    line(FData.Upper, QColor(200, 0, 0), Qt::DashLine);
    line(FData.Mean, QColor(0, 120, 0), Qt::SolidLine);

    QPainterPath path;
    for (qsizetype i = 0; i < count; ++i) {
        const QPointF at(x(i), y(FData.Points[static_cast<size_t>(i)].Value));
        if (i == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    painter.setPen(QPen(QColor(0, 70, 160), 1.5));
    painter.drawPath(path);
    for (qsizetype i = 0; i < count; ++i) {
        const TPoint& point = FData.Points[static_cast<size_t>(i)];
        const QPointF at(x(i), y(point.Value));
        const QColor colour = point.Outside ? QColor(210, 0, 0) : QColor(0, 70, 160);
        painter.setPen(QPen(colour, 1));
        painter.setBrush(colour);
        const double r = point.Outside ? 4 : 2.5;
        painter.drawEllipse(at, r, r);
    }
}
