#pragma once

#include "serial_dialog/SerialDialogSeam.h"

#include <QDialog>
#include <QPoint>

#include <deque>
#include <functional>

// The port settings dialog shown without blocking: shown (which refreshes
// its boxes), the scripted user's choices, closed again.
class TScriptedSerialDialog : public TSerialDialogSeam {
public:
    void ShowModal(QDialog& Dialog) override {
        Dialog.show();
        Positions.push_back(Dialog.pos());
        if (Script)
            Script(Dialog);
        Dialog.close();
    }

    std::function<void(QDialog&)> Script;
    std::deque<QPoint> Positions; // where each showing placed the dialog
};

