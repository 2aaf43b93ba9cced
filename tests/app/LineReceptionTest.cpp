#include "app/capture/LineReception.h"
#include "tests/app/FakeByteSource.h"
#include "tests/app/LineReceptionReference.h"

#include <QList>

#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace {

class TRecordingSink : public TReceptionSink {
public:
    void InsertReading(QByteArrayView text) override { Shown.append(text.toByteArray()); }
    void SerialByteReceived() override { ++Restarts; }
    char DecimalSeparator() override { return Separator; }
    QByteArray Shown;
    int Restarts = 0;
    char Separator = ',';
};

class LineReceptionTest : public ::testing::Test {
protected:
    void Receive(const QByteArray& bytes, TLineReception::TOptions options = {}) {
        Port.Feed(bytes);
        Reception.Receive(Port, options);
    }
    TRecordingSink Sink;
    TFakeByteSource Port;
    TLineReception Reception{Sink};
    const TLineReception::TLineState& State = Reception.State();
};

TEST_F(LineReceptionTest, ReadingGetsMicroSignAndUserSeparator) {
    Receive("  12.5 um\r\n");
    EXPECT_EQ(Sink.Shown, QByteArray("  12,5 \xB5m\r\n"));
    EXPECT_TRUE(State.LineBuffer.isEmpty());
    EXPECT_FALSE(State.LineComplete);
    Sink.Separator = '.';
    Sink.Shown.clear();
    Receive("  12.5 um\r\n");
    EXPECT_EQ(Sink.Shown, QByteArray("  12.5 \xB5m\r\n"));
}

TEST_F(LineReceptionTest, ConversionRulesForFirstMicroAndLastPoint) {
    Receive("Maximum 1.5 um\n");
    EXPECT_EQ(Sink.Shown, QByteArray("Maxim\xB5m 1,5 um\n")) << "only the first um changes";
    Sink.Shown.clear();
    Receive("12:30.5\n");
    EXPECT_EQ(Sink.Shown, QByteArray("12:30.5\n")) << "a colon keeps the point";
    Sink.Shown.clear();
    Receive("12.5.\n");
    EXPECT_EQ(Sink.Shown, QByteArray("12.5.\n")) << "the last point is not followed by a digit";
}

TEST_F(LineReceptionTest, PartialLineWaitsForItsEnd) {
    Receive("12.");
    EXPECT_TRUE(Sink.Shown.isEmpty());
    EXPECT_EQ(State.LineBuffer, QByteArray("12."));
    Receive("5\r\n");
    EXPECT_EQ(Sink.Shown, QByteArray("12,5\r\n"));
}

TEST_F(LineReceptionTest, DebugDumpsEveryCodeAndBreaksThePatterns) {
    Receive("1\r\n", {.Debug = true});
    EXPECT_EQ(Sink.Shown, QByteArray("1(0x31)\r(0x0D)\n(0x0A)"));
    Sink.Shown.clear();
    Receive("1.5um\n", {.Debug = true});
    EXPECT_EQ(Sink.Shown, QByteArray("1(0x31).(0x2E)5(0x35)u(0x75)m(0x6D)\n(0x0A)"));
}

TEST_F(LineReceptionTest, PromptAnswerIsFilteredAfterARequest) {
    // The cycle of a quiet instrument: request, answer, a reading. The debug
    // codes must not hide the answer, or every later reading would be held.
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "debug" : "plain");
        Sink.Shown.clear();
        for (int i = 0; i < 5; ++i) {
            Reception.PromptRequested();
            if (i % 2 == 0) {
                Receive("\r\n> ", {.Debug = debug});
            } else { // the answer split over two receive events
                Receive("\r\n", {.Debug = debug});
                Receive("> ", {.Debug = debug});
            }
            EXPECT_TRUE(State.LineBuffer.isEmpty());
            EXPECT_FALSE(State.SuppressLine);
            EXPECT_FALSE(State.PromptPending);
            Receive("1\n", {.Debug = debug});
        }
        EXPECT_EQ(Sink.Shown,
                  (debug ? QByteArray("1(0x31)\n(0x0A)") : QByteArray("1\n")).repeated(5));
    }
}

