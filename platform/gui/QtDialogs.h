#pragma once

#include "platform/Dialogs.h"

class QWidget;

namespace platform {

// The real dialogs, shown with Qt over the given owner window.
class TQtDialogs : public TDialogs {
public:
    explicit TQtDialogs(QWidget* owner = nullptr) : FOwner(owner) {}
    void SetOwner(QWidget* owner) { FOwner = owner; }

    int MessageBox(const QString& text, const QString& caption, unsigned flags) override;
    void ShowException(const QString& message) override;

private:
    QWidget* FOwner;
};

} // namespace platform
