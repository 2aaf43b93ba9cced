#pragma once

#include <QLabel>

// A status-bar panel whose caption may be wider than the panel: the caption
// is drawn cut short with an ellipsis, and then the whole caption is the
// panel's tooltip. The label's text stays the whole caption, so a screen
// reader reads all of it.
class TElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

    // The caption as it fits the panel now.
    QString ShownText() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect TextArea() const;
    void FollowCaption();
};
