// The window under sustained load on a pseudo-terminal "gauge": nothing may
// crash, hang or lose a reading. The readings carry no "um" and no ".", so
// no conversion touches them and every byte sent can be accounted for.
#include "serial/TCOMManager.h"
#include "tests/stress/StressFixture.h"
#include "tests/support/Pty.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include <unistd.h>

namespace {

using namespace stress;
using testing_support::WaitFor;

class StressTest : public TStressFixture {
protected:
    void TearDown() override {
        TStressFixture::TearDown();
        QFile::remove(PortPath());
    }
    static QString PortPath() { return testing_support::PortsFolder() + "/COM9"; }
    // A gauge plugged in as COM9.
    std::unique_ptr<TPty> Plug() {
        auto pty = std::make_unique<TPty>();
        QFile::remove(PortPath());
        EXPECT_FALSE(pty->Path.isEmpty());
        EXPECT_TRUE(QFile::link(pty->Path, PortPath()));
        return pty;
    }
    void Start(int device) {
        TStressFixture::Start(QByteArray("[Config]\nPort=9\nDevice=") + QByteArray::number(device) +
                              "\n");
    }
    // Whether the port manager lists the gauge's port: the program has
    // seen it plugged in (or, when not, pulled out).
    static bool Listed() { return COMManager->HasPort(9); }
};

// Connects and disconnects again and again with a reading on every
// connection: each arrives, none twice, and memory does not grow with the
// cycles.
TEST_F(StressTest, FiveHundredConnectCyclesWithDataOnEach) {
    const std::unique_ptr<TPty> gauge = Plug();
    Start(8); // 57600 baud, no prompt cycle: only the connects are timed
    ASSERT_EQ(Panel0(), "Verbunden...");
    QString expected;
    qint64 warmedUp = 0;
    for (int i = 0; i < 500; ++i) {
        if (i == 50)
            warmedUp = ResidentBytes();
        Action("act_interface_disconneced")->trigger();
        ASSERT_EQ(Panel0(), "Getrennt") << "cycle " << i;
        Action("act_interface_conneced")->trigger();
        ASSERT_EQ(Panel0(), "Verbunden...") << "cycle " << i;
        gauge->Send(Reading(i).toStdString());
        expected += Shown(Reading(i));
        ASSERT_TRUE(WaitFor([&] { return Text().size() >= expected.size(); }, 30000))
            << "cycle " << i;
    }
    EXPECT_EQ(Text(), expected);
    if (kMemoryIsMeasurable) { // 450 cycles of 11 bytes; allocator slack aside
        EXPECT_LT(ResidentBytes() - warmedUp, kMemorySlack);
    }
}

// The gauge is pulled a hundred times in the middle of a line; the window
// notices each time, connects to the next gauge, and shows every reading
// completed before a pull. What the pulled one sent of its line is a line
// of its own when its bytes were taken before the pull, and the next
// gauge's readings begin lines of their own.
TEST_F(StressTest, HundredUnplugsMidStream) {
    std::unique_ptr<TPty> gauge = Plug();
    Start(8);
    ASSERT_EQ(Panel0(), "Verbunden...");
    for (int i = 0; i < 100; ++i) {
        gauge->Send(Reading(i).toStdString());
        const QString shown = QString::fromLatin1(Reading(i).chopped(2)) + "\n";
        ASSERT_TRUE(WaitFor([&] { return Text().endsWith(shown); }, 30000)) << i;
        gauge->Send("x");
        gauge->CloseMaster(); // the hang-up the port sees when a cable is pulled
        QFile::remove(PortPath());
        ASSERT_TRUE(WaitFor([&] { return Panel0() == "Getrennt" && !Listed(); }, 30000))
            << "pull " << i;
        gauge = Plug();
        // Pulled again before the window saw it plugged in, it would never
        // hear of the pull.
        ASSERT_TRUE(WaitFor([&] { return Listed(); }, 30000)) << "plug " << i;
        Action("act_interface_conneced")->trigger();
        ASSERT_EQ(Panel0(), "Verbunden...") << "plug " << i;
    }
    QStringList lines = Text().split(u'\n');
    ASSERT_EQ(lines.takeLast(), "");
    lines.removeAll("x");
    ASSERT_EQ(lines.size(), 100);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(lines[i], QString::fromLatin1(Reading(i).chopped(2))) << i;
}

// A gauge streams as fast as the line takes it, with pauses long enough for
// the prompt cycle to ask it, and it answers at once between two lines, as
// a gauge does. Every reading appears once and in order; no answer does.
TEST_F(StressTest, FullSpeedStreamWithThePromptCycle) {
    const int seconds = qEnvironmentVariableIntValue("BRISQUELL_STRESS_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("BRISQUELL_STRESS_SECONDS")
                            : 15;
    constexpr int kMaxReadings = 300000; // about 3 MB: bounded memory for the document
    const std::unique_ptr<TPty> gauge = Plug();
    Start(3); // 9600 baud on the line's settings, prompt cycle on
    ASSERT_EQ(Panel0(), "Verbunden...");

    std::atomic<int> sent{0};
    std::atomic<int> answered{0};
    std::atomic<bool> streaming{true};
    std::atomic<bool> done{false};
    std::thread device([&] {
        // Answers a prompt request at once; called between whole lines only.
        const auto answer = [&] {
            char request[64];
            const ssize_t n = ::read(gauge->Master(), request, sizeof request);
            if (n > 0 && std::memchr(request, '\x05', static_cast<size_t>(n)) != nullptr) {
                gauge->Send("\r\n> ");
                ++answered;
            }
        };
        const QDeadlineTimer end(seconds * 1000);
        std::string burst;
        while (!end.hasExpired() && sent < kMaxReadings) {
            // Full speed for two seconds (or a tenth of the readings), then
            // quiet long enough for a request.
            const QDeadlineTimer phase(2000);
            const int first = sent;
            while (!phase.hasExpired() && sent < kMaxReadings && sent - first < kMaxReadings / 10) {
                answer();
                burst.clear();
                for (int i = 0; i < 64 && sent + i < kMaxReadings; ++i)
                    burst += Reading(sent + i).toStdString();
                gauge->Send(burst);
                sent += static_cast<int>(burst.size() / 11);
            }
            for (const QDeadlineTimer quiet(1500); !quiet.hasExpired(); ::usleep(10'000))
                answer();
        }
        streaming = false;
        for (; !done; ::usleep(10'000))
            answer();
    });
    struct TJoin {
        std::thread& Thread;
        std::atomic<bool>& Done;
        ~TJoin() {
            Done = true;
            Thread.join();
        }
    } join{device, done};
    // The window's event loop runs meanwhile, as it does for a user.
    ASSERT_TRUE(WaitFor([&] { return !streaming; }, (seconds + 30) * 1000));
    // A busy machine may take long to drain it; a stall is a failure.
    for (int last = -1; Length() < sent * 10;) {
        last = Length();
        ASSERT_TRUE(WaitFor([&] { return Length() > last; }, 30000))
            << Length() << " of " << sent * 10 << ", ending " << Text().right(40).toStdString();
    }
    // Quiet now: requests go out every second and their answers are dropped.
    const int before = answered;
    ASSERT_TRUE(WaitFor([&] { return answered >= before + 2; }, 30000));
    ASSERT_TRUE(WaitFor([&] { return Find<QTimer>("PromptTime")->isActive(); }, 10000));

    QString expected;
    expected.reserve(sent * 10);
    for (int i = 0; i < sent; ++i)
        expected += Shown(Reading(i));
    EXPECT_EQ(Text().size(), expected.size());
    EXPECT_TRUE(Text() == expected) << "a reading lost, doubled or an answer shown";
    EXPECT_GT(sent, 10000);
    EXPECT_EQ(Panel0(), "Verbunden...") << "every request was answered";
    RecordProperty("readings", sent.load());
    RecordProperty("prompts_answered", answered.load());
}

} // namespace
