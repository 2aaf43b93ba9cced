#pragma once

#include <QDialog>

// Shows a dialog of this module modally. The program shows it with Qt; tests
// put a scripted stand-in here, so no test ever blocks on a modal dialog.
class TSerialDialogSeam {
public:
    virtual ~TSerialDialogSeam() = default;
    // Returns when the dialog is closed again.
    virtual void ShowModal(QDialog& Dialog) = 0;
};

class TQtSerialDialogSeam : public TSerialDialogSeam {
public:
    void ShowModal(QDialog& Dialog) override { Dialog.exec(); }
};
