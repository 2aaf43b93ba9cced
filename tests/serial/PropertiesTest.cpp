#include "serial/CommRecords.h"
#include "serial/ReceiveQueue.h"
#include "serial/TSerial.h"
#include "tests/serial/PtyPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using namespace CommEvent;

TEST(SerialSetters, BaudrateSnapsAndNeverDividesByZero) {
    TSerial s;
    const std::pair<int, int> cases[] = {{9600, 9600},
                                         {19200, 19200},
                                         {115200, 115200},
                                         {921600, 921600},
                                         {56000, 56195},
                                         {100000, 100173},
                                         {1000000, 921600},
                                         {2000000, 921600},
                                         {-5, 50},
                                         {0, 50},
                                         {9216000, 921600},
                                         {9216001, 921600},
                                         {INT32_MAX, 921600},
                                         {-9216001, 50},
                                         {INT32_MIN, 50},
                                         {1, 50}};
    for (const auto& [in, out] : cases) {
        s.SetBaudrate(in);
        EXPECT_EQ(s.Baudrate(), out) << in;
    }
}

TEST(SerialSetters, QueueSizesPullTheFlowLimitsInside) {
    TSerial s;
    EXPECT_EQ(s.BufSizeRec(), 16384);
    EXPECT_EQ(s.XOffLimit(), 8192);
    EXPECT_EQ(s.XOnLimit(), 512);
    s.SetBufSizeRec(1000);
    EXPECT_EQ(s.BufSizeRec(), 4096);
    EXPECT_EQ(s.XOffLimit(), 4096);
    EXPECT_EQ(s.XOnLimit(), 512);
    s.SetXOnLimit(4000);
    s.SetBufSizeRec(4096);
    EXPECT_EQ(s.XOnLimit(), 4000);
    s.SetXOffLimit(300); // not above XOnLimit
    EXPECT_EQ(s.XOffLimit(), 4001);
    s.SetBufSizeTrm(12);
    EXPECT_EQ(s.BufSizeTrm(), 4096);
}

TEST(SerialSetters, FormOrderEndsWithTheFormLimits) {
    TSerial s;
    s.SetBufSizeRec(4096);
    s.SetXOffLimit(1600);
    s.SetXOnLimit(400);
    EXPECT_EQ(s.XOffLimit(), 1600);
    EXPECT_EQ(s.XOnLimit(), 400);
    s.SetXOnLimit(400);
    s.SetXOffLimit(300);
    EXPECT_EQ(s.XOffLimit(), 401);
    s.SetXOffLimit(1600);
    s.SetXOnLimit(5000);
    EXPECT_EQ(s.XOnLimit(), 1599);
    s.SetXOnLimit(-7);
    EXPECT_EQ(s.XOnLimit(), 0);
}

TEST(SerialSetters, ClampedAndFollowingValues) {
    TSerial s;
    s.SetBufSizeRec(4096);
    s.SetDataSize(100000);
    EXPECT_EQ(s.DataSize(), 4096);
    s.SetDataSize(-1);
    EXPECT_EQ(s.DataSize(), 0);
    s.SetRecTimeOut(-3);
    s.SetTrmTimeOut(-3);
    EXPECT_EQ(s.RecTimeOut(), 0);
    EXPECT_EQ(s.TrmTimeOut(), 0);
    s.SetParityBit(TParityBit::even);
    EXPECT_TRUE(s.ParityCheck());
    s.SetParityBit(TParityBit::none);
    EXPECT_FALSE(s.ParityCheck());
}

TEST(SerialSetters, ClassDefaults) {
    TSerial s;
    EXPECT_TRUE(s.IsNT());
    EXPECT_FALSE(s.Active());
    EXPECT_EQ(s.Baudrate(), 9600);
    EXPECT_EQ(s.DataBits(), TDataBits::db_8);
    EXPECT_EQ(s.BufSizeTrm(), 16384);
    EXPECT_EQ(s.XOnChar(), 0x11);
    EXPECT_EQ(s.XOffChar(), 0x13);
    EXPECT_EQ(s.ErrorChar(), '?');
    EXPECT_EQ(s.EofChar(), 0x1A);
    EXPECT_EQ(s.EventChar(), 0x0D);
    EXPECT_TRUE(s.EnableEvents());
    EXPECT_TRUE(s.SyncWait());
    EXPECT_FALSE(s.SyncEventHandling());
    EXPECT_EQ(s.ThreadPriority(), TThreadPriority::tpNormal);
}

TSerialSettings Line(bool RtsCts, bool DtrDsr, bool XOnXOff, bool Rts, bool Dtr) {
    TSerial s;
    s.SetHandshakeRtsCts(RtsCts);
    s.SetHandshakeDtrDsr(DtrDsr);
    s.SetHandshakeXOnXOff(XOnXOff);
    s.SetRTSActive(Rts);
    s.SetDTRActive(Dtr);
    TSerialSettings settings;
    s.GetSettings(settings);
    return settings;
}

