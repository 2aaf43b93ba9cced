#include "app/capture/LineReception.h"

#include "serial/TByteSource.h"

#include <cstring>
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
    if (!FEcho.isEmpty() && pass.Port != nullptr) {
        pass.Port->WriteBuf(FEcho.constData(), static_cast<int>(FEcho.size()));
        FEcho.resize(0);
    }
    if (!FShown.isEmpty()) {
        FSink.InsertLines(FShown, FLineEnds);
        FShown.resize(0);
        FLineEnds.clear();
    }
}

char TLineReception::Separator(TPass& pass) {
    if (pass.Separator == 0)
        pass.Separator = FSink.DecimalSeparator();
    return pass.Separator;
}

void TLineReception::Receive(TByteSource& port, const TOptions& options) {
    TPass pass{&port, options, 0};
    bool anyByte = false;
    // A flood that keeps the count up would otherwise keep the window from
    // answering; the rest comes with the next receive event.
    for (qsizetype taken = 0; taken < MaxPerEvent;) {
        const int waiting = port.RecCount();
        if (waiting <= 0)
            break;
        FChunk.resize(waiting);
        const int got = port.ReadBuf(FChunk.data(), waiting);
        if (got <= 0)
            break;
        taken += got;
        const QByteArrayView chunk(FChunk.constData(), got);
        if (Plain(chunk, options)) {
            anyByte = true;
            ReceivePlain(chunk, pass);
        } else {
            for (const char byte : chunk) {
                const auto c = static_cast<unsigned char>(byte);
                if (c == 0)
                    continue;
                anyByte = true;
                ProcessByte(c, pass);
            }
        }
        // The lines of one read go to the editor in one insertion.
        Flush(pass);
    }
    // The prompt restart is the same for every byte; once per event suffices.
    if (anyByte)
        FSink.SerialByteReceived();
}

// Most of a stream: no prompt answer can come, no codes to dump, nothing to
// echo and no NUL to drop. Each byte then only adds to its line.
bool TLineReception::Plain(QByteArrayView chunk, const TOptions& options) const {
    return !options.Debug && !options.EchoBack && !FState.SuppressLine && !FState.PromptPending &&
           !chunk.contains('\0');
}

// Lines are found in bulk and converted one by one, giving exactly what
// ProcessByte gives byte by byte.
void TLineReception::ReceivePlain(QByteArrayView chunk, TPass& pass) {
    QByteArray& line = FState.LineBuffer;
    while (!chunk.isEmpty()) {
        const auto* feed = static_cast<const char*>(std::memchr(chunk.data(), '\n', chunk.size()));
        const qsizetype length = feed ? feed - chunk.data() + 1 : chunk.size();
        const QByteArrayView part = chunk.first(length);
        chunk = chunk.sliced(length);
        // A line feed at most one byte past the limit still ends its line;
        // without one, the byte past the limit forces the line out.
        const qsizetype limit = FMaxLineLength + (feed ? 1 : 0);
        if (line.size() + length > limit) {
            for (const char byte : part)
                ProcessByte(static_cast<unsigned char>(byte), pass);
            continue;
        }
        if (!feed) {
            // The start of the next line: the prompt watch must know it in
            // case a request goes out before its line feed.
            for (const char byte : part)
                WatchForAnswer(static_cast<unsigned char>(byte));
            line.append(part);
            continue;
        }
        if (line.isEmpty()) {
            const qsizetype start = FShown.size();
            FShown.append(part);
            ConvertLine(FShown.data() + start, length, pass);
        } else {
            line.append(part);
            ConvertLine(line.data(), line.size(), pass);
            FShown.append(line);
            EmptyLine();
        }
        FLineEnds.push_back(FShown.size());
    }
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

// A line is finished at its line feed, or forced out at the length limit:
// converted, and kept for showing unless it may be the prompt answer.
void TLineReception::FinishLine(TPass& pass, bool forced) {
    QByteArray& line = FState.LineBuffer;
    ConvertLine(line.data(), line.size(), pass);
    // A forced finish is not a line end the instrument sent: show it even
    // while a prompt answer is expected, or the limit would drop it.
    if (!FState.SuppressLine || forced) {
        FShown.append(line);
        FLineEnds.push_back(FShown.size());
    }
    FState.SuppressLine = FState.PromptPending;
    EmptyLine();
    FState.LineComplete = false;
}

// The line's first "um" becomes the micro sign; its last "." before a digit
// the user's separator, unless the line holds ":" (a time, a label). Lines
// are short and many: the standard library's inline searches cost less per
// line than the out-of-line ones of QByteArray.
void TLineReception::ConvertLine(char* text, qsizetype size, TPass& pass) {
    const std::string_view view(text, static_cast<std::size_t>(size));
    const std::size_t micro = view.find("um");
    if (micro != std::string_view::npos)
        text[micro] = '\xB5';
    const std::size_t point = view.rfind('.');
    if (point != std::string_view::npos && point + 1 < view.size() && text[point + 1] >= '0' &&
        text[point + 1] <= '9' && view.find(':') == std::string_view::npos)
        text[point] = Separator(pass);
}

QByteArray TLineReception::CloseLine() {
    QByteArray line = FState.LineBuffer;
    const bool answer = FState.SuppressLine && QByteArrayView(PromptAnswer).startsWith(line);
    EmptyLine();
    FState.LineComplete = false;
    if (line.isEmpty() || answer)
        return {};
    line.append(line.endsWith('\r') ? "\n" : "\r\n");
    const TOptions options;
    TPass pass{nullptr, options, 0};
    ConvertLine(line.data(), line.size(), pass);
    return line;
}

void TLineReception::EmptyLine() {
    FState.LineBuffer.resize(0);
    FAnswer = {};
}
