#include "app/window/ElidedLabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

QRect TElidedLabel::TextArea() const {
    const int inset = margin();
    QRect area = contentsRect().adjusted(inset, inset, -inset, -inset);
    if (indent() > 0)
        area.setLeft(area.left() + indent());
    return area;
}

QString TElidedLabel::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, TextArea().width());
}

bool TElidedLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip)
        FollowCaption();
    return QLabel::event(event);
}

void TElidedLabel::paintEvent(QPaintEvent*) {
    FollowCaption(); // the caption may have changed since the last resize
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, TextArea(),
                          QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), ShownText(), foregroundRole());
}

void TElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    FollowCaption();
}

void TElidedLabel::FollowCaption() {
    const QString wanted = ShownText() != text() ? text() : QString();
    if (toolTip() != wanted)
        setToolTip(wanted);
}
