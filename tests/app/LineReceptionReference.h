#pragma once

#include "app/capture/LineReception.h"

#include <QByteArray>
#include <QList>

#include <cctype>
#include <utility>

// The reading algorithm as it reads: one byte per pass, the prompt restart
// per byte. The prompt answer is looked for in the received bytes, not in the
// text with its debug codes; an answer that arrives after a line feed has
// completed a line first lets that line be shown. The bulk reception must give
// the same text byte for byte.
struct TReference {
    TLineReception::TLineState State;
    QByteArray Received;        // the bytes behind LineBuffer, without debug codes
    QList<qsizetype> Starts;    // where each received byte begins in LineBuffer
    QList<bool> CompleteBefore; // LineComplete as each received byte arrived
    QByteArray Shown;
    QByteArray Echo;
    char Separator = ',';
    qsizetype Answer = -1; // where the first answer begins in Received

    void Empty() {
        State.LineBuffer.clear();
        Answer = -1;
        Received.clear();
        Starts.clear();
        CompleteBefore.clear();
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

    void Receive(QByteArray& queue, TLineReception::TOptions options) {
        for (const char byte : std::as_const(queue)) {
            unsigned char c = static_cast<unsigned char>(byte);
            if (c == 0)
                continue;
            QByteArray& line = State.LineBuffer;
            Received.append(static_cast<char>(c));
            Starts.append(line.size());
            CompleteBefore.append(State.LineComplete);
            line.append(static_cast<char>(c));
            if (options.Debug)
                line.append(QByteArray("(0x") +
                            QByteArray::number(c, 16).toUpper().rightJustified(2, '0') + ")");
            if (!State.PromptPending && State.SuppressLine)
                State.PromptPending = true;
            if (State.SuppressLine && line[0] != '\r')
                State.SuppressLine = false;
            // Received only grows until emptied: a first answer stays first,
            // and a new one can only end at the byte just received.
            if (Answer < 0 && Received.endsWith("\r\n> "))
                Answer = Received.size() - 4;
            const qsizetype answer = Answer;
            if (State.PromptPending && answer >= 0) {
                if (CompleteBefore[answer]) {
                    line.truncate(Starts[answer]);
                    Finish(false);
                }
                Empty();
                State.SuppressLine = false;
                State.PromptPending = false;
                c = 0;
            }
            if (!State.SuppressLine && c == '\n')
                State.LineComplete = true;
            if (c != 0 && options.EchoBack && !State.SuppressLine)
                Echo.append(static_cast<char>(c));
            if (line.size() > TLineReception::MaxLineLength)
                Finish(true);
        }
        queue.clear();
        if (State.LineComplete)
            Finish(false);
    }
};