TEST(SerialDCB, FlagsWordFollowsTheHandshakes) {
    struct TCase {
        TSerialSettings Settings;
        uint32_t Flags;
    };
    const TCase cases[] = {
        {Line(false, false, false, false, false), 0x0001},
        {Line(false, false, false, true, true), 0x0001 | 1u << 4 | 1u << 12},
        {Line(true, false, false, false, false), 0x0001 | 0x0004 | 2u << 12},
        {Line(true, false, false, true, true), 0x0001 | 0x0004 | 1u << 4 | 2u << 12},
        {Line(false, true, false, false, false), 0x0001 | 0x0008 | 2u << 4},
        {Line(false, false, true, true, false), 0x0001 | 0x0100 | 0x0200 | 1u << 12},
        {Line(true, true, true, true, true),
         0x0001 | 0x0004 | 0x0008 | 2u << 4 | 0x0300 | 2u << 12},
    };
    for (const TCase& c : cases) {
        TDCB dcb;
        ASSERT_TRUE(MakeDCB(c.Settings, dcb));
        EXPECT_EQ(dcb.Flags, c.Flags);
    }
}

TEST(SerialDCB, FieldsComeFromTheSettings) {
    TSerial s;
    s.SetBaudrate(56000);
    s.SetDataBits(TDataBits::db_7);
    s.SetParityBit(TParityBit::space);
    s.SetStopBits(TStopBits::sb_2);
    s.SetContinueOnXOff(true);
    s.SetUseErrorChar(true);
    s.SetEliminateNullChar(true);
    s.SetAbortOnError(true);
    s.SetBufSizeRec(200000);
    s.SetXOffLimit(70000);
    s.SetXOnLimit(300);
    TSerialSettings settings;
    s.GetSettings(settings);
    TDCB dcb;
    ASSERT_TRUE(MakeDCB(settings, dcb));
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 56195u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, 4);
    EXPECT_EQ(dcb.StopBits, 2);
    EXPECT_EQ(dcb.Flags, 0x0001u | 0x0002 | 0x0080 | 0x0400 | 0x0800 | 0x4000);
    EXPECT_EQ(dcb.XoffLim, 70000 & 0xFFFF);
    EXPECT_EQ(dcb.XonLim, 300);
    EXPECT_EQ(dcb.EvtChar, 0x0D);
}

TEST(SerialDCB, ModeTextParses) {
    TDCB dcb;
    ASSERT_TRUE(BuildCommDCB("baud=1200 parity=E data=7 stop=2", dcb));
    EXPECT_EQ(dcb.BaudRate, 1200u);
    EXPECT_EQ(dcb.Parity, 2);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.StopBits, 2);
    EXPECT_FALSE(BuildCommDCB("baud=fast", dcb));
    EXPECT_FALSE(BuildCommDCB("colour=blue", dcb));
}

TEST(SerialTimeouts, PerByteValueFollowsTheRate) {
    EXPECT_EQ(MakeTimeouts(9600, 100, 0), (TCommTimeouts{100, 1, 100, 0, 0}));
    EXPECT_EQ(MakeTimeouts(1200, 100, 0), (TCommTimeouts{100, 10, 100, 0, 0}));
    EXPECT_EQ(MakeTimeouts(115200, 0, 50), (TCommTimeouts{0, 0, 0, 1, 50}));
    EXPECT_EQ(MakeTimeouts(9600, 0, 0), TCommTimeouts{});
}

std::vector<uint8_t> Drain(TReceiveQueue& Q) {
    std::vector<uint8_t> out(static_cast<size_t>(Q.Count()));
    Q.Take(out.data(), Q.Count());
    return out;
}

TEST(SerialReceiveQueue, MarkedInputGivesBreaksErrorsAndData) {
    TReceiveQueue q(64, {'\r', false, false, '?'});
    const uint8_t breakThenData[] = {'a', 0xFF, 0x00, 0x00, 'b'};
    EXPECT_EQ(q.Put(breakThenData, 5), EV_RXCHAR | EV_BREAK);
    EXPECT_EQ(Drain(q), (std::vector<uint8_t>{'a', 'b'}));
    // A mark split across two reads, and an escaped 0xFF.
    const uint8_t first[] = {0xFF, 0x00};
    const uint8_t second[] = {'x', 0xFF, 0xFF, '\r'};
    EXPECT_EQ(q.Put(first, 2), 0u);
    EXPECT_EQ(q.Put(second, 4), EV_ERR | EV_RXCHAR | EV_RXFLAG);
    EXPECT_EQ(Drain(q), (std::vector<uint8_t>{'x', 0xFF, '\r'}));
    // Unmarked input (a pseudo-terminal's) is data as it comes.
    TReceiveQueue unmarked(64, {'\r', false, false, '?', false});
    EXPECT_EQ(unmarked.Put(breakThenData, 5), EV_RXCHAR);
    EXPECT_EQ(Drain(unmarked), (std::vector<uint8_t>{'a', 0xFF, 0x00, 0x00, 'b'}));
}

