// Instrument profiles, the port menu and the manual profile's port settings
// dialog; connect, disconnect, pause and resume.
#include "app/window/TMainScreen.h"

#include "app/texts/Texts.h"
#include "platform/Dialogs.h"
#include "serial/TCOMManager.h"
#include "serial/TSerial.h"
#include "serial_dialog/SerialDialogSeam.h"
#include "serial_dialog/TSerialDialog.h"

#include <QAction>
#include <QMenu>

void TMainScreen::CheckComPort() {
    State.PortAvailable = false;
    QAction* first = nullptr;
    bool savedFound = false;
    // Only the low byte of MaxPort counts here; the manager lists up to 99.
    const int highest = COMManager != nullptr ? Settings.MaxPort & 0xFF : 0;
    if (COMManager != nullptr)
        COMManager->Scan(Settings.MaxPort);
    for (int port = 1; port <= highest; ++port) {
        if (!COMManager->HasPort(port))
            continue;
        Serial1->SetCOMPort(port);
        if (!Serial1->Open())
            continue; // another program holds it
        State.PortAvailable = true;
        QAction* item = FPortMenu->Append(port);
        if (port == Settings.Port) {
            item->setChecked(true);
            savedFound = true;
        }
        if (first == nullptr)
            first = item;
        Serial1->Close();
    }
    if (first == nullptr) {
        FDialogs.MessageBox(Translated("Keine Schnittstelle frei / vorhanden !!!"), QString(),
                            platform::MB_OK);
        Settings.Port = 0;
    } else if (savedFound) {
        Serial1->SetCOMPort(Settings.Port);
    } else {
        first->trigger(); // chooses that port and connects it
    }
}

void TMainScreen::FollowComPorts() {
    FComItemsDue = false;
    if (COMManager == nullptr)
        return;
    const auto opens = [this](int port) {
        return (Serial1->Active() && Serial1->COMPort() == port) || PortOpens(port);
    };
    // Only the low byte of MaxPort counts, as for the start-up scan.
    if (FPortMenu->Follow(*COMManager, Settings.MaxPort & 0xFF, Settings.Port,
                          ChosenProfile().Link == TLinkKind::Serial, opens))
        State.PortAvailable = true;
}

void TMainScreen::ChangeComPort(QObject* Sender) {
    auto* item = qobject_cast<QAction*>(Sender);
    if (item == nullptr)
        return;
    act_interface_disconneced->trigger();
    Settings.Port = item->property("Tag").toInt();
    Serial1->SetCOMPort(Settings.Port);
    act_interface_conneced->trigger();
    FollowComPorts(); // the item of a port chosen before, now gone, goes
}

void TMainScreen::SetupDevice(QObject* Sender) {
    auto* item = qobject_cast<QAction*>(Sender);
    if (item == nullptr)
        return;
    const int tag = item->property("Tag").toInt();
    // At start the saved profile is applied quietly and always.
    bool changed = State.Starting;
    if (!State.Starting)
        act_interface_disconneced->trigger();
    if (tag != Settings.Device) {
        State.DeviceMenuIndex = static_cast<int>(Device1->actions().indexOf(item));
        Settings.Device = tag;
        changed = true;
    }
    // Also when "Manuell" was already chosen: it reconnects with new settings.
    if (!State.Starting && tag == 0)
        ShowSerialDialog();
    State.EchoBack = ChosenProfile().Echo;
    if (changed)
        ApplyProfile(ChosenProfile());
    RefreshStatusBar();
    if (!State.Starting)
        act_interface_conneced->trigger();
}

void TMainScreen::ApplyProfile(const TProfile& profile) {
    if (profile.Tag < 0)
        return; // a tag without a profile changes nothing
    EnableComMenu(profile.Link);
    if (profile.Baudrate == TProfile::BaudSetting)
        Serial1->SetBaudrate(Settings.Baud);
    else if (profile.Baudrate != TProfile::BaudUnchanged)
        Serial1->SetBaudrate(profile.Baudrate);
    if (profile.Link == TLinkKind::Usb && !State.USBReady) {
        FDialogs.MessageBox(QStringLiteral("USB Error"), QString(), platform::MB_OK);
        USB1->setChecked(false);
    } else if (profile.Link == TLinkKind::Infrared && !State.IrDAReady) {
        FDialogs.MessageBox(QStringLiteral("IrDA Error"), QString(), platform::MB_OK);
        Infrarot1->setChecked(false);
    }
}

void TMainScreen::EnableComMenu(TLinkKind kind) {
    const bool serial = kind == TLinkKind::Serial;
    Infrarot1->setEnabled(kind == TLinkKind::Infrared);
    Infrarot1->setChecked(kind == TLinkKind::Infrared);
    USB1->setEnabled(kind == TLinkKind::Usb);
    USB1->setChecked(kind == TLinkKind::Usb);
    FPortMenu->Show(serial, Settings.Port);
}

void TMainScreen::act_interface_connecedExecute(QObject*) {
    // Choosing a profile or a port, or connecting by hand, ends the wait
    // for a vanished port.
    FReconnector->UserConnects();
    // The link stays silent about a failure; the tooltip says why.
    if (FConnection->Connect(ChosenProfile()))
        FStatusBar->ClearNote(TStatusNote::ConnectFailure);
    else
        FStatusBar->ShowNote(TStatusNote::ConnectFailure,
                             FConnection->FailureNote(ChosenProfile()));
    RefreshStatusBar();
}

void TMainScreen::act_interface_disconnecedExecute(QObject*) {
    FConnection->Disconnect(ChosenProfile());
    FSession.PromptCancelled();
    RefreshStatusBar();
}

TMainScreen::TLinkPause::TLinkPause(TMainScreen& window) : FWindow(window) {
    if (FWindow.FLinkPauses == 0)
        FWindow.ConnectHalt(true);
    ++FWindow.FLinkPauses;
}

TMainScreen::TLinkPause::~TLinkPause() {
    if (--FWindow.FLinkPauses == 0)
        FWindow.RunGuarded([this] { FWindow.ConnectHalt(false); });
}

void TMainScreen::ConnectHalt(bool halt) {
    // A resume while a pause is held would let readings in under its dialog.
    if (!halt && FLinkPauses > 0)
        return;
    // A port that vanished while paused cannot be taken up again: say so,
    // and wait for it to return.
    if (FConnection->Halt(halt, ChosenProfile(), State.PortAvailable))
        return;
    FSession.EndLine(ChosenProfile().Link); // the next bytes are another reading
    act_interface_disconneced->trigger();
    if (ChosenProfile().Link == TLinkKind::Serial)
        ReconnectWhenBack();
}

void TMainScreen::RestartLinks(bool connect, bool listen) {
    FLinksStopped = false;
    if (listen)
        OpenIrDAListener();
    if (connect)
        act_interface_conneced->trigger();
    else
        FReconnector->GoOn(); // the wait for a vanished port goes on
    RefreshStatusBar();
}

void TMainScreen::Serial1COMRemoved(QObject*) {
    // A dead link must not go on showing "Verbunden...".
    if (ChosenProfile().Link != TLinkKind::Serial)
        return;
    FSession.EndLine(TLinkKind::Serial);
    act_interface_disconneced->trigger();
    ReconnectWhenBack();
}

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
