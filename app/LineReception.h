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
    void ProcessByte(unsigned char c, const TOptions& options, QByteArray& echo);
    bool PromptAnswerReceived();
    void FinishLine(bool forced);

    TLineState FState;
    TReceptionSink& FSink;
    QByteArray FChunk;
    // How much of LineBuffer has been searched for the prompt answer while a
    // prompt was pending, so a long held line is not searched again per byte.
    qsizetype FSearched = 0;
    bool FSearchValid = false;
};
