#pragma once

#include <QByteArray>
#include <QByteArrayView>

class TByteSource;

// What the serial reception needs from its surroundings.
class TReceptionSink {
public:
    virtual ~TReceptionSink() = default;
    // Show finished text (ANSI bytes, no NUL) at the editor's caret.
    virtual void InsertReading(QByteArrayView text) = 0;
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
// The prompt answer is recognised in the received bytes, whatever debug codes
// stand between them. When it arrives behind a reading that a line feed has
// already completed (one burst), the reading is shown and only the answer is
// dropped; text held back as a possible answer is dropped with it.
//
// It reads in bulk (everything waiting in one call) and then works byte by
// byte in memory; what it shows is byte for byte what reading one byte per
// pass gives. Two deliberate differences from a naive loop: a NUL byte is
// dropped and the bytes behind it are still handled, and a line that grows
// past MaxLineLength without a line feed is shown as if one had come, so a
// device sending garbage can neither hang a reading nor grow memory unbounded.
class TLineReception {
public:
    static constexpr qsizetype MaxLineLength = 64 * 1024;
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
        bool LineComplete = false;  // a line end arrived; the buffer is due to be shown
    };

    explicit TLineReception(TReceptionSink& sink) : FSink(sink) {}

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

    const TLineState& State() const { return FState; }

private:
    // Follows the received bytes of the line being assembled for the prompt
    // answer. It looks at the bytes, not at LineBuffer, so the debug codes
    // between them cannot hide the answer, and costs one comparison per byte.
    struct TAnswerWatch {
        int Matched = 0;             // answer bytes ending the received bytes so far
        bool Found = false;          // the line's received bytes hold the whole answer
        qsizetype Start = 0;         // where the (first) answer begins in LineBuffer
        bool CompleteBefore = false; // a line feed had completed the line before it
    };

    // One receive event: the port it reads and the echo not yet sent.
    struct TPass {
        TByteSource& Port;
        const TOptions& Options;
        QByteArray Echo;
        void FlushEcho();
    };

    void ProcessByte(unsigned char c, TPass& pass);
    void WatchForAnswer(unsigned char c, qsizetype start);
    void DropAnswer(TPass& pass);
    void ShowLine(TPass& pass, bool forced);
    void FinishLine(bool forced);
    void EmptyLine();

    TLineState FState;
    TReceptionSink& FSink;
    QByteArray FChunk;
    TAnswerWatch FAnswer;
};
