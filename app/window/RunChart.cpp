#include "app/window/RunChart.h"

#include "series/FigureText.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {

const QColor PointColour(0, 70, 160);
const QColor OutsideColour(210, 0, 0);
const QColor LimitColour(200, 0, 0);
const QColor MeanColour(0, 120, 0);
const QColor ControlColour(150, 60, 170);

// The value range the chart shows: every point and line, on the scale's
// labelled values.
series::TScale Scale(const TRunChart::TData& data) {
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
    for (const std::optional<double>& line :
         {data.Mean, data.Lower, data.Upper, data.LowerControl, data.UpperControl})
        if (line)
            take(*line);
    return series::ValueScale(low, high, data.Decimals);
}

// A step for the reading numbers along the bottom: 1, 2, 5, 10 ... so that
// their labels do not touch.
qsizetype NumberStep(qsizetype span, double width, double labelWidth) {
    const double fit = std::max(1.0, width / (labelWidth * 1.8));
    for (qsizetype step = 1;; step *= 10)
        for (const qsizetype m : {1, 2, 5})
            if (static_cast<double>(span) / static_cast<double>(step * m) <= fit)
                return step * m;
}

} // namespace

TRunChart::TRunChart(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 100);
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
    const QFontMetricsF metrics(font());
    if (FData.Points.empty()) {
        painter.setPen(palette().mid().color());
        painter.drawRect(QRectF(rect()).adjusted(6, 6, -6, -6));
        return;
    }
    const series::TScale scale = Scale(FData);
    const auto number = [&](double v, int decimals) {
        return series::NumberText(v, decimals, FData.Separator);
    };
    // Room for the scale's labels on the left, the lines' values on the right.
    double left = metrics.horizontalAdvance(FData.Unit);
    for (int i = 0; i < scale.Count(); ++i)
        left = std::max(left, metrics.horizontalAdvance(number(scale.At(i), scale.Decimals)));
    struct TLineMark {
        std::optional<double> At;
        QColor Colour;
        Qt::PenStyle Style;
        int Decimals;
    };
    const std::array<TLineMark, 5> lines = {
        TLineMark{FData.LowerControl, ControlColour, Qt::DotLine, FData.Decimals + 1},
        TLineMark{FData.UpperControl, ControlColour, Qt::DotLine, FData.Decimals + 1},
        TLineMark{FData.Lower, LimitColour, Qt::DashLine, -1},
        TLineMark{FData.Upper, LimitColour, Qt::DashLine, -1},
        TLineMark{FData.Mean, MeanColour, Qt::SolidLine, FData.Decimals + 1}};
    const auto lineText = [&](const TLineMark& mark) {
        // A limit with every digit it was given: rounded it might read as
        // another limit.
        return mark.Decimals < 0 ? series::ShortestNumberText(*mark.At, FData.Separator)
                                 : number(*mark.At, mark.Decimals);
    };
    double right = 0;
    for (const TLineMark& mark : lines)
        if (mark.At)
            right = std::max(right, metrics.horizontalAdvance(lineText(mark)));
    const double lineHeight = metrics.height();
    const QRectF area =
        QRectF(rect()).adjusted(left + 8, lineHeight, -(right + 8), -(lineHeight + 6));
    if (area.width() < 20 || area.height() < 20)
        return;
    painter.setPen(palette().mid().color());
    painter.drawRect(area);

    const auto y = [&](double v) {
        return area.bottom() - (v - scale.Low) / (scale.High - scale.Low) * area.height();
    };
    const qsizetype first = FData.Points.front().Number;
    const qsizetype last = std::max(FData.Points.back().Number, first + 1);
    const auto x = [&](qsizetype n) {
        return area.left() +
               area.width() * static_cast<double>(n - first) / static_cast<double>(last - first);
    };

    // The scale: its values on the left, the unit below them.
    const QColor textColour = palette().text().color();
    painter.setPen(textColour);
    painter.drawText(QRectF(0, area.bottom() + 3, left + 4, lineHeight), Qt::AlignRight,
                     FData.Unit);
    for (int i = 0; i < scale.Count(); ++i) {
        const double at = y(scale.At(i));
        painter.setPen(palette().mid().color());
        painter.drawLine(QPointF(area.left() - 3, at), QPointF(area.left(), at));
        painter.setPen(textColour);
        painter.drawText(QRectF(0, at - lineHeight / 2, left + 4, lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter, number(scale.At(i), scale.Decimals));
    }
    // The reading numbers along the bottom.
    const qsizetype step =
        NumberStep(last - first, area.width(), metrics.horizontalAdvance(QString::number(last)));
    for (qsizetype n = (first + step - 1) / step * step; n <= last; n += step) {
        const double at = x(n);
        painter.setPen(palette().mid().color());
        painter.drawLine(QPointF(at, area.bottom()), QPointF(at, area.bottom() + 3));
        painter.setPen(textColour);
        painter.drawText(QRectF(at - 30, area.bottom() + 3, 60, lineHeight), Qt::AlignHCenter,
                         QString::number(n));
    }

    for (const TLineMark& mark : lines) {
        if (!mark.At)
            continue;
        const double at = y(*mark.At);
        painter.setPen(QPen(mark.Colour, 1.5, mark.Style));
        painter.drawLine(QPointF(area.left(), at), QPointF(area.right(), at));
        painter.setPen(mark.Colour);
        painter.drawText(QRectF(area.right() + 4, at - lineHeight / 2, right + 4, lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, lineText(mark));
    }

    QPainterPath path;
    for (const TPoint& point : FData.Points) {
        const QPointF at(x(point.Number), y(point.Value));
        if (path.elementCount() == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    painter.setPen(QPen(PointColour, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    for (const TPoint& point : FData.Points) {
        const QPointF at(x(point.Number), y(point.Value));
        const QColor colour = point.Outside ? OutsideColour : PointColour;
        painter.setPen(QPen(colour, 1));
        painter.setBrush(colour);
        const double r = point.Outside ? 4 : 2.5;
        painter.drawEllipse(at, r, r);
        if (point.OutsideControl) {
            painter.setPen(QPen(ControlColour, 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(at, r + 3, r + 3);
        }
    }
}
