// The port settings dialog of the manual profile.
#include "app/window/TMainScreen.h"

#include "serial/TSerial.h"
#include "serial_dialog/SerialDialogSeam.h"
#include "serial_dialog/TSerialDialog.h"

void TMainScreen::SetSerialDialog(TSerialDialog* dialog, TSerialDialogSeam* seam) {
    SerialDialog = dialog;
    FSerialDialogSeam = seam;
}

void TMainScreen::ShowSerialDialog() {
    if (SerialDialog == nullptr || FSerialDialogSeam == nullptr)
        return;
    SerialDialog->move(FGeometry.Outer().topLeft() + QPoint(40, 40));
    // The dialog edits Serial1 in place, choice by choice.
    FSerialDialogSeam->ShowModal(*SerialDialog);
    Settings.Baud = Serial1->Baudrate();
    Settings.Port = Serial1->COMPort();
    EnableComMenu(TLinkKind::Serial);
    FollowComPorts(); // the port chosen there may have no item yet
}
