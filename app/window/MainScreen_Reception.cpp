// Readings arriving on the three links become editor text.
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"
#include "app/capture/Profiles.h"
#include "platform/CodePage.h"

#include <QLocale>
#include <QTimer>

void TMainScreen::Serial1RxChar(QObject*) {
    if (FReceptionSource == nullptr)
        return;
    FReception.Receive(*FReceptionSource, {Settings.Debug, State.EchoBack});
}

void TMainScreen::AddReceivedText(const QByteArray& text) {
    FReconnect.Proved(); // the converter is no loose connector
    TakeReceived(TLinkKind::Usb, text);
}

void TMainScreen::InsertInfraredChunk(QByteArrayView chunk) {
    // The listener runs whatever the profile; its data shows only while connected.
    if (FConnection->Connected()) {
        TakeReceived(TLinkKind::Infrared, chunk);
    }
}

void TMainScreen::InsertReading(QByteArrayView text) {
    TakeReceived(TLinkKind::Serial, text);
}

// The series sees each line as it goes into the document; one conversion
// serves both.
void TMainScreen::TakeReceived(TLinkKind link, QByteArrayView ansi) {
    const QString text = TEditorInserter::ReceivedText(ansi);
    SeriesReceived(link, text);
    FInserter->Insert(text);
}

void TMainScreen::SerialByteReceived() {
    FReconnect.Proved(); // a link that carries data is no loose connector
    // The next prompt request goes out one second after the last byte; a
    // profile without a cycle keeps the timer off.
    if (ChosenProfile().PromptCycle)
        FPromptCycle->Restart();
    else
        PromptTime->stop();
}

void TMainScreen::SetDecimalSeparatorSource(std::function<QString()> source) {
    FDecimalSeparator = std::move(source);
}

char TMainScreen::DecimalSeparator() {
    const QString separator =
        FDecimalSeparator ? FDecimalSeparator() : QLocale::system().decimalPoint();
    // A separator the code page cannot hold in one byte falls back to the point.
    const int byte = separator.size() == 1 ? platform::CharToAnsi(separator[0]) : -1;
    return byte > 0 ? static_cast<char>(byte) : '.';
}
