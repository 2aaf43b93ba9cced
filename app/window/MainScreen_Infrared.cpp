// The infrared listener in the window: its set-up, its socket messages and
// its end.
#include "app/window/TMainScreen.h"

#include "app/capture/Links.h"
#include "irda/IrDAListener.h"

void TMainScreen::BuildInfrared() {
    FIrDA = new TIrDAListener({.Received =
                                   [this](QByteArrayView chunk) {
                                       RestartPromptTimer();
                                       InsertInfraredChunk(chunk);
                                   },
                               .PeerChanged = [this] { RefreshStatusBar(); }},
                              this);
    FInfraredLink = std::make_unique<TInfraredLink>(*FIrDA);
    FConnection->SetLink(TLinkKind::Infrared, FInfraredLink.get());
}

void TMainScreen::OpenIrDAListener() {
    State.IrDAReady = FIrDA->Open(this);
}

void TMainScreen::IrDAEvent(uintptr_t, intptr_t lParam) {
    // Reads and closes concern the peer of the moment, whichever socket the
    // message names.
    FIrDA->Event(lParam);
}

void TMainScreen::CloseIrDAListener() {
    FIrDA->Close();
}

void TMainScreen::customEvent(QEvent* event) {
    if (event->type() != wsock::TSocketMessage::EventType()) {
        QMainWindow::customEvent(event);
        return;
    }
    const auto& message = static_cast<const wsock::TSocketMessage&>(*event);
    if (message.Msg == TIrDAListener::Message)
        RunGuarded([&] { IrDAEvent(message.WParam, message.LParam); });
}
