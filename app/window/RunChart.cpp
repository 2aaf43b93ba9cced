#include "app/window/RunChart.h"

#include "series/FigureText.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

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

void TRunChart::changeEvent(QEvent* event) {
    // Another palette or font: the frame is drawn anew.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        FFrame = QPixmap();
    QWidget::changeEvent(event);
}

void TRunChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (FData.Points.empty()) {
        painter.fillRect(rect(), palette().base());
        painter.setPen(palette().mid().color());
        painter.drawRect(QRectF(rect()).adjusted(6, 6, -6, -6));
        return;
    }
    // The frame, the scale and the lines change far more rarely than the
    // points: drawn once into a picture, their texts cost nothing per frame.
    const series::TScale scale = Scale(FData);
    TFrameKey key{size(),
                  devicePixelRatioF(),
                  scale.Low,
                  scale.High,
                  scale.Step,
                  scale.Decimals,
                  {FData.LowerControl, FData.UpperControl, FData.Lower, FData.Upper, FData.Mean},
                  FData.Unit,
                  FData.Separator};
    if (!(key == FFrameKey) || FFrame.isNull())
        DrawFrame(key, scale);
    painter.drawPixmap(0, 0, FFrame);
    if (FArea.width() < 20 || FArea.height() < 20)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = FArea;
    const auto y = [&](double v) {
        return area.bottom() - (v - scale.Low) / (scale.High - scale.Low) * area.height();
    };
    const qsizetype first = FData.Points.front().Number;
    const qsizetype last = std::max(FData.Points.back().Number, first + 1);
    const auto x = [&](qsizetype n) {
        return area.left() +
               area.width() * static_cast<double>(n - first) / static_cast<double>(last - first);
    };

    // The reading numbers along the bottom.
    const QFontMetricsF metrics(font());
    const qsizetype step =
        NumberStep(last - first, area.width(), metrics.horizontalAdvance(QString::number(last)));
    const double baseline = area.bottom() + 3 + metrics.ascent();
    for (qsizetype n = (first + step - 1) / step * step; n <= last; n += step) {
        const double at = x(n);
        const QString label = QString::number(n);
        painter.setPen(palette().mid().color());
        painter.drawLine(QPointF(at, area.bottom()), QPointF(at, area.bottom() + 3));
        painter.setPen(palette().text().color());
        painter.drawText(QPointF(at - metrics.horizontalAdvance(label) / 2, baseline), label);
    }

    std::vector<QPointF> at;
    at.reserve(FData.Points.size());
    for (const TPoint& point : FData.Points)
        at.emplace_back(x(point.Number), y(point.Value));
    painter.setPen(QPen(PointColour, 1.5));
    painter.drawPolyline(at.data(), static_cast<int>(at.size()));
    // Each mark a small picture drawn once: a hundred of them stay cheap.
    for (size_t i = 0; i < at.size(); ++i) {
        const TPoint& point = FData.Points[i];
        const QPixmap& mark = Mark(point.Outside, point.OutsideControl);
        const QSizeF half = QSizeF(mark.size()) / mark.devicePixelRatio() / 2;
        painter.drawPixmap(at[i] - QPointF(half.width(), half.height()), mark);
    }
}

const QPixmap& TRunChart::Mark(bool outside, bool outsideControl) {
    QPixmap& mark = FMarks[(outside ? 1 : 0) + (outsideControl ? 2 : 0)];
    const qreal ratio = devicePixelRatioF();
    if (!mark.isNull() && mark.devicePixelRatio() == ratio)
        return mark;
    const double r = outside ? 4 : 2.5;
    const double extent = std::ceil(r + 4) * 2;
    mark = QPixmap(QSize(static_cast<int>(extent), static_cast<int>(extent)) * ratio);
    mark.setDevicePixelRatio(ratio);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(extent / 2, extent / 2);
    const QColor colour = outside ? OutsideColour : PointColour;
    painter.setPen(QPen(colour, 1));
    painter.setBrush(colour);
    painter.drawEllipse(centre, r, r);
    if (outsideControl) {
        painter.setPen(QPen(ControlColour, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre, r + 3, r + 3);
    }
    return mark;
}

void TRunChart::DrawFrame(const TFrameKey& key, const series::TScale& scale) {
    FFrameKey = key;
    FFrame = QPixmap(size() * devicePixelRatioF());
    FFrame.setDevicePixelRatio(devicePixelRatioF());
    FFrame.fill(palette().base().color());
    QPainter painter(&FFrame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font());
    const QFontMetricsF metrics(font());
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
    FArea = QRectF(rect()).adjusted(left + 8, lineHeight * 1.7, -(right + 8), -(lineHeight + 6));
    if (FArea.width() < 20 || FArea.height() < 20)
        return;
    const QRectF area = FArea;
    painter.setPen(palette().mid().color());
    painter.drawRect(area);
    const auto y = [&](double v) {
        return area.bottom() - (v - scale.Low) / (scale.High - scale.Low) * area.height();
    };
    // Texts placed on their baselines: aligned in a rectangle they would be
    // laid out each time.
    const QColor textColour = palette().text().color();
    const double centre = (metrics.ascent() - metrics.descent()) / 2;
    const auto rightAligned = [&](double x, double middle, const QString& text) {
        painter.drawText(QPointF(x - metrics.horizontalAdvance(text), middle + centre), text);
    };
    // The scale: its values on the left, the unit above them.
    painter.setPen(textColour);
    rightAligned(left + 4, lineHeight / 2, FData.Unit);
    for (int i = 0; i < scale.Count(); ++i) {
        const double at = y(scale.At(i));
        painter.setPen(palette().mid().color());
        painter.drawLine(QPointF(area.left() - 3, at), QPointF(area.left(), at));
        painter.setPen(textColour);
        rightAligned(left + 4, at, number(scale.At(i), scale.Decimals));
    }
    // The lines, and their values at their ends, moved apart where lines
    // lie closer than a text's height.
    std::vector<std::pair<double, const TLineMark*>> ends;
    for (const TLineMark& mark : lines) {
        if (!mark.At)
            continue;
        const double at = y(*mark.At);
        painter.setPen(QPen(mark.Colour, 1.5, mark.Style));
        painter.drawLine(QPointF(area.left(), at), QPointF(area.right(), at));
        ends.emplace_back(at, &mark);
    }
    std::sort(ends.begin(), ends.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < ends.size(); ++i)
        ends[i].first = std::max(ends[i].first, ends[i - 1].first + lineHeight);
    for (const auto& [at, mark] : ends) {
        painter.setPen(mark->Colour);
        painter.drawText(QPointF(area.right() + 4, at + centre), lineText(*mark));
    }
}