TEST(SerialReceiveQueue, ErrorCharNullsAndWrapAround) {
    TReceiveQueue q(4, {'\r', true, true, '?'});
    const uint8_t in[] = {'1', 0, 0xFF, 0, 'z', '2'};
    EXPECT_EQ(q.Put(in, 6), EV_RXCHAR | EV_ERR);
    uint8_t out[4] = {};
    EXPECT_EQ(q.Take(out, 2), 2);
    EXPECT_EQ(out[1], '?');
    const uint8_t more[] = {'3', '4', '5'};
    q.Put(more, 2); // wraps around the end of the ring
    EXPECT_EQ(q.Free(), 1);
    EXPECT_EQ(Drain(q), (std::vector<uint8_t>{'2', '3', '4'}));
}

// Random reads into a small ring, against decoding the marked input one
// byte at a time by the rules: the bulk copy must wrap, flag and stop at
// marks exactly as the byte-wise decoder does.
TEST(SerialReceiveQueue, ChunksGiveWhatByteWiseDecodingGives) {
    std::mt19937 random(20261208);
    const uint8_t alphabet[] = {'a', '\r', 0x00, 0xFF, '7'};
    for (int round = 0; round < 200; ++round) {
        const bool dropNulls = round % 4 == 0;
        TReceiveQueue q(1 + static_cast<int>(random() % 9), {'\r', dropNulls, false, '?'});
        std::vector<uint8_t> expected, got;
        int mark = 0; // the model's position in a mark sequence
        for (int read = 0; read < 30; ++read) {
            // Escaped 0xFF may halve what comes out: ask for at most Free() raw bytes.
            std::vector<uint8_t> raw(random() % static_cast<unsigned>(q.Free() + 1));
            for (uint8_t& b : raw)
                b = alphabet[random() % (round % 2 ? 5 : 2)];
            uint32_t events = 0;
            const size_t before = expected.size();
            for (const uint8_t b : raw) {
                if (mark == 1 && b != 0) {
                    mark = 0; // an escaped 0xFF, or a byte that cannot follow a mark
                } else if (mark == 2) {
                    mark = 0;
                    events |= b == 0 ? EV_BREAK : EV_ERR;
                    if (b == 0)
                        continue;
                } else if (mark == 0 && b == 0xFF) {
                    mark = 1;
                    continue;
                } else if (mark == 1) {
                    mark = 2;
                    continue;
                }
                if (!(dropNulls && b == 0))
                    expected.push_back(b);
            }
            if (expected.size() > before)
                events |= EV_RXCHAR;
            if (std::find(expected.begin() + static_cast<std::ptrdiff_t>(before), expected.end(),
                          '\r') != expected.end())
                events |= EV_RXFLAG;
            ASSERT_EQ(q.Put(raw.data(), static_cast<int>(raw.size())), events) << round;
            std::vector<uint8_t> out(random() % static_cast<unsigned>(q.Count() + 1));
            out.resize(static_cast<size_t>(q.Take(out.data(), static_cast<int>(out.size()))));
            got.insert(got.end(), out.begin(), out.end());
        }
        const std::vector<uint8_t> rest = Drain(q);
        got.insert(got.end(), rest.begin(), rest.end());
        ASSERT_EQ(got, expected) << round;
    }
}

class SerialPorts : public ::testing::Test {
protected:
    TPtyPort Com3{3};
    TPtyPort Com5{5};
    TTestManager Manager;
    void SetUp() override { COMManager->Scan(20); }
};

TEST_F(SerialPorts, NewComponentTakesTheFirstListedPort) {
    TSerial s;
    EXPECT_EQ(s.COMPort(), 3);
    s.SetCOMPort(7);
    EXPECT_EQ(s.COMPort(), 3);
    s.SetCOMPort(5);
    EXPECT_EQ(s.COMPort(), 5);
    s.SelectPortIndex(0);
    EXPECT_EQ(s.COMPort(), 3);
    s.SelectPortIndex(2);
    EXPECT_EQ(s.COMPort(), 3);
    s.SetCOMPort(0);
    EXPECT_EQ(s.COMPort(), 0);
    EXPECT_FALSE(s.Open());
}

TEST(SerialNoPorts, EmptyListGivesPortZeroAndClosedAnswers) {
    TTestManager manager;
    TSerial s;
    EXPECT_EQ(s.COMPort(), 0);
    EXPECT_FALSE(s.Open());
    EXPECT_EQ(s.BoundReadBuf(), &TSerial::ReadBufNone);
    char buf[4] = {};
    EXPECT_EQ(s.ReadBuf(buf, 4), 0);
    EXPECT_EQ(s.WriteBuf("ab", 2), 0);
    EXPECT_EQ(s.WriteString("ab"), 0);
    QByteArray text = "old";
    s.ReadString(text);
    EXPECT_TRUE(text.isEmpty());
    int rec = -1, trm = -1;
    s.QueueStatus(rec, trm);
    EXPECT_EQ(rec, 0);
    EXPECT_EQ(trm, 0);
    EXPECT_EQ(s.RecCount(), 0);
}

} // namespace
