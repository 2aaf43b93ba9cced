// The typing queue with a typer that records what it is given: which lines
// are typed and how, in which order, and what is left out and why.
#include "tests/support/TestEnvironment.h"
#include "tests/wedge/WedgeProbe.h"
#include "wedge/KeyboardWedge.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace wedge;

namespace {

// What the recording typer was given, shared with the test; it can hold
// the typing thread in its first reading until the test lets it go.
struct TRecord {
    std::mutex Mutex;
    std::condition_variable Released;
    bool Hold = false;
    bool Holding = false;
    std::vector<TKeystrokes> Typed;
};

class TRecordingTyper : public TKeyTyper {
public:
    explicit TRecordingTyper(std::shared_ptr<TRecord> record) : FRecord(std::move(record)) {}
    void Open() override { Opened(std::nullopt); }
    std::optional<TWedgeReport> Type(const TKeystrokes& keystrokes) override {
        std::unique_lock lock(FRecord->Mutex);
        FRecord->Holding = FRecord->Hold;
        FRecord->Released.wait(lock, [&] { return !FRecord->Hold; });
        FRecord->Holding = false;
        FRecord->Typed.push_back(keystrokes);
        return std::nullopt;
    }

private:
    std::shared_ptr<TRecord> FRecord;
};

QString Repeated(const QString& text, int times) {
    QString result;
    for (int i = 0; i < times; ++i)
        result += text;
    return result;
}

struct TCase {
    const char* Name;
    TWedgeOptions Options;
    QStringList Lines;
    QStringList Typed;
    QList<TWedgeReport> Reports;
    int Denied = 0;         // readings the gate says no to, the first ones
    bool HoldFirst = false; // the first reading is held until all are handed over
};

TWedgeOptions Whole(TWedgeKey key = TWedgeKey::Enter) {
    return {TWedgeWhat::WholeLine, key, u'.'};
}

const QString Sixty4 = Repeated(QStringLiteral("12345678"), 8);
const QString Bmp63 = Repeated(QStringLiteral("µ"), 63);
const QString Astral = QString::fromUcs4(U"\U0001D7D9"); // one character, two UTF-16 units

QStringList Numbered(int count) {
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("%1 mm").arg(i);
    return lines;
}

const QList<TCase>& Cases() {
    static const QList<TCase> cases = {
        {"in order, blanks and line ends cut",
         Whole(),
         {"  12,5 µm\r\n", "\t+10.000 mm ", "IR K7X: +4.210 mm\n", "   \r\n", "7 mm"},
         {"12,5 µm", "+10.000 mm", "IR K7X: +4.210 mm", "7 mm"},
         {}},
        {"the value alone, with the user's separator",
         {TWedgeWhat::ValueOnly, TWedgeKey::Tab, u','},
         {"IR K7X: +4.210 mm", "USB K65: 0.1657 in", "  12,5 µm", "> ", "Suche Gerät", "-3 mm"},
         {"+4,210", "0,1657", "12,5", "-3"},
         {{TWedgeReason::NoValue, ">"}, {TWedgeReason::NoValue, "Suche Gerät"}}},
        {"64 characters at most, counted as characters",
         Whole(TWedgeKey::None),
         {Sixty4, Sixty4 + "9", Bmp63 + Astral, Bmp63 + Astral + "x", "  " + Sixty4 + "  "},
         {Sixty4, Bmp63 + Astral, Sixty4},
         {{TWedgeReason::TooLong, "65"}, {TWedgeReason::TooLong, "65"}}},
        {"nothing but printable text reaches the target",
         Whole(),
         {"12.5\x05mm", "\x1b[2J", "1\u202E2 mm", QString("4 ") + QChar(0xD800) + "mm",
          QString("5") + QChar(0x2028) + "mm", QString("6") + QChar(0x81) + "mm", "7\tmm", "8 mm"},
         {"8 mm"},
         {{TWedgeReason::ControlCharacter, "U+0005"},
          {TWedgeReason::ControlCharacter, "U+001B"},
          {TWedgeReason::ControlCharacter, "U+202E"},
          {TWedgeReason::ControlCharacter, "U+D800"},
          {TWedgeReason::ControlCharacter, "U+2028"},
          {TWedgeReason::ControlCharacter, "U+0081"},
          {TWedgeReason::ControlCharacter, "U+0009"}}},
        {"nothing while the owner says no", Whole(), {"1 mm", "2 mm", "3 mm"}, {"3 mm"}, {}, 2},
        // One reading is being typed, 100 wait: the next one is one too many.
        {"a runaway stream turns typing off",
         Whole(),
         Numbered(102),
         {"0 mm"},
         {{TWedgeReason::QueueFull, "100"}},
         0,
         true},
    };
    return cases;
}

TEST(WedgeQueueTest, TypesWhatALineHoldsInOrderAndReportsWhatItLeavesOut) {
    for (const TCase& row : Cases()) {
        SCOPED_TRACE(row.Name);
        auto record = std::make_shared<TRecord>();
        record->Hold = row.HoldFirst;
        std::atomic<int> asked = 0;
        auto wedge = std::make_unique<TKeyboardWedge>(
            [&] { return asked++ >= row.Denied; },
            [record] { return std::make_unique<TRecordingTyper>(record); });
        TWedgeProbe probe(*wedge);
        wedge->SetOptions(row.Options);
        wedge->Submit("before it is on");
        wedge->Start();
        ASSERT_TRUE(probe.WaitForState(TWedgeState::On));
        for (qsizetype i = 0; i < row.Lines.size(); ++i) {
            wedge->Submit(row.Lines[i]);
            if (i == 0 && row.HoldFirst) {
                ASSERT_TRUE(testing_support::WaitFor([&] {
                    const std::lock_guard lock(record->Mutex);
                    return record->Holding;
                }));
            }
        }
        if (row.HoldFirst) {
            EXPECT_EQ(wedge->State(), TWedgeState::Off);
            EXPECT_EQ(probe.States.back(), TWedgeState::Off);
            wedge->Submit("after it turned off");
            {
                const std::lock_guard lock(record->Mutex);
                record->Hold = false;
            }
            record->Released.notify_all();
        } else {
            // A last reading that must come through: everything before it
            // has been dealt with then.
            wedge->Submit("999 mm");
            ASSERT_TRUE(
                probe.WaitForTyped(row.Options.What == TWedgeWhat::WholeLine ? "999 mm" : "999"));
            EXPECT_EQ(wedge->State(), TWedgeState::On);
            EXPECT_EQ(probe.HeldBack.size(), row.Denied);
        }
        wedge.reset(); // waits for the typing thread
        QStringList typed;
        for (const TKeystrokes& keystrokes : record->Typed) {
            EXPECT_EQ(keystrokes.Key, row.Options.Key);
            typed << keystrokes.Text;
        }
        if (!row.HoldFirst)
            typed.removeLast();
        EXPECT_EQ(typed, row.Typed);
        EXPECT_EQ(probe.Reports, row.Reports);
    }
}

} // namespace
