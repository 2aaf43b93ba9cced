// The capture session without a window: the three links' bytes become text
// for the document and finished lines, in arrival order, stamped at their
// line feed, held and released without loss.
#include "app/capture/CaptureSession.h"
#include "tests/app/FakeByteSource.h"

#include <QString>

#include <gtest/gtest.h>

#include <vector>

namespace {

// What the subscribers were told, in order: "T" text, "L" line, "H" held
// text, "+"/"-" a hold began or ended.
struct TEvent {
    char Kind;
    TLinkKind Link;
    QString Text;
    qint64 Time = 0;
    uint64_t Id = 0;
    bool operator==(const TEvent&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TEvent& e) {
    return out << e.Kind << static_cast<int>(e.Link) << " '" << e.Text.toStdString() << "' t"
               << e.Time << " #" << e.Id;
}

class TRecorder : public TCaptureSubscriber {
public:
    void TextArrived(const TCaptureText& text) override {
        Events.push_back({'T', text.Link, text.Text.toString(), 0, text.LastLine});
    }
    void LineFinished(const TCaptureLine& line) override {
        Events.push_back({'L', line.Link, line.Text.toString(), line.ArrivalMs, line.Id});
    }
    void TextHeld(const TCaptureText& text) override {
        Events.push_back({'H', text.Link, text.Text.toString(), 0, text.LastLine});
    }
    void HoldChanged(bool held) override { Events.push_back({held ? '+' : '-', {}, {}, 0, 0}); }

    std::vector<TEvent> Lines() const {
        std::vector<TEvent> lines;
        for (const TEvent& e : Events)
            if (e.Kind == 'L')
                lines.push_back(e);
        return lines;
    }
    std::vector<TEvent> Events;
};

class CaptureSessionTest : public ::testing::Test {
protected:
    CaptureSessionTest() { Session.Subscribe(Recorder); }
    ~CaptureSessionTest() override { Session.Unsubscribe(Recorder); }

    void Serial(const QByteArray& bytes, qint64 at) {
        Clock = at;
        Port.Feed(bytes);
        Session.SerialReceived(Port, {});
    }
    void Chunk(TLinkKind link, const QByteArray& bytes, qint64 at) {
        Clock = at;
        Session.ChunkReceived(link, bytes);
    }

