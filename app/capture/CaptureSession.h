#pragma once

#include "app/capture/LineAssembler.h"
#include "app/capture/LineReception.h"
#include "app/capture/Profiles.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class TByteSource;

// The path of a reading, from whichever link it comes:
//
// 1. The window hands the session what a link delivered: the serial port's
//    receive event (SerialReceived), a chunk of the USB converter or of the
//    infrared peer (ChunkReceived).
// 2. The session turns the bytes into text as the document shows it: serial
//    bytes are assembled into lines with the prompt answer filtered out,
//    debug codes, echo, the micro sign and the user's decimal separator;
//    the chunks of the other two links are taken as they come.
// 3. It cuts that text into lines, once, and stamps each line with the time
//    its line feed arrived and its link.
// 4. While a command holds the session (its question is up) text and lines
//    wait in the session, in order; the release hands them on.
// 5. Subscribers get both, in arrival order across the links: the text as
//    it goes into the document (the editor inserter; the journal keeps what
//    waits in a hold) and the finished lines (the series, and whatever else
//    works on readings).
//
// No widgets: tests drive it with fake byte sources and chunks.

// Text for the document, as it arrived: the lines of one serial receive
// event, or one chunk of the USB converter or the infrared peer.
struct TCaptureText {
    TLinkKind Link = TLinkKind::Serial;
    QStringView Text;
    // The newest line this text completes (its TCaptureLine::Id), 0 when it
    // completes none: the document can note where that line ended.
    uint64_t LastLine = 0;
};

// A finished line: told right after the text that completed it.
struct TCaptureLine {
    // Counts from 1 in arrival order, across links, for the whole session.
    uint64_t Id = 0;
    TLinkKind Link = TLinkKind::Serial;
    qint64 ArrivalMs = 0; // when its line feed arrived, ms since the epoch
    // As the document shows it (the user's separator, µ), without the line
    // end; valid during the call.
    QStringView Text;
};

class TCaptureSubscriber {
public:
    virtual ~TCaptureSubscriber() = default;
    virtual void TextArrived(const TCaptureText&) {}
    virtual void LineFinished(const TCaptureLine&) {}
    // Text that waits while the session is held, told as it arrives; it
    // comes again through TextArrived when the hold ends.
    virtual void TextHeld(const TCaptureText&) {}
    // A hold began (what came before belongs to the document as it is now)
    // or ended (what it kept was handed on).
    virtual void HoldChanged(bool /*held*/) {}
};

// What the session needs from its surroundings; every one may be left empty.
struct TCaptureHooks {
    // Serial bytes arrived (the prompt cycle restarts on them).
    std::function<void()> SerialActivity = {};
    // The user's decimal separator; empty: the system's.
    std::function<QString()> DecimalSeparator = {};
    // The clock lines are stamped with; empty: the system's.
    std::function<qint64()> Clock = {};
};

// The user's decimal separator from a source (the system's without one):
// one character, the point when the source gives none or more than one.
QChar UserDecimalSeparator(const std::function<QString()>& source);

// The text the document shows for received ANSI bytes: NUL bytes dropped.
QString ReceivedText(QByteArrayView bytes);

class TCaptureSession : private TReceptionSink {
public:
    explicit TCaptureSession(TCaptureHooks hooks = {});
    ~TCaptureSession() override;
    TCaptureSession(const TCaptureSession&) = delete;
    TCaptureSession& operator=(const TCaptureSession&) = delete;

    // Subscribers are told in the order they subscribed; a subscriber must
    // unsubscribe before it goes.
    void Subscribe(TCaptureSubscriber& subscriber);
    void Unsubscribe(TCaptureSubscriber& subscriber);

    // The serial port's receive event: everything it has waiting.
    void SerialReceived(TByteSource& port, const TLineReception::TOptions& options);
    // A chunk of the USB converter or the infrared peer.
    void ChunkReceived(TLinkKind link, QByteArrayView bytes);

    // The prompt cycle's part in the serial reception.
    void PromptRequested() { FReception.PromptRequested(); }
    void PromptCancelled() { FReception.PromptCancelled(); }

    // The link's port or converter vanished: the line it was sending ends
    // in the document with a line end of its own. It is no finished line:
    // a value cut short would bend the figures of whatever counts readings.
    void EndLine(TLinkKind link);
    // The document was begun anew: a line the links began in the old one is
    // no line of the new one; its rest comes as a line of its own.
    void ForgetPartialLines();

    // While held (holds nest), text and lines wait; they are handed on in
    // their order when the last hold ends.
    void Hold();
    void Release();
    bool Held() const { return FHolds > 0; }
    // The text waiting in the hold.
    QString HeldText() const;

    const TLineReception& Reception() const { return FReception; }
    // Where the user's decimal separator comes from; none: the system.
    void SetDecimalSeparatorSource(std::function<QString()> source) {
        FHooks.DecimalSeparator = std::move(source);
    }
    QChar UserSeparator() const { return UserDecimalSeparator(FHooks.DecimalSeparator); }
    // The clock lines are stamped with, ms since the epoch; whatever else
    // records arrivals reads the same one.
    qint64 Now() const;

    // Holds the session while it lives.
    class THold {
    public:
        explicit THold(TCaptureSession& session) : FSession(session) { FSession.Hold(); }
        ~THold() { FSession.Release(); }
        THold(const THold&) = delete;
        THold& operator=(const THold&) = delete;

    private:
        TCaptureSession& FSession;
    };

private:
    // What waits in a hold: a text, or a line (LineId above 0).
    struct THeldItem {
        TLinkKind Link;
        QString Text;
        uint64_t LastLine = 0;
        uint64_t LineId = 0;
        qint64 ArrivalMs = 0;
    };

    // TReceptionSink
    void InsertLines(QByteArrayView text, std::span<const qsizetype> lineEnds) override;
    void SerialByteReceived() override;
    char DecimalSeparator() override;

    void HandText(const TCaptureText& text);
    void HandLine(const TCaptureLine& line);
    TLineAssembler& Assembler(TLinkKind link);

    TCaptureHooks FHooks;
    TLineReception FReception;
    std::array<TLineAssembler, 3> FAssemblers; // by link; the serial one unused
    std::vector<TCaptureSubscriber*> FSubscribers;
    uint64_t FLastId = 0;
    int FHolds = 0;
    std::vector<THeldItem> FHeld;
};
