#include "app/window/ImageList.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

TImageList::TImageList(const QString& name, QList<QIcon> images, QObject* owner)
    : QObject(owner), FImages(std::move(images)) {
    setObjectName(name);
}

QIcon TImageList::Image(int index) const {
    return index >= 0 && index < FImages.size() ? FImages[index] : QIcon();
}

namespace {

using TPainting = std::function<void(QPainter&)>;

QIcon Drawn(const TPainting& paint) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    paint(p);
    return QIcon(pixmap);
}

QIcon Themed(const char* name, const TPainting& fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name), Drawn(fallback));
}

void Sheet(QPainter& p) {
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{3.5, 1.5}, {10.5, 1.5}, {13.5, 4.5}, {13.5, 14.5}, {3.5, 14.5}}));
}

void Disk(QPainter& p) {
    p.setBrush(QColor(60, 90, 170));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
}

void Plug(QPainter& p, bool joined) {
    p.setBrush(QColor(90, 90, 90));
    const double gap = joined ? 0 : 2;
    p.drawRect(QRectF(1.5, 5.5, 5 - gap, 5));
    p.drawRect(QRectF(9.5 + gap, 5.5, 5 - gap, 5));
    p.setPen(QPen(joined ? QColor(0, 140, 0) : QColor(190, 0, 0), 2));
    p.drawLine(QPointF(6.5 - gap, 8), QPointF(9.5 + gap, 8));
}

void Folder(QPainter& p) {
    p.setBrush(QColor(230, 190, 80));
    p.drawRect(QRectF(1.5, 4.5, 13, 9));
    p.drawRect(QRectF(1.5, 2.5, 5, 2));
}

void Printer(QPainter& p) {
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(150, 150, 150));
    p.drawRect(QRectF(1.5, 6.5, 13, 6));
}

void Scissors(QPainter& p) {
    p.drawLine(QPointF(4, 2), QPointF(11, 11));
    p.drawLine(QPointF(12, 2), QPointF(5, 11));
    p.drawEllipse(QRectF(2.5, 10.5, 4, 4));
    p.drawEllipse(QRectF(9.5, 10.5, 4, 4));
}

void Sheets(QPainter& p) {
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 8, 10));
    p.drawRect(QRectF(6.5, 4.5, 8, 10));
}

void Clipboard(QPainter& p) {
    p.setBrush(QColor(200, 160, 100));
    p.drawRect(QRectF(2.5, 2.5, 11, 12));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 5.5, 8, 9));
}

void TurnBack(QPainter& p) {
    QPainterPath arrow;
    arrow.moveTo(4, 6);
    arrow.cubicTo(8, 2, 14, 4, 13, 11);
    p.setPen(QPen(QColor(40, 80, 160), 2));
    p.drawPath(arrow);
    p.drawLine(QPointF(4, 6), QPointF(4, 2));
    p.drawLine(QPointF(4, 6), QPointF(8, 6));
}

QIcon Dot(const QColor& colour) {
    return Drawn([colour](QPainter& p) {
        p.setBrush(colour);
        p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    });
}

} // namespace

QList<QIcon> MakeActionImages() {
    return {
        Themed("document-new", [](QPainter& p) { Sheet(p); }),
        Themed("document-open", [](QPainter& p) { Folder(p); }),
        Themed("document-save", [](QPainter& p) { Disk(p); }),
        Themed("document-save-as",
               [](QPainter& p) {
                   Disk(p);
                   p.setPen(QPen(QColor(200, 60, 0), 2));
                   p.drawLine(QPointF(8, 14), QPointF(14, 8));
               }),
        Themed("document-print", [](QPainter& p) { Printer(p); }),
        Themed("edit-cut", [](QPainter& p) { Scissors(p); }),
        Themed("edit-copy", [](QPainter& p) { Sheets(p); }),
        Themed("edit-paste", [](QPainter& p) { Clipboard(p); }),
        Themed("edit-undo", [](QPainter& p) { TurnBack(p); }),
        Themed("edit-clear",
               [](QPainter& p) {
                   p.setBrush(QColor(230, 120, 150));
                   p.drawPolygon(QPolygonF({{2, 10}, {9, 3}, {14, 8}, {8, 14}, {5, 14}}));
               }),
        Themed("network-connect", [](QPainter& p) { Plug(p, true); }),
        Themed("network-disconnect", [](QPainter& p) { Plug(p, false); }),
    };
}

QList<QIcon> MakeStatusImages() {
    return {Dot(QColor(200, 40, 40)), Dot(QColor(40, 170, 40)), Dot(QColor(230, 180, 0))};
}
