#include "app/capture/CaptureSession.h"

#include "platform/CodePage.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <utility>

QChar UserDecimalSeparator(const std::function<QString()>& source) {
    const QString separator = source ? source() : QLocale::system().decimalPoint();
    return separator.size() == 1 ? separator[0] : QChar(u'.');
}

QString ReceivedText(QByteArrayView bytes) {
    if (!bytes.contains('\0'))
        return platform::AnsiToUnicode(bytes);
    QByteArray kept;
    kept.reserve(bytes.size());
    for (char c : bytes)
        if (c != '\0')
            kept.append(c);
    return platform::AnsiToUnicode(kept);
}

namespace {

QStringView WithoutLineEnd(QStringView line) {
    if (line.endsWith(u'\n'))
        line.chop(1);
    if (line.endsWith(u'\r'))
        line.chop(1);
    return line;
}

} // namespace

TCaptureSession::TCaptureSession(TCaptureHooks hooks)
    : FHooks(std::move(hooks)), FReception(*this) {}

TCaptureSession::~TCaptureSession() = default;

void TCaptureSession::Subscribe(TCaptureSubscriber& subscriber) {
    FSubscribers.push_back(&subscriber);
}

void TCaptureSession::Unsubscribe(TCaptureSubscriber& subscriber) {
    std::erase(FSubscribers, &subscriber);
}

qint64 TCaptureSession::Now() const {
    return FHooks.Clock ? FHooks.Clock() : QDateTime::currentMSecsSinceEpoch();
}

void TCaptureSession::SerialReceived(TByteSource& port, const TLineReception::TOptions& options) {
    FReception.Receive(port, options);
}

// The lines of one read: they go into the document together, and each is
// told on its own behind that text. Received text holds no NUL, so each byte
// is one character and the reception's offsets hold for the text.
void TCaptureSession::InsertLines(QByteArrayView ansi, std::span<const qsizetype> lineEnds) {
    const QString text = ReceivedText(ansi);
    const qint64 arrival = lineEnds.empty() ? 0 : Now();
    const uint64_t first = FLastId + 1;
    FLastId += lineEnds.size();
    HandText({.Link = TLinkKind::Serial, .Text = text, .LastLine = lineEnds.empty() ? 0 : FLastId});
    qsizetype start = 0;
    uint64_t id = first;
    for (const qsizetype end : lineEnds) {
        HandLine({.Id = id++,
                  .Link = TLinkKind::Serial,
                  .ArrivalMs = arrival,
                  .Text = WithoutLineEnd(QStringView(text).sliced(start, end - start))});
        start = end;
    }
}

void TCaptureSession::SerialByteReceived() {
    if (FHooks.SerialActivity)
        FHooks.SerialActivity();
}

char TCaptureSession::DecimalSeparator() {
    // A separator the code page cannot hold in one byte falls back to the point.
    const int byte = platform::CharToAnsi(UserSeparator());
    return byte > 0 ? static_cast<char>(byte) : '.';
}

TLineAssembler& TCaptureSession::Assembler(TLinkKind link) {
    return FAssemblers[static_cast<size_t>(link)];
}

// A chunk goes into the document as it came; the lines it completes follow.
void TCaptureSession::ChunkReceived(TLinkKind link, QByteArrayView bytes) {
    const QString text = ReceivedText(bytes);
    if (text.isEmpty())
        return;
    const qint64 arrival = Now();
    std::vector<QString> lines;
    Assembler(link).Feed(text, arrival,
                         [&lines](QStringView line, qint64) { lines.push_back(line.toString()); });
    const uint64_t first = FLastId + 1;
    FLastId += lines.size();
    HandText({.Link = link, .Text = text, .LastLine = lines.empty() ? 0 : FLastId});
    uint64_t id = first;
    for (const QString& line : lines)
        HandLine({.Id = id++, .Link = link, .ArrivalMs = arrival, .Text = line});
}

void TCaptureSession::EndLine(TLinkKind link) {
    TLineAssembler& lines = Assembler(link);
    if (link == TLinkKind::Serial) {
        const QByteArray line = FReception.CloseLine();
        if (!line.isEmpty())
            HandText({.Link = link, .Text = ReceivedText(line)});
    } else if (link == TLinkKind::Usb && lines.HasPartialLine()) {
        // The converter's chunks are in the document as they came; the line
        // gets its end (a line feed completes a carriage return there).
        HandText({.Link = link,
                  .Text = lines.PartialLine().endsWith(u'\r') ? QStringView(u"\n")
                                                              : QStringView(u"\r\n")});
    }
    lines.Reset();
}

void TCaptureSession::ForgetPartialLines() {
    for (TLineAssembler& lines : FAssemblers)
        lines.Reset();
}

void TCaptureSession::HandText(const TCaptureText& text) {
    if (text.Text.isEmpty())
        return;
    if (FHolds > 0) {
        FHeld.push_back(
            {.Link = text.Link, .Text = text.Text.toString(), .LastLine = text.LastLine});
        for (TCaptureSubscriber* subscriber : FSubscribers)
            subscriber->TextHeld(text);
        return;
    }
    for (TCaptureSubscriber* subscriber : FSubscribers)
        subscriber->TextArrived(text);
}

void TCaptureSession::HandLine(const TCaptureLine& line) {
    if (FHolds > 0) {
        FHeld.push_back({.Link = line.Link,
                         .Text = line.Text.toString(),
                         .LineId = line.Id,
                         .ArrivalMs = line.ArrivalMs});
        return;
    }
    for (TCaptureSubscriber* subscriber : FSubscribers)
        subscriber->LineFinished(line);
}

void TCaptureSession::Hold() {
    if (FHolds++ == 0)
        for (TCaptureSubscriber* subscriber : FSubscribers)
            subscriber->HoldChanged(true);
}

void TCaptureSession::Release() {
    if (FHolds == 0 || --FHolds > 0)
        return;
    for (const THeldItem& item : std::exchange(FHeld, {})) {
        if (item.LineId > 0)
            HandLine({.Id = item.LineId,
                      .Link = item.Link,
                      .ArrivalMs = item.ArrivalMs,
                      .Text = item.Text});
        else
            HandText({.Link = item.Link, .Text = item.Text, .LastLine = item.LastLine});
    }
    for (TCaptureSubscriber* subscriber : FSubscribers)
        subscriber->HoldChanged(false);
}

QString TCaptureSession::HeldText() const {
    QString text;
    for (const THeldItem& item : FHeld)
        if (item.LineId == 0)
            text += item.Text;
    return text;
}
