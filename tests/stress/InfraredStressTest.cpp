// The infrared link under sustained load: gauges come into range of the
// IrCOMM service, send and go, hundreds of times. Nothing may be lost,
// doubled or left behind (sockets, memory), and the status bar only ever
// says "Warte..." or "Verbunden...".
#include "tests/stress/StressFixture.h"

#include <QByteArrayView>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace stress;
using testing_support::WaitFor;

// A gauge in range: a stream connection to the service socket, as an IrDA
// bridge makes one. Leaving (or going out of scope) closes it.
class TIrPeer {
public:
    TIrPeer() {
        const QByteArray path = (testing_support::RuntimeDir() + "/Brisquell/IrCOMM").toLocal8Bit();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path))
            return;
        std::copy(path.begin(), path.end(), address.sun_path);
        FFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (FFd >= 0 &&
            ::connect(FFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            Leave();
    }
    ~TIrPeer() { Leave(); }
    TIrPeer(const TIrPeer&) = delete;
    TIrPeer& operator=(const TIrPeer&) = delete;

    bool Connected() const { return FFd >= 0; }
    bool Send(QByteArrayView bytes) {
        while (FFd >= 0 && !bytes.isEmpty()) {
            const ssize_t n = ::send(FFd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n < 0 && errno != EINTR)
                return false;
            bytes = bytes.sliced(std::max<ssize_t>(n, 0));
        }
        return FFd >= 0;
    }
    void Leave() {
        if (FFd >= 0)
            ::close(FFd);
        FFd = -1;
    }

private:
    int FFd = -1;
};

class InfraredStressTest : public TStressFixture {
protected:
    void StartInfrared() {
        Start("[Config]\nDevice=9\n");
        ASSERT_EQ(Panel0(), "Warte...");
    }
    // Waits for cond while the status bar is watched: any text but the two
    // of the infrared link is remembered in Strange.
    template <typename Cond> bool Settles(Cond cond) {
        return WaitFor(
            [&] {
                const QString panel = Panel0();
                if (panel != "Warte..." && panel != "Verbunden...")
                    Strange = panel;
                return cond();
            },
            30000);
    }
    bool Waiting() { return Panel0() == "Warte..."; }
    bool Connected() { return Panel0() == "Verbunden..."; }

    QString Strange;
};

// Each gauge connects, sends one reading and leaves: once the window took
// it, before the window took it (the reading and the end wait together in
// the socket), once the reading is shown, or as the next gauge arrives,
// which replaces it whether it left or not. Each reading appears once and in
// order, every connection is closed again, and memory does not grow.
TEST_F(InfraredStressTest, FiveHundredGaugesConnectSendAndLeave) {
    enum class TPace {
        LeavesOnceTaken,
        LeavesBeforeTaken,
        LeavesOnceShown,
        Replaced,
        LeavesAsReplaced
    };
    constexpr std::array kPaces{TPace::LeavesOnceTaken, TPace::LeavesBeforeTaken,
                                TPace::LeavesOnceShown, TPace::Replaced, TPace::LeavesAsReplaced};
    StartInfrared();
    const qsizetype sockets = OpenSockets();
    QString expected;
    qint64 warmedUp = 0;
    std::unique_ptr<TIrPeer> gauge;
    for (int i = 0; i < 500; ++i) {
        if (i == 50)
            warmedUp = ResidentBytes();
        const TPace pace = kPaces[i % kPaces.size()];
        gauge = std::make_unique<TIrPeer>(); // the one before, if any, is closed after this came
        ASSERT_TRUE(gauge->Connected()) << "gauge " << i;
        if (pace != TPace::LeavesBeforeTaken) {
            ASSERT_TRUE(Settles([&] { return Connected(); })) << "gauge " << i;
        }
        ASSERT_TRUE(gauge->Send(Reading(i)));
        expected += Shown(Reading(i));
        if (pace == TPace::LeavesOnceShown) {
            ASSERT_TRUE(Settles([&] { return Length() == expected.size(); })) << "gauge " << i;
        }
        if (pace != TPace::Replaced)
            gauge->Leave();
        if (pace == TPace::Replaced || pace == TPace::LeavesAsReplaced)
            continue; // the next gauge comes at once
        ASSERT_TRUE(Settles([&] { return Waiting() && Length() == expected.size(); }))
            << "gauge " << i << ": " << Panel0().toStdString() << ", ending "
            << Text().right(30).toStdString();
    }
    gauge.reset();
    ASSERT_TRUE(Settles([&] { return Waiting() && Length() == expected.size(); }))
        << Text().right(30).toStdString();
    EXPECT_EQ(Text(), expected);
    EXPECT_EQ(Strange, "") << "the status bar left the infrared link's two states";
    EXPECT_TRUE(WaitFor([&] { return OpenSockets() == sockets; }))
        << OpenSockets() << " sockets open, " << sockets << " before";
    if (kMemoryIsMeasurable) {
        EXPECT_LT(ResidentBytes() - warmedUp, kMemorySlack);
    }
}

// A hundred gauges each stream a few readings and go out of range in the
// middle of the next one. What they sent before leaving is all there, the
// broken line included (infrared text is inserted as it comes), and the next
// gauge's reading goes on from it.
TEST_F(InfraredStressTest, HundredGaugesLeaveInTheMiddleOfALine) {
    StartInfrared();
    QString expected;
    int next = 0;
    for (int i = 0; i < 100; ++i) {
        TIrPeer gauge;
        ASSERT_TRUE(gauge.Connected()) << "gauge " << i;
        ASSERT_TRUE(Settles([&] { return Connected(); })) << "gauge " << i;
        for (int k = 0; k <= i % 4; ++k, ++next) {
            ASSERT_TRUE(gauge.Send(Reading(next)));
            expected += Shown(Reading(next));
        }
        const QByteArray half = Reading(next++).left(5);
        ASSERT_TRUE(gauge.Send(half));
        expected += QString::fromLatin1(half);
        gauge.Leave();
        ASSERT_TRUE(Settles([&] { return Waiting() && Length() == expected.size(); }))
            << "gauge " << i << ": " << Panel0().toStdString() << ", ending "
            << Text().right(30).toStdString();
    }
    EXPECT_EQ(Text(), expected);
    EXPECT_EQ(Strange, "") << "the status bar left the infrared link's two states";
}

} // namespace
