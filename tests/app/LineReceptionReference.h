#pragma once

#include "app/capture/LineReception.h"

#include <QByteArray>

#include <cctype>

// The reading algorithm as it reads with one byte per receive event: each
// byte is handled on its own and a line is finished as soon as its line
// feed has made it complete. The prompt answer is looked for in the received
// bytes, not in the text with its debug codes. The bulk reception must give
// the same text byte for byte, however the bytes are split into events.
struct TReference {
    explicit TReference(qsizetype maxLineLength = TLineReception::MaxLineLength)
        : MaxLineLength(maxLineLength) {}

    qsizetype MaxLineLength;
    TLineReception::TLineState State;
    QByteArray Received; // the bytes behind LineBuffer, without debug codes
    QByteArray Shown;
    QByteArray Echo;
    char Separator = ',';
    bool AnswerSeen = false; // Received holds the prompt answer

    void Empty() {
        State.LineBuffer.clear();
        Received.clear();
        AnswerSeen = false;
    }

    void Finish(bool forced) {
        QByteArray& line = State.LineBuffer;
        const qsizetype micro = line.indexOf("um");
        if (micro >= 0)
            line[micro] = '\xB5';
        const qsizetype point = line.lastIndexOf('.');
        if (point >= 0 && point + 1 < line.size() &&
            std::isdigit(static_cast<unsigned char>(line[point + 1])) && !line.contains(':'))
            line[point] = Separator;
        if (!State.SuppressLine || forced)
            Shown.append(line);
        State.SuppressLine = State.PromptPending;
        Empty();
        State.LineComplete = false;
    }

    // One receive event that finds one byte waiting.
    void ReceiveByte(unsigned char c, TLineReception::TOptions options) {
        if (c == 0)
            return;
        QByteArray& line = State.LineBuffer;
        Received.append(static_cast<char>(c));
        line.append(static_cast<char>(c));
        if (options.Debug) {
            const char code[] = {
                '(', '0', 'x', "0123456789ABCDEF"[c / 16], "0123456789ABCDEF"[c % 16], ')'};
            line.append(code, sizeof code);
        }
        if (!State.PromptPending && State.SuppressLine)
            State.PromptPending = true;
        if (State.SuppressLine && line[0] != '\r')
            State.SuppressLine = false;
        // Received only grows until emptied: an answer can only end at the
        // byte just received.
        AnswerSeen = AnswerSeen || Received.endsWith(TLineReception::PromptAnswer);
        if (State.PromptPending && AnswerSeen) {
            Empty();
            State.SuppressLine = false;
            State.PromptPending = false;
            c = 0;
        }
        if (!State.SuppressLine && c == '\n')
            State.LineComplete = true;
        if (c != 0 && options.EchoBack && !State.SuppressLine)
            Echo.append(static_cast<char>(c));
        if (line.size() > MaxLineLength)
            Finish(true);
        if (State.LineComplete) // the queue is empty after every byte
            Finish(false);
    }

    void Receive(const QByteArray& bytes, TLineReception::TOptions options) {
        for (const char byte : bytes)
            ReceiveByte(static_cast<unsigned char>(byte), options);
    }
};