    qint64 Clock = 0;
    TCaptureSession Session{{.DecimalSeparator = [] { return QStringLiteral(","); },
                             .Clock = [this] { return Clock; }}};
    TFakeByteSource Port;
    TRecorder Recorder;
};

constexpr TLinkKind S = TLinkKind::Serial;
constexpr TLinkKind U = TLinkKind::Usb;
constexpr TLinkKind I = TLinkKind::Infrared;

// Lines of three links arriving in turns, each begun in one delivery and
// ended in a later one: each line follows the text that completed it, is
// stamped with the time of its line feed and numbered across the links;
// the serial lines are converted as the document shows them.
TEST_F(CaptureSessionTest, LinesOfThreeLinksInterleaveInArrivalOrder) {
    Serial("  12.", 1);
    Chunk(U, "0.5", 2);
    Chunk(I, "7 mm\r\n8", 3);
    Serial("5 um\r\n", 4);
    Chunk(U, " in\r\n", 5);
    Chunk(I, " mm\n", 6);
    const std::vector<TEvent> expected = {
        {'T', U, "0.5", 0, 0},
        {'T', I, "7 mm\r\n8", 0, 1},
        {'L', I, "7 mm", 3, 1},
        {'T', S, "  12,5 \u00B5m\r\n", 0, 2},
        {'L', S, "  12,5 \u00B5m", 4, 2},
        {'T', U, " in\r\n", 0, 3},
        {'L', U, "0.5 in", 5, 3},
        {'T', I, " mm\n", 0, 4},
        {'L', I, "8 mm", 6, 4},
    };
    EXPECT_EQ(Recorder.Events, expected);
}

// A command's question holds the session: text is held (and told as held),
// nothing reaches the document or the lines' subscribers, and the release
// hands on everything in its order, as if no hold had been.
TEST_F(CaptureSessionTest, HoldKeepsOrderAndLosesNothing) {
    TCaptureSession free{{.DecimalSeparator = [] { return QStringLiteral(","); },
                          .Clock = [this] { return Clock; }}};
    TRecorder unheld;
    free.Subscribe(unheld);
    const auto feed = [&](TCaptureSession& session) {
        Clock = 1;
        Port.Feed("1.5\r\n2.");
        session.SerialReceived(Port, {});
        session.ChunkReceived(U, "3 mm\r");
        Clock = 2;
        session.ChunkReceived(U, "\n");
        Port.Feed("5\n");
        session.SerialReceived(Port, {});
    };
    feed(free);
    {
        const TCaptureSession::THold outer(Session);
        const TCaptureSession::THold inner(Session);
        feed(Session);
        EXPECT_EQ(Session.HeldText(), "1,5\r\n3 mm\r\n2,5\n");
        for (const TEvent& e : Recorder.Events)
            EXPECT_TRUE(e.Kind == 'H' || e.Kind == '+') << e;
    }
    EXPECT_FALSE(Session.Held());
    EXPECT_TRUE(Session.HeldText().isEmpty());
    std::vector<TEvent> released;
    for (const TEvent& e : Recorder.Events)
        if (e.Kind == 'T' || e.Kind == 'L')
            released.push_back(e);
    EXPECT_EQ(released, unheld.Events);
    EXPECT_EQ(Recorder.Events.front().Kind, '+');
    EXPECT_EQ(Recorder.Events.back().Kind, '-');
    free.Unsubscribe(unheld);
}

// However a stream is cut into deliveries, serial or chunked, the lines are
// the same; each takes the time of the delivery its line feed came in.
TEST_F(CaptureSessionTest, AStreamCutAtAnyByteGivesTheSameLines) {
    const QByteArray stream("K65: 0.1657 in\r\n-0.012 mm\r\n\r\n  12.5 um\r\n+4.2");
    for (const TLinkKind link : {S, U}) {
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            TCaptureSession session{{.DecimalSeparator = [] { return QStringLiteral("."); },
                                     .Clock = [this] { return Clock; }}};
            TRecorder recorder;
            session.Subscribe(recorder);
            for (const auto& [part, at] : {std::pair{stream.first(cut), 1}, {stream.mid(cut), 2}}) {
                Clock = at;
                if (link == S) {
                    Port.Feed(part);
                    session.SerialReceived(Port, {});
                } else {
                    session.ChunkReceived(link, part);
                }
            }
            const auto at = [&](qsizetype feed) { return feed < cut ? 1 : 2; };
            // The serial link shows "um" with the micro sign.
            const QString micro = link == S ? "  12.5 \u00B5m" : "  12.5 um";
            const std::vector<TEvent> expected = {{'L', link, "K65: 0.1657 in", at(15), 1},
                                                  {'L', link, "-0.012 mm", at(26), 2},
                                                  {'L', link, "", at(28), 3},
                                                  {'L', link, micro, at(39), 4}};
            EXPECT_EQ(recorder.Lines(), expected) << static_cast<int>(link) << " cut " << cut;
            session.Unsubscribe(recorder);
            Port.Queue.clear();
        }
    }
}

// A converter pulled out mid-line: the document gets a line end, no line
// is told (a value cut short is no reading), and the next bytes begin anew.
TEST_F(CaptureSessionTest, AVanishedLinkEndsItsLineInTheDocumentOnly) {
    Chunk(U, "12.", 1);
    Session.EndLine(U);
    Chunk(U, "5 mm\n", 2);
    Serial("7.", 3);
    Session.EndLine(S);
    const std::vector<TEvent> expected = {
        {'T', U, "12.", 0, 0},  {'T', U, "\r\n", 0, 0},   {'T', U, "5 mm\n", 0, 1},
        {'L', U, "5 mm", 2, 1}, {'T', S, "7.\r\n", 0, 0},
    };
    EXPECT_EQ(Recorder.Events, expected);
}

TEST(LineAssembler, AnEndlessLineIsHandedOnInPieces) {
    struct TLine {
        QString Text;
        qint64 Time;
    };
    std::vector<TLine> lines;
    const auto sink = [&lines](QStringView line, qint64 at) {
        lines.push_back({line.toString(), at});
    };
    TLineAssembler assembler;
    const QString garbage(TLineAssembler::MaxLineLength * 2 + 10, u'x');
    assembler.Feed(garbage.first(100), 1, sink);
    EXPECT_TRUE(lines.empty());
    assembler.Feed(garbage.mid(100) + QStringLiteral("\n5 mm\n"), 2, sink);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].Text.size(), TLineAssembler::MaxLineLength);
    EXPECT_EQ(lines[1].Text.size(), TLineAssembler::MaxLineLength);
    EXPECT_EQ(lines[2].Text, QString(10, u'x'));
    EXPECT_EQ(lines[3].Text, "5 mm");
    EXPECT_EQ(lines[3].Time, 2);
    assembler.Feed(u"7 mm", 3, [](QStringView, qint64) { FAIL(); });
    assembler.Reset();
    EXPECT_FALSE(assembler.HasPartialLine());
}

} // namespace
