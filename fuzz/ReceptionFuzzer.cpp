// The reception over arbitrary bytes, arbitrary splits into receive events,
// prompt requests, disconnects and option switches between them: it never
// crashes, the line buffer stays bounded, and however the bytes are split it
// shows, echoes and holds exactly what the reading algorithm gives reading
// the same bytes one per event. The real reception fed one byte per event is
// checked beside the model, so a fault shared by both still shows as a
// difference between the two splits.
//
// The line limit comes from the input and is short, so the limit is reached
// by inputs of a few dozen bytes, not by 64 KiB runs; longer inputs than
// kMaxInput only repeat what shorter ones reach, at a cost that grows with
// their length, so they are declined.
#include "fuzz/FuzzSupport.h"

#include "app/capture/LineReception.h"
#include "tests/app/FakeByteSource.h"
#include "tests/app/LineReceptionReference.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

constexpr std::size_t kMaxInput = 256;

class TSink : public TReceptionSink {
public:
    void InsertReading(QByteArrayView text) override { Shown.append(text); }
    void SerialByteReceived() override {}
    char DecimalSeparator() override { return ','; }
    QByteArray Shown;
};

struct TReception {
    explicit TReception(qsizetype limit) : Reception(Sink, limit) {}
    TSink Sink;
    TFakeByteSource Port;
    TLineReception Reception;

    void Receive(QByteArrayView bytes, const TLineReception::TOptions& options) {
        Port.Queue.append(bytes);
        Reception.Receive(Port, options);
        fuzzing::Require(Port.Queue.isEmpty(), "every waiting byte is taken");
    }
};

// Shows both sides of a difference before failing.
void RequireEqual(const QByteArray& a, const QByteArray& b, const char* what) {
    if (a != b)
        std::fprintf(stderr, "%s\n  real:  %s\n  model: %s\n", what,
                     a.toPercentEncoding().constData(), b.toPercentEncoding().constData());
    fuzzing::Require(a == b, what);
}

void RequireSame(const TReception& real, const TReference& model) {
    const TLineReception::TLineState& state = real.Reception.State();
    RequireEqual(state.LineBuffer, model.State.LineBuffer, "the reading algorithm's line is held");
    fuzzing::Require(state.SuppressLine == model.State.SuppressLine &&
                         state.PromptPending == model.State.PromptPending && !state.LineComplete &&
                         !model.State.LineComplete,
                     "the reading algorithm's prompt state is held");
    // The texts grow with every event; their sizes tell a difference early,
    // the whole texts are compared once at the end.
    fuzzing::Require(real.Sink.Shown.size() == model.Shown.size(),
                     "the reading algorithm's text is shown");
    fuzzing::Require(real.Port.Written.size() == model.Echo.size(),
                     "the reading algorithm's echo is sent");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInput)
        return -1; // not kept in the corpus
    fuzzing::TInput input(data, size);
    const qsizetype limit = 1 + input.Byte() % 48;
    TReception bulk(limit);   // the events as the input splits them
    TReception single(limit); // one byte per event
    TReference model(limit);
    TLineReception::TOptions options;
    while (!input.Empty()) {
        const std::uint8_t op = input.Byte();
        if (op % 4 == 2) {
            // Between events: a prompt goes out or the link drops; options switch.
            for (TReception* real : {&bulk, &single}) {
                if (op & 4)
                    real->Reception.PromptRequested();
                else
                    real->Reception.PromptCancelled();
            }
            if (op & 4)
                model.State.SuppressLine = true;
            else
                model.State.SuppressLine = model.State.PromptPending = false;
            if (op & 8)
                options.Debug = !options.Debug;
            if (op & 16)
                options.EchoBack = !options.EchoBack;
            continue;
        }
        const QByteArray bytes = input.Bytes(op >> 2); // one receive event
        if (bytes.isEmpty())
            continue;
        bulk.Receive(bytes, options);
        for (const char& byte : bytes)
            single.Receive(QByteArrayView(&byte, 1), options);
        model.Receive(bytes, options);
        fuzzing::Require(bulk.Reception.State().LineBuffer.size() <= limit,
                         "the line buffer stays bounded");
        RequireSame(bulk, model);
        RequireSame(single, model);
    }
    for (const TReception* real : {&bulk, &single}) {
        RequireEqual(real->Sink.Shown, model.Shown, "the reading algorithm's text is shown");
        RequireEqual(real->Port.Written, model.Echo, "the reading algorithm's echo is sent");
    }
    return 0;
}
