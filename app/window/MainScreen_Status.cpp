// The prompt cycle and the status bar.
#include "app/window/TMainScreen.h"

#include "app/window/ConnectionStatus.h"
#include "app/window/ImageList.h"
#include "app/texts/Texts.h"
#include "irda/IrDAListener.h"
#include "serial/TSerial.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTime>
#include <QTimer>

namespace {

// Touch a widget only when its state changes: this runs per received event.
void SetText(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

void SetEnabled(QAction* action, bool enabled) {
    if (action->isEnabled() != enabled)
        action->setEnabled(enabled);
}

QString LinkText(TLinkKind link, int port) {
    switch (link) {
    case TLinkKind::Infrared:
        return QStringLiteral("IrDA");
    case TLinkKind::Usb:
        return QStringLiteral("USB");
    case TLinkKind::Serial:
        break;
    }
    return port == 0 ? QStringLiteral("Com--") : QStringLiteral("Com%1").arg(port);
}

} // namespace

void TMainScreen::RefreshStatusBar() {
    const bool connected = FConnection->Connected();
    // The rest of the program relies on exactly one of the two being enabled.
    SetEnabled(act_interface_disconneced, connected);
    SetEnabled(act_interface_conneced, !connected);

    const TLinkKind link = ChosenProfile().Link;
    const TConnectionStatus status = ConnectionStatus({.Connected = connected,
                                                       .Link = link,
                                                       .PeerConnected = FIrDA->PeerConnected(),
                                                       .PromptCount = FPromptCycle->PromptCount(),
                                                       .Searching = FPromptCycle->Searching()});
    SetText(StatusPanels[0], status.Text.empty() ? QString() : Translated(status.Text.data()));
    if (StatusIcon->property("StateIcon").toInt() != status.Icon || StatusIcon->pixmap().isNull()) {
        StatusIcon->setPixmap(StatusImageList->Image(status.Icon).pixmap(16, 16));
        StatusIcon->setProperty("StateIcon", status.Icon);
    }
    // The icon tells the state also while the text blinks away.
    const QString described =
        Translated(status.Text.empty() ? "Suche Gerät..." : status.Text.data());
    if (StatusIcon->accessibleDescription() != described)
        StatusIcon->setAccessibleDescription(described);

    SetText(StatusPanels[1], LinkText(link, Settings.Port));
    SetText(StatusPanels[2], link == TLinkKind::Serial
                                 ? QStringLiteral("%1 Baud").arg(Serial1->Baudrate())
                                 : QString());
    const QList<QAction*> items = Device1->actions();
    const int index = State.DeviceMenuIndex;
    SetText(StatusPanels[3], index >= 0 && index < items.size() ? items[index]->text() : QString());
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

void TMainScreen::ShowStatusNote(TStatusNote kind, const QString& text) {
    if (text.isEmpty())
        return;
    FStatusNote = kind;
    StatusPanels[0]->setToolTip(QStringLiteral("%1  %2").arg(
        QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text));
}

void TMainScreen::ClearStatusNote(TStatusNote kind) {
    // Only a note that the news has made stale goes.
    if (FStatusNote != kind)
        return;
    FStatusNote = TStatusNote::None;
    StatusPanels[0]->setToolTip(QString());
}
