// The prompt cycle and the status bar.
#include "app/window/TMainScreen.h"

#include "irda/IrDAListener.h"
#include "serial/TSerial.h"

#include <QAction>
#include <QMenu>

void TMainScreen::RefreshStatusBar() {
    const bool connected = FConnection->Connected();
    // The rest of the program relies on exactly one of the two being enabled.
    if (act_interface_disconneced->isEnabled() != connected)
        act_interface_disconneced->setEnabled(connected);
    if (act_interface_conneced->isEnabled() == connected)
        act_interface_conneced->setEnabled(!connected);
    const QList<QAction*> items = Device1->actions();
    const int index = State.DeviceMenuIndex;
    FStatusBar->Show(
        {.Connection = {.Connected = connected,
                        .Link = ChosenProfile().Link,
                        .PeerConnected = FIrDA->PeerConnected(),
                        .PromptCount = FPromptCycle->PromptCount(),
                        .Searching = FPromptCycle->Searching()},
         .Port = Settings.Port,
         .Baudrate = Serial1->Baudrate(),
         .Device = index >= 0 && index < items.size() ? items[index]->text() : QString()});
}

void TMainScreen::PromptTimeTimer(QObject*) {
    FPromptCycle->Tick(FConnection->Connected());
}

void TMainScreen::RestartPromptTimer() {
    if (ChosenProfile().PromptCycle)
        FPromptCycle->Restart();
}

void TMainScreen::SendPromptRequest() {
    const char request = TPromptCycle::PromptRequest;
    Serial1->WriteBuf(&request, 1); // writes nothing while the port is closed
    FSession.PromptRequested();
}

void TMainScreen::PromptStateChanged() {
    RefreshStatusBar();
}
