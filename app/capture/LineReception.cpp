#include "app/capture/LineReception.h"

#include "serial/TByteSource.h"

#include <string_view>

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr int kAnswerLength = sizeof TLineReception::PromptAnswer - 1;

void AppendCode(QByteArray& buffer, unsigned char c) {
    const char code[] = {'(', '0', 'x', kHex[c >> 4], kHex[c & 0xF], ')'};
    buffer.append(code, sizeof code);
}

} // namespace

// Echo goes out before the lines it belongs to are shown, as if each byte
// were sent back the moment it arrived. The buffers keep their capacity from
// event to event.
void TLineReception::Flush(TPass& pass) {
    if (!FEcho.isEmpty()) {
        pass.Port.WriteBuf(FEcho.constData(), static_cast<int>(FEcho.size()));
        FEcho.resize(0);
    }
    if (!FShown.isEmpty()) {
        FSink.InsertReading(FShown);
        FShown.resize(0);
    }
}

char TLineReception::Separator(TPass& pass) {
    if (pass.Separator == 0)
        pass.Separator = FSink.DecimalSeparator();
    return pass.Separator;
}

void TLineReception::Receive(TByteSource& port, const TOptions& options) {
    TPass pass{port, options, 0};
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
        }
        // The lines of one read go to the editor in one insertion.
        Flush(pass);
    }
    // The prompt restart is the same for every byte; once per event suffices.
    if (anyByte)
        FSink.SerialByteReceived();
}

void TLineReception::ProcessByte(unsigned char c, TPass& pass) {
    QByteArray& line = FState.LineBuffer;
    WatchForAnswer(c);
    line.append(static_cast<char>(c));
    if (pass.Options.Debug)
        AppendCode(line, c);
    if (!FState.PromptPending && FState.SuppressLine)
        FState.PromptPending = true;
    if (FState.SuppressLine && line.front() != '\r')
        FState.SuppressLine = false;
    if (FState.PromptPending && FAnswer.Found) {
        // The answer neither ends a line nor is echoed; text held back as a
        // possible answer goes with it.
        EmptyLine();
        FState.SuppressLine = false;
        FState.PromptPending = false;
        return;
    }
    if (!FState.SuppressLine && c == '\n')
        FState.LineComplete = true;
    if (pass.Options.EchoBack && !FState.SuppressLine)
        FEcho.append(static_cast<char>(c));
    // Each line is finished at its own line feed, so what is shown does not
    // depend on how the bytes were split into receive events.
    if (FState.LineComplete || line.size() > FMaxLineLength)
        FinishLine(pass, !FState.LineComplete);
}

// The answer's bytes are all different, so a mismatch can only restart the
// match at a carriage return.
void TLineReception::WatchForAnswer(unsigned char c) {
    if (FAnswer.Found)
        return;
    if (c == static_cast<unsigned char>(PromptAnswer[FAnswer.Matched]) || c == '\r') {
        if (c == '\r')
            FAnswer.Matched = 0;
        FAnswer.Found = ++FAnswer.Matched == kAnswerLength;
    } else {
        FAnswer.Matched = 0;
    }
}

// Lines are short and many: the standard library's inline searches cost less
// per line than the out-of-line ones of QByteArray.
void TLineReception::FinishLine(TPass& pass, bool forced) {
    QByteArray& line = FState.LineBuffer;
    char* text = line.data();
    const std::string_view view(text, static_cast<std::size_t>(line.size()));
    const std::size_t micro = view.find("um");
    if (micro != std::string_view::npos)
        text[micro] = '\xB5';
    const std::size_t point = view.rfind('.');
    if (point != std::string_view::npos && point + 1 < view.size() && text[point + 1] >= '0' &&
        text[point + 1] <= '9' && view.find(':') == std::string_view::npos)
        text[point] = Separator(pass);
    // A forced finish is not a line end the instrument sent: show it even
    // while a prompt answer is expected, or the limit would drop it.
    if (!FState.SuppressLine || forced)
        FShown.append(line);
    FState.SuppressLine = FState.PromptPending;
    EmptyLine();
    FState.LineComplete = false;
}

void TLineReception::EmptyLine() {
    FState.LineBuffer.resize(0);
    FAnswer = {};
}
