#include "app/capture/LineReception.h"

#include "serial/TByteSource.h"

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr int kAnswerLength = sizeof TLineReception::PromptAnswer - 1;

void AppendCode(QByteArray& buffer, unsigned char c) {
    const char code[] = {'(', '0', 'x', kHex[c >> 4], kHex[c & 0xF], ')'};
    buffer.append(code, sizeof code);
}

} // namespace

void TLineReception::TPass::FlushEcho() {
    if (Echo.isEmpty())
        return;
    Port.WriteBuf(Echo.constData(), static_cast<int>(Echo.size()));
    Echo.clear();
}

void TLineReception::Receive(TByteSource& port, const TOptions& options) {
    TPass pass{port, options, {}};
    bool anyByte = false;
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
            ProcessByte(c, pass);
            if (FState.LineBuffer.size() > MaxLineLength)
                ShowLine(pass, true);
        }
    }
    pass.FlushEcho();
    // The prompt restart is the same for every byte; once per event suffices.
    if (anyByte)
        FSink.SerialByteReceived();
    if (FState.LineComplete)
        FinishLine(false);
}

void TLineReception::ProcessByte(unsigned char c, TPass& pass) {
    QByteArray& line = FState.LineBuffer;
    WatchForAnswer(c, line.size());
    line.append(static_cast<char>(c));
    if (pass.Options.Debug)
        AppendCode(line, c);
    if (!FState.PromptPending && FState.SuppressLine)
        FState.PromptPending = true;
    if (FState.SuppressLine && line.front() != '\r')
        FState.SuppressLine = false;
    if (FState.PromptPending && FAnswer.Found) {
        DropAnswer(pass);
        return; // the answer neither ends a line nor is echoed
    }
    if (!FState.SuppressLine && c == '\n')
        FState.LineComplete = true;
    if (pass.Options.EchoBack && !FState.SuppressLine)
        pass.Echo.append(static_cast<char>(c));
}

// The answer's bytes are all different, so a mismatch can only restart the
// match at a carriage return.
void TLineReception::WatchForAnswer(unsigned char c, qsizetype start) {
    if (FAnswer.Found)
        return;
    if (c == static_cast<unsigned char>(PromptAnswer[FAnswer.Matched]) || c == '\r') {
        if (c == '\r') {
            FAnswer.Matched = 0;
            FAnswer.Start = start;
            FAnswer.CompleteBefore = FState.LineComplete;
        }
        FAnswer.Found = ++FAnswer.Matched == kAnswerLength;
    } else {
        FAnswer.Matched = 0;
    }
}

// A reading that a line feed completed before the answer came is shown as
// usual; text held as a possible answer goes with it. Otherwise a line end
// already seen stays seen, as reading byte by byte leaves it: what follows
// the answer in the same burst is shown at the burst's end.
void TLineReception::DropAnswer(TPass& pass) {
    if (FAnswer.CompleteBefore) {
        FState.LineBuffer.truncate(FAnswer.Start);
        ShowLine(pass, false);
    }
    EmptyLine();
    FState.SuppressLine = false;
    FState.PromptPending = false;
}

// Echo goes out before the line is shown, as if each byte were sent back the
// moment it arrived.
void TLineReception::ShowLine(TPass& pass, bool forced) {
    pass.FlushEcho();
    FinishLine(forced);
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
    EmptyLine();
    FState.LineComplete = false;
}

void TLineReception::EmptyLine() {
    FState.LineBuffer.clear();
    FAnswer = {};
}
