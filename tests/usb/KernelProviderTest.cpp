// The converter library over the kernel's ttys, through the binding as the
// program uses it, against a fake sysfs tree whose ttyUSB ports are
// pseudo-terminals.
#include "usb/D2XXUnit.h"
#include "usb/USBReceiveThread.h"

#include "platform/TThread.h"
#include "tests/app/FakeDialogs.h"
#include "tests/support/Pty.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestEnvironment.h"
#include "tests/usb/FakeSysfs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QTemporaryDir>

#include <asm/termbits.h>
#include <dlfcn.h>
#include <sys/file.h>
#include <sys/ioctl.h>

using namespace d2xx;
using testing_support::WaitFor;

namespace {

constexpr DWORD kListNumberOnly = 0x80000000;
constexpr DWORD kListByIndex = 0x40000000;

class KernelProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetMainThread();
        ASSERT_TRUE(Unit.D2xx_Load()) << "all 27 entry points";
        Unit.D2xxReportErrors = false;
    }
    void Add(TPty& pty, const TFakeSysfs::TPort& port) {
        ASSERT_FALSE(pty.Path.isEmpty());
        Sysfs.Add(port, pty.Path.toStdString());
    }
    FT_STATUS Open(const char* description, FT_HANDLE& handle) {
        handle = nullptr;
        return Unit.Open_USB_Device_By_Device_Description(handle, description);
    }
    // The bytes the converter port of handle received, read back.
    std::string Read(FT_HANDLE handle, DWORD count) {
        std::string bytes(count, '\0');
        bytes.resize(Unit.D2xx_Read(handle, bytes.data(), count));
        return bytes;
    }
    template <typename F> F Entry(TD2xxEntry entry) {
        const F function = Unit.Entry<F>(entry);
        EXPECT_NE(function, nullptr);
        return function;
    }

    TFakeSysfs Sysfs;
    TScopedEnv Root{"BRISQUELL_SYSFS_ROOT", Sysfs.Root().c_str()};
    TFakeDialogs Dialogs;
    TD2xxUnit Unit{Dialogs, BRISQUELL_PROVIDER};
};

const TFakeSysfs::TPort kSingle{10, "1-1", "Velmarod K65", "FTA1"};
const TFakeSysfs::TPort kDualA{3, "1-2", "Velmarod K65", "FTB2", 0, 2};
const TFakeSysfs::TPort kDualB{4, "1-2", "Velmarod K65", "FTB2", 1, 2};
// Another maker's converter under the same name is not ours to open.
const TFakeSysfs::TPort kOtherDriver{5, "1-3", "Velmarod K6", "PL1", 0, 1, "pl2303"};

} // namespace

