#include "app/LineReception.h"

#include "serial/TByteSource.h"

#include <algorithm>

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendCode(QByteArray& buffer, unsigned char c) {
    const char code[] = {'(', '0', 'x', kHex[c >> 4], kHex[c & 0xF], ')'};
    buffer.append(code, sizeof code);
}

} // namespace

void TLineReception::Receive(TByteSource& port, const TOptions& options) {
    bool anyByte = false;
    QByteArray echo;
    for (;;) {
        const int waiting = port.RecCount();
        if (waiting <= 0)
            break;
        FChunk.resize(waiting);
        const int got = port.ReadBuf(FChunk.data(), waiting);
        if (got <= 0)
            break;
        for (int i = 0; i < got; ++i) {
            const auto c = static_cast<unsigned char>(FChunk[i]);
            if (c == 0)
                continue;
            anyByte = true;
            ProcessByte(c, options, echo);
            if (FState.LineBuffer.size() > MaxLineLength) {
                if (!echo.isEmpty())
                    port.WriteBuf(echo.constData(), static_cast<int>(echo.size()));
                echo.clear();
                FinishLine(true);
            }
        }
    }
    if (!echo.isEmpty())
        port.WriteBuf(echo.constData(), static_cast<int>(echo.size()));
    // The prompt restart is the same for every byte; once per event suffices.
    if (anyByte)
        FSink.SerialByteReceived();
    if (FState.LineComplete)
        FinishLine(false);
}

void TLineReception::ProcessByte(unsigned char c, const TOptions& options, QByteArray& echo) {
    QByteArray& line = FState.LineBuffer;
    line.append(static_cast<char>(c));
    if (options.Debug)
        AppendCode(line, c);
    if (!FState.PromptPending && FState.SuppressLine)
        FState.PromptPending = true;
    if (FState.SuppressLine && line.front() != '\r')
        FState.SuppressLine = false;
    if (FState.PromptPending && PromptAnswerReceived()) {
        line.clear();
        FSearched = 0;
        FState.SuppressLine = false;
        FState.PromptPending = false;
        return; // the answer neither ends a line nor is echoed
    }
    if (!FState.SuppressLine && c == '\n')
        FState.LineComplete = true;
    if (options.EchoBack && !FState.SuppressLine)
        echo.append(static_cast<char>(c));
}

bool TLineReception::PromptAnswerReceived() {
    const QByteArray& line = FState.LineBuffer;
    constexpr qsizetype answerLength = sizeof PromptAnswer - 1;
    // Text that arrived before the prompt went out may hold an answer too,
    // so a fresh search starts at the front.
    const qsizetype from = FSearchValid && FSearched <= line.size()
                               ? std::max<qsizetype>(0, FSearched - (answerLength - 1))
                               : 0;
    FSearchValid = true;
    FSearched = line.size();
    return line.indexOf(QByteArrayView(PromptAnswer, answerLength), from) >= 0;
}

void TLineReception::FinishLine(bool forced) {
    QByteArray& line = FState.LineBuffer;
    const qsizetype micro = line.indexOf("um");
    if (micro >= 0)
        line[micro] = '\xB5';
    const qsizetype point = line.lastIndexOf('.');
    if (point >= 0 && point + 1 < line.size() && line[point + 1] >= '0' && line[point + 1] <= '9' &&
        !line.contains(':'))
        line[point] = FSink.DecimalSeparator();
    // A forced finish is not a line end the instrument sent: show it even
    // while a prompt answer is expected, or the limit would drop it.
    if (!FState.SuppressLine || forced)
        FSink.InsertReading(line);
    FState.SuppressLine = FState.PromptPending;
    line.clear();
    FSearched = 0;
    FSearchValid = false;
    FState.LineComplete = false;
}
