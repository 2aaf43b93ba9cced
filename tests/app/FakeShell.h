#pragma once

#include "app/dialogs/Shell.h"

#include <QDialog>
#include <QStringList>

#include <functional>

// Records what would have been opened; a modal box is handed to OnShow and
// then closed as its OK button would.
class TFakeShell : public TShell {
public:
    void Open(const QString& target) override { Opened.append(target); }
    void ShowModal(QDialog& dialog) override {
        if (OnShow)
            OnShow(dialog);
        dialog.accept();
    }

    QStringList Opened;
    std::function<void(QDialog&)> OnShow;
};
