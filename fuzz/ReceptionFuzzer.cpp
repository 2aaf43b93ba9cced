// The reception over arbitrary bytes, arbitrary splits into receive events,
// prompt requests, disconnects and option switches between them: it never
// crashes, the line buffer stays bounded, and it shows, echoes and holds
// exactly what the reading algorithm gives reading the same events one byte
// per pass. (Splitting the events differently may change what is shown:
// a line is shown at the end of the event that completed it.)
#include "fuzz/FuzzSupport.h"

#include "app/capture/LineReception.h"
#include "tests/app/FakeByteSource.h"
#include "tests/app/LineReceptionReference.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

class TSink : public TReceptionSink {
public:
    void InsertReading(QByteArrayView text) override { Shown.append(text); }
    void SerialByteReceived() override {}
    char DecimalSeparator() override { return ','; }
    QByteArray Shown;
};

struct TReception {
    TSink Sink;
    TFakeByteSource Port;
    TLineReception Reception{Sink};
};

// Shows both sides of a difference before failing.
void RequireEqual(const QByteArray& a, const QByteArray& b, const char* what) {
    if (a != b)
        std::fprintf(stderr, "%s\n  bulk:  %s\n  other: %s\n", what,
                     a.toPercentEncoding().constData(), b.toPercentEncoding().constData());
    fuzzing::Require(a == b, what);
}

void RequireSame(const TLineReception::TLineState& bulk, const TLineReception::TLineState& model) {
    RequireEqual(bulk.LineBuffer, model.LineBuffer, "the reading algorithm's line is held");
    fuzzing::Require(bulk.SuppressLine == model.SuppressLine &&
                         bulk.PromptPending == model.PromptPending,
                     "the reading algorithm's prompt state is held");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::TInput input(data, size);
    TReception bulk;
    TReference model;
    TLineReception::TOptions options;
    int longRuns = 0;
    while (!input.Empty()) {
        const std::uint8_t op = input.Byte();
        QByteArray bytes;
        if (op == 0xFF && input.Peek() == 'L' && longRuns++ == 0) {
            // "\xFFL": a device sending one byte on and on, past the line
            // limit; rare and once per input, as it costs as much as
            // thousands of events.
            input.Byte();
            const qsizetype length = TLineReception::MaxLineLength + 1 + input.Byte();
            bytes = QByteArray(length, static_cast<char>(input.Byte()));
        } else if (op % 4 == 2) {
            // Between events: a prompt goes out or the link drops; options switch.
            if (op & 4) {
                bulk.Reception.PromptRequested();
                model.State.SuppressLine = true;
            } else {
                bulk.Reception.PromptCancelled();
                model.State.SuppressLine = model.State.PromptPending = false;
            }
            if (op & 8)
                options.Debug = !options.Debug;
            if (op & 16)
                options.EchoBack = !options.EchoBack;
        } else {
            bytes = input.Bytes(op >> 2); // one receive event
        }
        if (bytes.isEmpty())
            continue;
        bulk.Port.Feed(bytes);
        bulk.Reception.Receive(bulk.Port, options);
        fuzzing::Require(bulk.Reception.State().LineBuffer.size() <= TLineReception::MaxLineLength,
                         "the line buffer stays bounded");
        model.Receive(bytes, options);
        // The texts grow with every event; their sizes and the held line tell
        // a difference early, the whole texts once at the end.
        fuzzing::Require(bulk.Sink.Shown.size() == model.Shown.size(),
                         "the reading algorithm's text is shown");
        RequireSame(bulk.Reception.State(), model.State);
    }
    RequireEqual(bulk.Sink.Shown, model.Shown, "the reading algorithm's text is shown");
    RequireEqual(bulk.Port.Written, model.Echo, "the reading algorithm's echo is sent");
    return 0;
}
