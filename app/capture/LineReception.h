#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <span>
#include <vector>

class TByteSource;

// What the serial reception needs from its surroundings.
class TReceptionSink {
public:
    virtual ~TReceptionSink() = default;
    // Finished text (ANSI bytes, no NUL) for the editor's caret.
    virtual void InsertReading(QByteArrayView) {}
    // The same, with where each line in it ends (the offset behind its last
    // byte, line end and debug codes included), in order.
    virtual void InsertLines(QByteArrayView text, std::span<const qsizetype> /*lineEnds*/) {
        InsertReading(text);
    }
    // A byte arrived: restart the prompt cycle (prompt-using profiles) or
    // stop the prompt timer (profiles without a cycle).
    virtual void SerialByteReceived() = 0;
    // The user's decimal separator as one ANSI byte.
    virtual char DecimalSeparator() = 0;
};

// Turns the bytes of the serial link into readings: assembles lines, filters
// the instrument's prompt answer, dumps codes in debug mode, echoes, writes
// the micro sign and the user's decimal separator.
//
// Each line is finished on its own when its line feed arrives, and text after
// the last line feed waits for its own: what is shown, echoed and held never
// depends on how the received bytes were split into receive events; it is
// always what handling them one byte per event gives. The prompt answer is
// recognised in the received bytes, whatever debug codes stand between them.
//
// It reads in bulk (everything waiting in one call), works byte by byte in
// memory and shows the lines of one read in one insertion. Two deliberate
// differences from a naive loop: a NUL byte is dropped and the bytes behind
// it are still handled, and a line that grows past MaxLineLength without a
// line feed is shown as if one had come, so a device sending garbage can
// neither hang a reading nor grow memory unbounded.
class TLineReception {
public:
    static constexpr qsizetype MaxLineLength = 64 * 1024;
    // Bytes taken in one receive event at most.
    static constexpr qsizetype MaxPerEvent = 64 * 1024;
    // The instrument's answer to a prompt request.
    static constexpr char PromptAnswer[] = "\r\n> ";

    struct TOptions {
        bool Debug = false;
        bool EchoBack = false;
    };

    // What the reception holds between two receive events.
    struct TLineState {
        QByteArray LineBuffer;      // received characters not yet shown (ANSI bytes)
        bool SuppressLine = false;  // the line being received may be a prompt answer
        bool PromptPending = false; // a prompt went out, its answer not yet recognised
        bool LineComplete = false;  // a line feed ended the line, which is being finished
    };

    // maxLineLength other than MaxLineLength lets a harness reach the limit
    // with short inputs.
    explicit TLineReception(TReceptionSink& sink, qsizetype maxLineLength = MaxLineLength)
        : FSink(sink), FMaxLineLength(maxLineLength) {}

    // Handles everything the port has waiting (the receive event).
    void Receive(TByteSource& port, const TOptions& options);

    // A prompt request went out: the next line is taken for its answer.
    void PromptRequested() { FState.SuppressLine = true; }
    // Disconnect: no answer is expected any more; a partial line stays and
    // is continued after the next connect.
    void PromptCancelled() {
        FState.SuppressLine = false;
        FState.PromptPending = false;
    }
    // The port vanished: the bytes after it belong to another reading. The
    // line waiting for its line end is finished with one added ("\n" behind
    // a carriage return, CR LF otherwise) and converted as a line; the line
    // is returned (ANSI bytes), empty when none waited or what waited was
    // the start of a prompt answer.
    QByteArray CloseLine();

    const TLineState& State() const { return FState; }

private:
    // Follows the received bytes of the line being assembled for the prompt
    // answer. It looks at the bytes, not at LineBuffer, so the debug codes
    // between them cannot hide the answer, and costs one comparison per byte.
    struct TAnswerWatch {
        int Matched = 0;    // answer bytes ending the received bytes so far
        bool Found = false; // the line's received bytes hold the whole answer
    };

    // One receive event: the port it reads and the separator, asked for once
    // per event when first needed.
    struct TPass {
        TByteSource* Port; // none: nothing is read or echoed
        const TOptions& Options;
        char Separator = 0;
    };

    bool Plain(QByteArrayView chunk, const TOptions& options) const;
    void ReceivePlain(QByteArrayView chunk, TPass& pass);
    void ProcessByte(unsigned char c, TPass& pass);
    void WatchForAnswer(unsigned char c);
    void FinishLine(TPass& pass, bool forced);
    void ConvertLine(char* text, qsizetype size, TPass& pass);
    void EmptyLine();
    void Flush(TPass& pass);
    char Separator(TPass& pass);

    TLineState FState;
    TReceptionSink& FSink;
    qsizetype FMaxLineLength;
    QByteArray FChunk;
    QByteArray FEcho;                 // echo of this event not yet sent
    QByteArray FShown;                // lines of this event finished, not yet shown
    std::vector<qsizetype> FLineEnds; // where each line in FShown ends
    TAnswerWatch FAnswer;
};