TEST_F(KernelProviderTest, OpensTheConverterWhoseWholeDescriptionMatches) {
    TPty single, dualA, dualB, other;
    Add(single, kSingle);
    Add(dualA, kDualA);
    Add(dualB, kDualB);
    Add(other, kOtherDriver);

    DWORD count = 0;
    const auto list = Entry<TFT_ListDevices>(TD2xxEntry::FT_ListDevices);
    ASSERT_EQ(list(&count, nullptr, kListNumberOnly), FT_OK);
    EXPECT_EQ(count, 3u);
    std::vector<std::string> names;
    for (std::uintptr_t i = 0; i < 4; ++i) {
        char name[64] = {};
        if (list(reinterpret_cast<void*>(i), name, kListByIndex | FT_OPEN_BY_DESCRIPTION) == FT_OK)
            names.emplace_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Velmarod K65 A", "Velmarod K65 B", "Velmarod K65"}))
        << "by ttyUSB number, the ports of a dual chip lettered";

    const struct {
        const char* Description;
        FT_STATUS Status;
        TPty* Port;
    } cases[] = {
        {"Velmarod K65", FT_OK, &single},
        {"Velmarod K65 A", FT_OK, &dualA},
        {"Velmarod K65 B", FT_OK, &dualB},
        {"Velmarod K6", FT_DEVICE_NOT_FOUND, nullptr},
        {"Velmarod K65 C", FT_DEVICE_NOT_FOUND, nullptr},
        {"velmarod k65", FT_DEVICE_NOT_FOUND, nullptr},
        {"", FT_DEVICE_NOT_FOUND, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Description);
        FT_HANDLE handle = nullptr;
        ASSERT_EQ(Open(c.Description, handle), c.Status);
        if (c.Port == nullptr) {
            EXPECT_EQ(handle, nullptr);
            continue;
        }
        // The gauge on that very port is heard, and hears us.
        Unit.D2xx_SetTimeouts(handle, 5000, 5000);
        c.Port->Send("x");
        EXPECT_EQ(Read(handle, 1), "x");
        char hello[] = "hi";
        DWORD written = 0;
        EXPECT_EQ(Entry<TFT_Write>(TD2xxEntry::FT_Write)(handle, hello, 2, &written), FT_OK);
        EXPECT_EQ(c.Port->Receive(2), "hi");
        EXPECT_EQ(Unit.D2xx_Close(handle), FT_OK);
        EXPECT_EQ(Unit.D2xx_Close(handle), FT_INVALID_HANDLE) << "a closed handle is refused";
    }
}

// Settings land in the tty's termios, as the driver would send them to the
// chip; what a tty cannot do is refused or, where harmless, accepted.
TEST_F(KernelProviderTest, SettingsReachTheTtyAndTheReadTimeOutHolds) {
    TPty port;
    Add(port, kSingle);
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(Open("Velmarod K65", handle), FT_OK);
    const auto termios = [&] {
        struct termios2 tio {};
        EXPECT_EQ(::ioctl(port.Slave(), TCGETS2, &tio), 0);
        return tio;
    };
    EXPECT_EQ(Unit.D2xx_SetBaudRate(handle, 1200), FT_OK);
    EXPECT_EQ(Unit.D2xx_SetDataCharacteristics(handle, 7, 2, 2), FT_OK); // 7E2
    termios2 tio = termios();
    EXPECT_EQ(tio.c_ospeed, 1200u);
    // A pseudo-terminal keeps 8 bits without parity bit whatever it is told;
    // the stop bits and the kind of parity it keeps.
    EXPECT_EQ(tio.c_cflag & (CSTOPB | PARODD | CMSPAR), CSTOPB);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u) << "raw";
    EXPECT_EQ(Unit.D2xx_SetDataCharacteristics(handle, 8, 0, 3), FT_OK); // 8M1
    EXPECT_EQ(termios().c_cflag & (CSTOPB | PARODD | CMSPAR), PARODD | CMSPAR);
    EXPECT_EQ(Unit.D2xx_SetDataCharacteristics(handle, 9, 0, 0), FT_INVALID_PARAMETER);
    EXPECT_EQ(Unit.D2xx_SetDataCharacteristics(handle, 8, 1, 0), FT_INVALID_PARAMETER);
    EXPECT_EQ(Unit.D2xx_SetBaudRate(handle, 0), FT_INVALID_BAUD_RATE);

    EXPECT_EQ(Unit.D2xx_SetFlowControl(handle, 0x400, 0x11, 0x13), FT_OK);
    tio = termios();
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), IXON | IXOFF);
    EXPECT_EQ(tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(Unit.D2xx_SetFlowControl(handle, 0x100, 0, 0), FT_OK);
    EXPECT_EQ(termios().c_cflag & CRTSCTS, CRTSCTS);
    EXPECT_EQ(termios().c_iflag & IXON, 0u);
    EXPECT_EQ(Unit.D2xx_SetFlowControl(handle, 0x200, 0, 0), FT_NOT_SUPPORTED);

    // The driver's attribute where we may write it.
    EXPECT_EQ(Unit.D2xx_SetLatencyTimer(handle, 10), FT_OK);
    EXPECT_EQ(Sysfs.LatencyTimer(kSingle), "10");
    // A pseudo-terminal has no modem lines or breaks: tolerated.
    for (const auto entry :
         {TD2xxEntry::FT_SetDtr, TD2xxEntry::FT_ClrDtr, TD2xxEntry::FT_SetRts,
          TD2xxEntry::FT_ClrRts, TD2xxEntry::FT_SetBreakOn, TD2xxEntry::FT_SetBreakOff})
        EXPECT_EQ(Entry<TFT_HandleOnly>(entry)(handle), FT_OK);
    EXPECT_EQ(Unit.D2xx_SetUSBParameters(handle, 32, 32), FT_OK);
    const auto bitMode = Entry<TFT_SetBitMode>(TD2xxEntry::FT_SetBitMode);
    EXPECT_EQ(bitMode(handle, 0, 0), FT_OK);
    EXPECT_EQ(bitMode(handle, 0xff, 1), FT_NOT_SUPPORTED);
    EXPECT_EQ(bitMode(nullptr, 0, 0), FT_INVALID_HANDLE);

    // The queues, and a purge that empties the receive queue.
    port.Send("abc");
    DWORD waiting = 0;
    const auto queue = Entry<TFT_GetQueueStatus>(TD2xxEntry::FT_GetQueueStatus);
    ASSERT_TRUE(WaitFor([&] { return queue(handle, &waiting) == FT_OK && waiting == 3; }));
    EXPECT_EQ(Entry<TFT_Purge>(TD2xxEntry::FT_Purge)(handle, 1), FT_OK);
    EXPECT_EQ(queue(handle, &waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);

    // A read of more than came returns what came once the time-out is over.
    EXPECT_EQ(Unit.D2xx_SetTimeouts(handle, 50, 50), FT_OK);
    port.Send("12");
    const auto start = std::chrono::steady_clock::now();
    std::string read;
    while (read.size() < 2 && std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
        read += Read(handle, 10);
    EXPECT_EQ(read, "12");
    EXPECT_EQ(Unit.D2xxLastReadStatus.load(), FT_OK);
    EXPECT_EQ(Read(handle, 10), "") << "nothing more came within the time-out";
    EXPECT_EQ(Unit.D2xx_Close(handle), FT_OK);
}

TEST_F(KernelProviderTest, AConverterPulledOutEndsAWaitingReadWithDeviceNotFound) {
    TPty port;
    Add(port, kSingle);
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(Open("Velmarod K65", handle), FT_OK);
    Unit.D2xx_SetTimeouts(handle, 0, 0); // wait for the count, however long
    // The read has taken the first bytes and waits for the rest when the
    // converter goes (what the tty still held then, a hang-up discards).
    port.Send("12");
    DWORD waiting = 0;
    const auto queue = Entry<TFT_GetQueueStatus>(TD2xxEntry::FT_GetQueueStatus);
    ASSERT_TRUE(WaitFor([&] { return queue(handle, &waiting) == FT_OK && waiting == 2; }));
    auto reading = std::async(std::launch::async, [&] { return Read(handle, 10); });
    ASSERT_TRUE(WaitFor([&] { return queue(handle, &waiting) == FT_OK && waiting == 0; }));
    Sysfs.Remove(kSingle.Tty);
    port.CloseMaster();
    ASSERT_EQ(reading.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "no hang";
    EXPECT_EQ(reading.get(), "12") << "what came before stays read";
    EXPECT_EQ(Unit.D2xxLastReadStatus.load(), FT_DEVICE_NOT_FOUND);
    DWORD sending = 0, events = 0;
    EXPECT_EQ(Entry<TFT_GetStatus>(TD2xxEntry::FT_GetStatus)(handle, &waiting, &sending, &events),
              FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(Unit.D2xx_Close(handle), FT_OK);
    FT_HANDLE again = nullptr;
    EXPECT_EQ(Open("Velmarod K65", again), FT_DEVICE_NOT_FOUND);
}

// The serial component locks a port with flock on its device: the converter
// library takes the same lock, so the two never share a converter.
TEST_F(KernelProviderTest, ASerialPortAndTheConverterNeverShareTheDevice) {
    TPty port;
    Add(port, kSingle);
    const std::string node = Sysfs.Root() + "/dev/ttyUSB10";
    const auto lockedBySerial = [&] {
        const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return -1; // TIOCEXCL refuses it before the lock is tried
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    };
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(Open("Velmarod K65", handle), FT_OK);
    FT_HANDLE second = nullptr;
    EXPECT_EQ(Open("Velmarod K65", second), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(lockedBySerial(), -1);
    ASSERT_EQ(Unit.D2xx_Close(handle), FT_OK);

    const int serial = lockedBySerial();
    ASSERT_GE(serial, 0) << "the close gave the device back";
    EXPECT_EQ(Open("Velmarod K65", second), FT_DEVICE_NOT_OPENED);
    ::close(serial);
    EXPECT_EQ(Open("Velmarod K65", second), FT_OK);
    EXPECT_EQ(Unit.D2xx_Close(second), FT_OK);
}

// The watcher signals the caller's event when bytes arrive: the receive
// thread wakes at once instead of after its 100 ms wait. Opening and closing
// starts and stops the watcher, hundreds of times.
TEST_F(KernelProviderTest, TheWatcherSignalsArrivalsAndStopsCleanly) {
    TPty port;
    Add(port, kSingle);
    TD2xxEvent event;
    const auto notify = Entry<TFT_SetEventNotification>(TD2xxEntry::FT_SetEventNotification);
    for (int cycle = 0; cycle < 300; ++cycle) {
        FT_HANDLE handle = nullptr;
        ASSERT_EQ(Open("Velmarod K65", handle), FT_OK);
        ASSERT_EQ(notify(handle, FT_EVENT_RXCHAR, event.Handle()), FT_OK);
        if (cycle % 10 == 0) {
            port.Send("+");
            // Signalled: iVar set under the event's mutex. A wait long
            // enough for any load; without the watcher it would run out.
            EVENT_HANDLE* e = event.Handle();
            timespec deadline{};
            ::clock_gettime(CLOCK_MONOTONIC, &deadline);
            deadline.tv_sec += 20;
            ::pthread_mutex_lock(&e->eMutex);
            while (e->iVar == 0)
                if (::pthread_cond_timedwait(&e->eCondVar, &e->eMutex, &deadline) != 0)
                    break;
            const int signalled = std::exchange(e->iVar, 0);
            ::pthread_mutex_unlock(&e->eMutex);
            ASSERT_EQ(signalled, 1) << "cycle " << cycle;
            DWORD waiting = 0, sending = 0, events = 0;
            ASSERT_EQ(
                Entry<TFT_GetStatus>(TD2xxEntry::FT_GetStatus)(handle, &waiting, &sending, &events),
                FT_OK);
            EXPECT_EQ(events, FT_EVENT_RXCHAR);
            EXPECT_EQ(waiting, 1u);
        }
        ASSERT_EQ(notify(handle, 0, nullptr), FT_OK);
        ASSERT_EQ(Unit.D2xx_Close(handle), FT_OK);
    }

    // The receive thread on it, started and stopped again and again.
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(Open("Velmarod K65", handle), FT_OK);
    Unit.D2xx_SetTimeouts(handle, 50, 50);
    QByteArray received;
    for (int cycle = 0; cycle < 20; ++cycle) {
        auto thread = std::make_unique<TUSBReceiveThread>(
            Unit, handle, [&](const QByteArray& text) { received += text; });
        const QByteArray reading = QByteArray::number(cycle) + " mm\r\n";
        port.Send(reading.toStdString());
        ASSERT_TRUE(WaitFor([&] {
            platform::CheckSynchronize();
            return received.endsWith(reading);
        }));
        thread->Stop();
        thread->WaitFor();
    }
    EXPECT_EQ(Unit.D2xx_Close(handle), FT_OK);
}
