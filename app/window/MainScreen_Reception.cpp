// Readings arriving on the three links: the handlers hand them to the
// capture session, whose subscribers show them; the USB converter's link.
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"
#include "app/capture/UsbLink.h"
#include "app/document/LineMarks.h"
#include "app/journal/DocumentJournal.h"
#include "usb/D2XXUnit.h"

#include <QMetaObject>
#include <QPlainTextEdit>
#include <QTimer>

void TMainScreen::BuildCapture() {
    FSession.Subscribe(*FInserter);
    // Where each reading's line went in, for the series to take it out again.
    auto* lineMarks = new TLineMarks(*Editor->document());
    FInserter->SetLineMarks(lineMarks);
    FSeriesView = std::make_unique<TSeriesView>(
        *this, *Device1,
        TSeriesView::TSeams{
            .Session = FSession,
            .Dialogs = FDialogs,
            .FileDialogs = [this]() -> TFileDialogs& { return *FFileDialogs; },
            .Guarded = [this](const std::function<void()>& command) { RunGuarded(command); },
            .Paused =
                [this](const std::function<void()>& work) {
                    const TLinkPause paused(*this);
                    work();
                },
            .DecimalSeparator = [this] { return FSession.UserSeparator(); },
            .LendWidth = [this](int width) { return FGeometry.Lend(width); },
            .LineMarks = lineMarks});
    FSession.Subscribe(*FSeriesView);
    FWedgeView = std::make_unique<TWedgeView>(
        *this, *Hilfe1,
        TWedgeView::TSeams{.DecimalSeparator = [this] { return FSession.UserSeparator(); }});
    FSession.Subscribe(*FWedgeView);
}

void TMainScreen::Serial1RxChar(QObject*) {
    if (FReceptionSource != nullptr)
        FSession.SerialReceived(*FReceptionSource, {Settings.Debug, State.EchoBack});
}

void TMainScreen::AddReceivedText(const QByteArray& text) {
    FReconnector->Proved(); // the converter is no loose connector
    FSession.ChunkReceived(TLinkKind::Usb, text);
}

void TMainScreen::InsertInfraredChunk(QByteArrayView chunk) {
    // The listener runs whatever the profile; its data shows only while connected.
    if (FConnection->Connected())
        FSession.ChunkReceived(TLinkKind::Infrared, chunk);
}

void TMainScreen::SerialByteReceived() {
    FReconnector->Proved(); // a link that carries data is no loose connector
    // The next prompt request goes out one second after the last byte; a
    // profile without a cycle keeps the timer off.
    if (ChosenProfile().PromptCycle)
        FPromptCycle->Restart();
    else
        PromptTime->stop();
}

void TMainScreen::BuildUsb() {
    // Runs on the main thread, while the receive thread waits for it.
    FUsbLink = std::make_unique<TUsbLink>(
        *FD2xx, [this](const QByteArray& text) { RunGuarded([&] { AddReceivedText(text); }); },
        [this](uint64_t connection) {
            // Not while the thread waits for this call: the disconnect waits
            // for the thread.
            QMetaObject::invokeMethod(
                this, [this, connection] { RunGuarded([&] { UsbConverterLost(connection); }); },
                Qt::QueuedConnection);
        });
    FConnection->SetLink(TLinkKind::Usb, FUsbLink.get());
}