TEST_F(LineReceptionTest, ReadingBesideThePromptAnswerIsShownAndNextLineIsSuspect) {
    Reception.PromptRequested();
    Receive("5.0\r\n");
    EXPECT_EQ(Sink.Shown, QByteArray("5,0\r\n"));
    EXPECT_TRUE(State.PromptPending);
    EXPECT_TRUE(State.SuppressLine) << "the answer is still expected at the next line's start";
    Sink.Shown.clear();
    Receive("\r\n> ");
    EXPECT_TRUE(Sink.Shown.isEmpty());
    EXPECT_FALSE(State.PromptPending);
    // A reading in the same burst as the answer is shown, only the answer goes.
    const struct {
        QByteArray Burst;
        bool Debug;
        QByteArray Shown;
    } cases[] = {
        {"2.5 um\r\n\r\n> ", false, "2,5 \xB5m\r\n"},
        {"2.5\n\r\n> 3.5\n", false, "2,5\n3,5\n"},
        {"2\r\n\r\n> ", true, "2(0x32)\r(0x0D)\n(0x0A)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Burst.toStdString());
        Sink.Shown.clear();
        Reception.PromptRequested();
        Receive(c.Burst, {.Debug = c.Debug});
        EXPECT_EQ(Sink.Shown, c.Shown);
        EXPECT_TRUE(State.LineBuffer.isEmpty());
        EXPECT_FALSE(State.LineComplete);
        EXPECT_FALSE(State.SuppressLine);
        EXPECT_FALSE(State.PromptPending);
    }
}

TEST_F(LineReceptionTest, ReadingEndedByTheAnswersLineFeedIsShownAsItArrives) {
    // The line feed completes the reading before the answer can be whole;
    // the rest of the answer starts the next line, as byte by byte.
    Reception.PromptRequested();
    Receive("2.5\r\n> ");
    EXPECT_EQ(Sink.Shown, QByteArray("2,5\r\n"));
    EXPECT_EQ(State.LineBuffer, QByteArray("> "));
    EXPECT_TRUE(State.PromptPending);
}

TEST_F(LineReceptionTest, ReadingStartingWithCarriageReturnIsHeldUntilTheAnswer) {
    Reception.PromptRequested();
    Receive("\r7.5\n", {.EchoBack = true});
    EXPECT_TRUE(Sink.Shown.isEmpty()) << "held back";
    EXPECT_TRUE(Port.Written.isEmpty()) << "not echoed";
    Receive("\r\n> ", {.EchoBack = true});
    EXPECT_TRUE(Sink.Shown.isEmpty());
    EXPECT_TRUE(State.LineBuffer.isEmpty()) << "the held text is discarded with the answer";
    Reception.PromptRequested();
    Receive("\r7.5\n\r\n> ", {.EchoBack = true});
    EXPECT_TRUE(Sink.Shown.isEmpty()) << "held text is dropped in the answer's burst too";
    EXPECT_TRUE(State.LineBuffer.isEmpty());
    EXPECT_TRUE(Port.Written.isEmpty());
}

TEST_F(LineReceptionTest, LinesArrivingTogetherAreEachConverted) {
    const struct {
        QList<QByteArray> Events;
        QByteArray Shown;
        QByteArray Held;
    } cases[] = {
        {{"  12.5 um\r\n  12.5 um\r\n"}, "  12,5 \xB5m\r\n  12,5 \xB5m\r\n", ""},
        {{"11.1 mm\r\n22.2 mm\r\n33.3 mm\r\n  7.5 um\r\n"},
         "11,1 mm\r\n22,2 mm\r\n33,3 mm\r\n  7,5 \xB5m\r\n",
         ""},
        {{"1.5\r\n2.", "5\r\n"}, "1,5\r\n2,5\r\n", ""},
        // Each line keeps its own rules: a colon or a micro sign stays in
        // its line, and a line without its line feed waits.
        {{"t: 1.5 um\n2.5 um\n3.", "5"}, "t: 1.5 \xB5m\n2,5 \xB5m\n", "3.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Events.join('|').toStdString());
        TRecordingSink sink;
        TFakeByteSource port;
        TLineReception reception(sink);
        for (const QByteArray& event : c.Events) {
            port.Feed(event);
            reception.Receive(port, {});
        }
        EXPECT_EQ(sink.Shown, c.Shown);
        EXPECT_EQ(reception.State().LineBuffer, c.Held);
    }
}

TEST_F(LineReceptionTest, EchoSendsEveryByteButNulAndSuppressedAnswer) {
    Receive(QByteArray("1\0"
                       "2\r\n",
                       5),
            {.EchoBack = true});
    EXPECT_EQ(Port.Written, QByteArray("12\r\n"));
    EXPECT_EQ(Sink.Shown, QByteArray("12\r\n"));
    Port.Written.clear();
    Reception.PromptRequested();
    Receive("\r\n> ", {.EchoBack = true});
    EXPECT_TRUE(Port.Written.isEmpty());
}

TEST_F(LineReceptionTest, NulIsDroppedAndTheBytesBehindItAreHandled) {
    Receive(QByteArray("12.5\0 um\r\n", 10));
    EXPECT_EQ(Sink.Shown, QByteArray("12,5 \xB5m\r\n"));
    EXPECT_EQ(Sink.Restarts, 1);
}

TEST_F(LineReceptionTest, NoRestartWhenOnlyNulArrived) {
    Receive(QByteArray("\0\0", 2));
    EXPECT_EQ(Sink.Restarts, 0);
}

TEST_F(LineReceptionTest, EndlessLineIsShownAtTheLimitWithoutLosingBytes) {
    QByteArray garbage(3 * TLineReception::MaxLineLength + 17, 'x');
    Receive(garbage);
    EXPECT_GE(Sink.Shown.size(), 3 * TLineReception::MaxLineLength);
    EXPECT_EQ(Sink.Shown.size() + State.LineBuffer.size(), garbage.size());
    EXPECT_LE(State.LineBuffer.size(), TLineReception::MaxLineLength);
}

TEST_F(LineReceptionTest, HeldTextPastTheLimitIsShownNotDropped) {
    Reception.PromptRequested();
    QByteArray held = "\r" + QByteArray(TLineReception::MaxLineLength + 10, 'y');
    Receive(held);
    EXPECT_EQ(Sink.Shown.size() + State.LineBuffer.size(), held.size());
}

// A gauge that never pauses: its queue never runs dry. Each receive event
// still ends, and the next one goes on where it stopped.
TEST(LineReceptionFlood, EachEventEndsAndTheNextGoesOn) {
    class TFlood : public TFakeByteSource {
    public:
        int RecCount() override { return 4096; }
        int ReadBuf(void* buffer, int count) override {
            auto* out = static_cast<char*>(buffer);
            for (int i = 0; i < count; ++i, ++Sent)
                out[i] = Sent % 10 == 9 ? '\n' : static_cast<char>('0' + Sent % 10);
            return count;
        }
        qsizetype Sent = 0;
    } flood;
    TRecordingSink sink;
    TLineReception reception(sink);
    for (int event = 1; event <= 3; ++event) {
        reception.Receive(flood, {});
        ASSERT_LE(flood.Sent, event * (TLineReception::MaxPerEvent + 4096));
        ASSERT_EQ(sink.Shown.size() + reception.State().LineBuffer.size(), flood.Sent);
    }
    EXPECT_EQ(sink.Shown.count("012345678\n"), flood.Sent / 10);
}

// The reception, its events split as a test chooses, beside the model that
// reads one byte per event.
struct TSplitRun {
    explicit TSplitRun(qsizetype limit = TLineReception::MaxLineLength)
        : Reception(Sink, limit), Reference(limit) {}
    TRecordingSink Sink;
    TFakeByteSource Port;
    TLineReception Reception;
    TReference Reference;

    void Receive(const QByteArray& bytes, TLineReception::TOptions options) {
        Reference.Receive(bytes, options);
        Port.Feed(bytes);
        Reception.Receive(Port, options);
    }
    void PromptRequested() {
        Reception.PromptRequested();
        Reference.State.SuppressLine = true;
    }
    ::testing::AssertionResult MatchesReference() const {
        const TLineReception::TLineState& state = Reception.State();
        if (Sink.Shown != Reference.Shown)
            return ::testing::AssertionFailure()
                   << "shown " << Sink.Shown.toPercentEncoding().toStdString() << " instead of "
                   << Reference.Shown.toPercentEncoding().toStdString();
        if (Port.Written != Reference.Echo)
            return ::testing::AssertionFailure() << "echo differs";
        if (state.LineBuffer != Reference.State.LineBuffer ||
            state.SuppressLine != Reference.State.SuppressLine ||
            state.PromptPending != Reference.State.PromptPending ||
            state.LineComplete != Reference.State.LineComplete)
            return ::testing::AssertionFailure() << "held state differs";
        return ::testing::AssertionSuccess();
    }
};

TEST(LineReceptionSplits, RandomSplitsGiveWhatOneBytePerEventGives) {
    std::mt19937 random(20261207);
    const QByteArray alphabet("0123456789.: um\r\n> x");
    for (int round = 0; round < 300; ++round) {
        TLineReception::TOptions options{.Debug = round % 7 == 0, .EchoBack = round % 3 == 0};
        // A short limit now and then, so lines past it come up too.
        TSplitRun run(round % 5 == 0 ? 1 + static_cast<qsizetype>(random() % 24)
                                     : TLineReception::MaxLineLength);
        // The rest of an answer cut after its carriage return.
        QByteArray carried;
        for (int burst = 0; burst < 40; ++burst) {
            if (random() % 16 == 0) // the user switches the code dump mid-line
                options.Debug = !options.Debug;
            if (random() % (carried.isEmpty() ? 5 : 2) == 0) // a prompt request went out
                run.PromptRequested();
            QByteArray bytes = std::exchange(carried, {});
            // Mostly a few bytes, sometimes several lines in one event.
            const int length = static_cast<int>(random() % (random() % 4 == 0 ? 60 : 12));
            for (int i = 0; i < length; ++i)
                bytes.append(alphabet[static_cast<qsizetype>(random() % alphabet.size())]);
            if (random() % 4 == 0) // the answer, with bytes before and after it
                bytes.insert(static_cast<qsizetype>(random() % (bytes.size() + 1)), "\r\n> ");
            if (random() % 8 == 0) // a NUL, which the reception drops
                bytes.insert(static_cast<qsizetype>(random() % (bytes.size() + 1)), '\0');
            if (random() % 8 == 0) { // the answer's start ends this event
                bytes.append('\r');
                carried = "\n> ";
            }
            run.Receive(bytes, options);
            ASSERT_TRUE(run.MatchesReference()) << "round " << round << " burst " << burst;
        }
    }
}

TEST(LineReceptionSplits, AStreamCutAtEveryByteGivesTheSameDocument) {
    // Readings, a prompt answer with a reading behind it, a colon, a NUL.
    static const char kStream[] = "  12.5 um\r\n11.1 mm\r\n\r\n> 7.5 um\r\nt: 1.5\r\n3.\0"
                                  "25\r\n4.5";
    const QByteArray stream(kStream, sizeof kStream - 1);
    for (const bool debug : {false, true}) {
        for (const bool echo : {false, true}) {
            const TLineReception::TOptions options{.Debug = debug, .EchoBack = echo};
            QByteArray whole;
            for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
                SCOPED_TRACE(testing::Message()
                             << "debug " << debug << " echo " << echo << " cut at " << cut);
                TSplitRun run;
                run.PromptRequested();
                run.Receive(stream.left(cut), options);
                run.Receive(stream.mid(cut), options);
                ASSERT_TRUE(run.MatchesReference());
                if (cut == 0)
                    whole = run.Sink.Shown;
                EXPECT_EQ(run.Sink.Shown, whole);
            }
            if (!debug) {
                EXPECT_EQ(whole, QByteArray("  12,5 \xB5m\r\n11,1 mm\r\n7,5 \xB5m\r\n"
                                            "t: 1.5\r\n3,25\r\n"));
            }
        }
    }
}

} // namespace
