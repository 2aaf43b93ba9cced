#include "serial/PortsFolder.h"
#include "serial/TCOMManager.h"
#include "serial/TCustomSerial.h"
#include "serial/TMsgWindow.h"
#include "serial/TSerial.h"
#include "tests/serial/FakeDeviceTree.h"
#include "tests/support/TestEnvironment.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using testing_support::WaitFor;

namespace {

// What happened, in order, across listeners, handlers and components.
std::vector<std::string> gLog;

struct TListener {
    std::string Name;
    int ThrowCount = 0; // throws on this many calls
};

void ListenerRoutine(void* Object) {
    auto* listener = static_cast<TListener*>(Object);
    gLog.push_back(listener->Name);
    if (listener->ThrowCount > 0) {
        --listener->ThrowCount;
        throw std::runtime_error("listener failed");
    }
}
void OtherRoutine(void* Object) {
    ListenerRoutine(Object);
}
void ThirdRoutine(void* Object) {
    ListenerRoutine(Object);
}

// A component whose open flag the test sets; the manager sees it as any other.
class TFakeSerial : public TCustomSerial {
public:
    using TCustomSerial::TCustomSerial;
    void SetOpen(bool Open) {
        FActive = Open;
        COMManager->UpdateOwner(this);
    }
};

TDevBroadcastHdr PortHeader(uint32_t Type = DBT_DEVTYP_PORT) {
    TDevBroadcastHdr header;
    header.dbch_devicetype = Type;
    return header;
}

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override { gLog.clear(); }
    void TearDown() override { SerialModuleEnd(); }

    TCOMManager& Start() {
        SerialModuleStart(Tree.Roots());
        return *COMManager;
    }
    void Broadcast(uint16_t WParam, uint32_t Type = DBT_DEVTYP_PORT) {
        const TDevBroadcastHdr header = PortHeader(Type);
        COMManager->HandleMessage(WM_DEVICECHANGE, WParam, reinterpret_cast<intptr_t>(&header));
    }
    std::vector<int> Ports() const {
        std::vector<int> result;
        for (int i = 0; i < COMManager->Count(); ++i)
            result.push_back(COMManager->Entry(i).Port);
        return result;
    }
    void Listen(TListener& Listener, TListenerHandler::TRoutine Routine = ListenerRoutine) {
        COMManager->AddListener({Routine, &Listener});
    }
    void RecordHandlers() {
        COMManager->OnArrival = [](QObject*) { gLog.push_back("arrival"); };
        COMManager->OnRemoval = [](QObject*) { gLog.push_back("removal"); };
    }

    TFakeDeviceTree Tree;
};

using Log = std::vector<std::string>;

// --- scanning -------------------------------------------------------------

TEST_F(ManagerTest, StartKnowsPortsOneToFourAndScanAppendsInOrder) {
    Tree.Plug("a");
    Tree.Plug("b");
    Tree.Plug("c");
    Tree.Link(1, Tree.Dev() + "/a");
    Tree.Link(3, Tree.Dev() + "/b");
    Tree.Link(12, Tree.Dev() + "/c");
    TCOMManager& m = Start();
    EXPECT_EQ(m.LastScanned, 4);
    EXPECT_EQ(Ports(), (std::vector<int>{1, 3}));

    m.Scan(20);
    EXPECT_EQ(m.LastScanned, 20);
    ASSERT_EQ(Ports(), (std::vector<int>{1, 3, 12}));
    EXPECT_EQ(m.Name(0), "COM1");
    EXPECT_EQ(m.Name(1), "COM3");
    EXPECT_EQ(m.Name(2), "COM12");
    EXPECT_EQ(m.IndexOfPort(12), 2);
    EXPECT_EQ(m.IndexOfPort(2), -1);
    EXPECT_TRUE(m.HasPort(3));
    EXPECT_FALSE(m.HasPort(4));
}

TEST_F(ManagerTest, ScanStopsAt99AndDoesNothingBelowTheScannedRange) {
    Tree.Plug("a");
    Tree.Link(99, Tree.Dev() + "/a");
    TCOMManager& m = Start();
    TListener listener{"listener"};
    Listen(listener);

    m.Scan(150);
    EXPECT_EQ(m.LastScanned, 99);
    EXPECT_EQ(Ports(), (std::vector<int>{99}));
    EXPECT_EQ(gLog, Log{"listener"});

    // Nothing to probe: no change, not even a notification.
    Tree.Link(50, Tree.Dev() + "/a");
    m.Scan(99);
    m.Scan(150);
    m.Scan(10);
    EXPECT_EQ(m.LastScanned, 99);
    EXPECT_EQ(Ports(), (std::vector<int>{99}));
    EXPECT_EQ(gLog, Log{"listener"});
}

TEST_F(ManagerTest, DefaultsAndEntriesDecidePresence) {
    const QString pts = Tree.Plug("ttyS0");
    Tree.Plug("ttyS2"); // only ttyS0 and ttyS1 have default numbers
    TCOMManager& m = Start();
    EXPECT_EQ(Ports(), (std::vector<int>{1}));
    EXPECT_EQ(PortDevicePath(1), QFileInfo(pts).canonicalFilePath());
    EXPECT_EQ(PortDevicePath(2), "");
    EXPECT_EQ(PortDevicePath(0), "");
    EXPECT_EQ(PortDevicePath(100), "");

    // A dangling entry wins over the default, so does a link elsewhere.
    Tree.Link(1, "/nonexistent/device");
    Tree.Link(2, Tree.Dev() + "/ttyS0");
    EXPECT_TRUE(m.Rescan());
    EXPECT_EQ(Ports(), (std::vector<int>{2}));

    // Only character devices count: a plain file or a folder is no port.
    QFile file(Tree.Dev() + "/plain");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    Tree.Link(3, file.fileName());
    Tree.Link(4, Tree.Dev());
    EXPECT_FALSE(m.Rescan());
    EXPECT_EQ(Ports(), (std::vector<int>{2}));
}

TEST_F(ManagerTest, ConsolesAreNeverOfferedNorNumbered) {
    Tree.Plug("ttyS0");
    Tree.Plug("ttyUSB0");
    Tree.SetConsoles("ttyS0                -W- (EC  p a)    4:64\n"
                     "ttyUSB0              -W- (E   p  )  188:0\n");
    TCOMManager& m = Start();
    EXPECT_EQ(m.Count(), 0);
    EXPECT_EQ(PortDevicePath(1), "");
    EXPECT_FALSE(QFileInfo::exists(Tree.Entry(3)));
    // Nor through an entry of the ports folder.
    Tree.Link(4, Tree.Dev() + "/ttyS0");
    m.Rescan();
    EXPECT_EQ(m.Count(), 0);
}

// --- persistent numbering -------------------------------------------------

TEST_F(ManagerTest, NewDevicesAreNumberedFromThreeAndKeepTheirNumber) {
    Tree.Plug("ttyUSB0");
    Tree.AddById("usb-Maker_Conv_A-if00-port0", "ttyUSB0");
    TCOMManager& m = Start();
    EXPECT_EQ(Ports(), (std::vector<int>{3}));
    EXPECT_EQ(Tree.LinkTarget(3), Tree.ById() + "/usb-Maker_Conv_A-if00-port0");
    // The watcher will not take our own write for a device change.
    EXPECT_TRUE(m.PortsFolder().ConsumeOwnWrite("COM3"));
    EXPECT_FALSE(m.PortsFolder().ConsumeOwnWrite("COM3"));

    // Unplugged: the number stays reserved by the dangling link.
    Tree.Unplug("ttyUSB0");
    Tree.RemoveById("usb-Maker_Conv_A-if00-port0");
    EXPECT_TRUE(m.Rescan());
    EXPECT_EQ(m.Count(), 0);

    // Another converter takes the next free number ...
    Tree.Plug("ttyUSB0");
    Tree.AddById("usb-Maker_Conv_B-if00-port0", "ttyUSB0");
    // ... and the first, back under another kernel name, gets its own again.
    Tree.Plug("ttyUSB1");
    Tree.AddById("usb-Maker_Conv_A-if00-port0", "ttyUSB1");
    EXPECT_TRUE(m.Rescan());
    EXPECT_EQ(Ports(), (std::vector<int>{3, 4}));
    EXPECT_EQ(Tree.LinkTarget(3), Tree.ById() + "/usb-Maker_Conv_A-if00-port0");
    EXPECT_EQ(Tree.LinkTarget(4), Tree.ById() + "/usb-Maker_Conv_B-if00-port0");
    EXPECT_FALSE(m.Rescan());
}

TEST_F(ManagerTest, NumberingTakesTheLowestFreeNumberInKernelOrder) {
    Tree.Link(3, "/nonexistent/reserved");
    Tree.Plug("x");
    Tree.Link(5, Tree.Dev() + "/x");
    Tree.Plug("ttyUSB10");
    Tree.Plug("ttyUSB2");
    Tree.Plug("rfcomm0");
    Tree.Plug("ttyACM0");
    Tree.Plug("ttyUSBx"); // not a serial device name
    TCOMManager& m = Start();
    m.Scan(10);
    EXPECT_EQ(Ports(), (std::vector<int>{4, 5, 6, 7, 8}));
    EXPECT_EQ(Tree.LinkTarget(4), Tree.Dev() + "/rfcomm0");
    EXPECT_EQ(Tree.LinkTarget(6), Tree.Dev() + "/ttyACM0");
    EXPECT_EQ(Tree.LinkTarget(7), Tree.Dev() + "/ttyUSB2");
    EXPECT_EQ(Tree.LinkTarget(8), Tree.Dev() + "/ttyUSB10");
    EXPECT_FALSE(QFileInfo::exists(Tree.Entry(9)));
}

TEST_F(ManagerTest, DeviceWaitsForItsByIdLinkBeforeItIsNumbered) {
    TFakeDeviceTree slow(60000);
    slow.Plug("ttyUSB0");
    slow.Plug("rfcomm0"); // never gets a by-id link: numbered at once
    SerialModuleStart(slow.Roots());
    EXPECT_EQ(Ports(), (std::vector<int>{3}));
    EXPECT_EQ(slow.LinkTarget(3), slow.Dev() + "/rfcomm0");

    slow.AddById("usb-Maker_Conv_A-if00-port0", "ttyUSB0");
    EXPECT_TRUE(COMManager->Rescan());
    EXPECT_EQ(Ports(), (std::vector<int>{3, 4}));
    EXPECT_EQ(slow.LinkTarget(4), slow.ById() + "/usb-Maker_Conv_A-if00-port0");
}

TEST_F(ManagerTest, KernelNameLinkIsUpgradedWhenTheByIdLinkAppears) {
    Tree.Plug("ttyACM0");
    TCOMManager& m = Start();
    ASSERT_EQ(Tree.LinkTarget(3), Tree.Dev() + "/ttyACM0");
    Tree.AddById("usb-Maker_Gauge-if00", "ttyACM0");
    EXPECT_FALSE(m.Rescan());
    EXPECT_EQ(Tree.LinkTarget(3), Tree.ById() + "/usb-Maker_Gauge-if00");

    // A link the user wrote is left alone.
    Tree.Plug("ttyACM1");
    Tree.Link(7, Tree.Dev() + "/ttyACM1");
    Tree.AddById("usb-Maker_Other-if00", "ttyACM1");
    m.Scan(10);
    EXPECT_EQ(Tree.LinkTarget(7), Tree.Dev() + "/ttyACM1");
}

// --- broadcasts -----------------------------------------------------------

TEST_F(ManagerTest, BroadcastThatChangesNothingNotifiesOnce) {
    Tree.Plug("ttyUSB0");
    Start();
    RecordHandlers();
    TListener listener{"listener"};
    Listen(listener);
    Broadcast(DBT_DEVICEARRIVAL);
    Broadcast(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(gLog, (Log{"listener", "listener"}));
}

TEST_F(ManagerTest, OtherMessagesAndDeviceTypesAreIgnored) {
    Start();
    RecordHandlers();
    TListener listener{"listener"};
    Listen(listener);
    Tree.Plug("ttyUSB0");            // would be a change
    Broadcast(DBT_DEVICEARRIVAL, 2); // a volume
    Broadcast(DBT_DEVICEARRIVAL, 5); // a device interface
    Broadcast(0x0007);               // another WParam
    const TDevBroadcastHdr header = PortHeader();
    COMManager->HandleMessage(0x0218, DBT_DEVICEARRIVAL, reinterpret_cast<intptr_t>(&header));
    COMManager->HandleMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    EXPECT_TRUE(gLog.empty());
    EXPECT_EQ(COMManager->Count(), 0);
}

TEST_F(ManagerTest, PluggingAddsThePortAndNotifiesTwiceWithOneArrival) {
    TCOMManager& m = Start();
    m.Scan(10);
    RecordHandlers();
    TListener listener{"listener"};
    Listen(listener);
    Tree.Plug("dev7");
    Tree.Link(7, Tree.Dev() + "/dev7");
    Broadcast(DBT_DEVICEARRIVAL);
    EXPECT_EQ(gLog, (Log{"listener", "arrival", "listener"}));
    EXPECT_EQ(Ports(), (std::vector<int>{7}));
    EXPECT_EQ(m.Sender()->objectName(), "COMManager");
}

TEST_F(ManagerTest, SwapOfPortsKeepsTheCountButIsAChange) {
    Tree.Plug("a");
    Tree.Link(3, Tree.Dev() + "/a");
    TCOMManager& m = Start();
    Tree.Unlink(3);
    Tree.Link(4, Tree.Dev() + "/a");
    EXPECT_TRUE(m.Rescan());
    EXPECT_EQ(Ports(), (std::vector<int>{4}));
}

TEST_F(ManagerTest, UnpluggingAnOpenPortRunsCOMRemovedThenOnRemoval) {
    Tree.Plug("a");
    Tree.Plug("b");
    Tree.Link(3, Tree.Dev() + "/a");
    Tree.Link(4, Tree.Dev() + "/b");
    TCOMManager& m = Start();
    TFakeSerial gone, stays;
    gone.SetCOMPort(3);
    stays.SetCOMPort(4);
    gone.SetOpen(true);
    stays.SetOpen(true);
    ASSERT_EQ(m.Entry(0).Owner, &gone);
    gone.OnCOMRemoved = [&gone](QObject* Sender) {
        EXPECT_EQ(Sender, &gone);
        // During the scan's notification the new entries had no owners yet;
        // by now the list no longer holds the port.
        EXPECT_FALSE(COMManager->HasPort(3));
        gLog.push_back("COMRemoved");
    };
    RecordHandlers();
    TListener listener{"listener"};
    Listen(listener);

    Tree.Unlink(3);
    Broadcast(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(gLog, (Log{"listener", "COMRemoved", "removal", "listener"}));
    EXPECT_FALSE(gone.Active());
    ASSERT_EQ(Ports(), (std::vector<int>{4}));
    EXPECT_EQ(m.Entry(0).Owner, &stays); // carried over
}

TEST_F(ManagerTest, OwnersSeeNoOwnerDuringTheScansNotification) {
    Tree.Plug("a");
    Tree.Link(3, Tree.Dev() + "/a");
    TCOMManager& m = Start();
    TFakeSerial serial;
    serial.SetCOMPort(3);
    serial.SetOpen(true);
    static TCustomSerial* seen = nullptr;
    seen = &serial;
    m.AddListener({[](void*) { seen = COMManager->Entry(0).Owner; }, nullptr});
    EXPECT_FALSE(m.Rescan());
    EXPECT_EQ(seen, nullptr);
    EXPECT_EQ(m.Entry(0).Owner, &serial);
}

TEST_F(ManagerTest, FailingHandlerIsClearedForGoodAndListenersStillHearOfIt) {
    TCOMManager& m = Start();
    m.Scan(10);
    int arrivals = 0;
    m.OnArrival = [&arrivals](QObject*) {
        ++arrivals;
        throw std::runtime_error("handler failed");
    };
    TListener listener{"listener"};
    Listen(listener);
    Tree.Plug("a");
    Tree.Link(5, Tree.Dev() + "/a");
    EXPECT_NO_THROW(Broadcast(DBT_DEVICEARRIVAL));
    EXPECT_EQ(arrivals, 1);
    EXPECT_FALSE(m.OnArrival);
    EXPECT_EQ(gLog, (Log{"listener", "listener"}));

    Tree.Link(6, Tree.Dev() + "/a");
    Broadcast(DBT_DEVICEARRIVAL);
    EXPECT_EQ(arrivals, 1);
}

TEST_F(ManagerTest, FailingListenerEndsThePassOnly) {
    Start();
    TListener first{"first"}, failing{"failing", 1}, last{"last"};
    Listen(first);
    Listen(failing, OtherRoutine);
    Listen(last, ThirdRoutine);
    EXPECT_NO_THROW(Broadcast(DBT_DEVICEARRIVAL));
    EXPECT_EQ(gLog, (Log{"first", "failing"}));
    gLog.clear();
    Broadcast(DBT_DEVICEARRIVAL);
    EXPECT_EQ(gLog, (Log{"first", "failing", "last"}));
}

// --- listeners ------------------------------------------------------------

TEST_F(ManagerTest, ListenersAreToldApartByTheirRoutineAlone) {
    TCOMManager& m = Start();
    TListener boxA{"boxA"}, boxB{"boxB"};
    m.AddListener({ListenerRoutine, &boxA});
    m.AddListener({ListenerRoutine, &boxB}); // same routine: not added
    EXPECT_TRUE(m.FindListener({ListenerRoutine, nullptr}));
    EXPECT_FALSE(m.FindListener({OtherRoutine, &boxA}));
    Broadcast(DBT_DEVICEARRIVAL);
    EXPECT_EQ(gLog, Log{"boxA"});

    m.RemoveListener({ListenerRoutine, &boxB}); // removes boxA's node
    EXPECT_FALSE(m.FindListener({ListenerRoutine, &boxA}));
    m.RemoveListener({ListenerRoutine, &boxB}); // nothing left to remove
    gLog.clear();
    Broadcast(DBT_DEVICEARRIVAL);
    EXPECT_TRUE(gLog.empty());
}

TEST_F(ManagerTest, ListenerRemovedDuringAPassIsNotCalledAfterwards) {
    TCOMManager& m = Start();
    static TListener later{"later"};
    TListener remover{"remover"};
    m.AddListener({[](void*) {
                       gLog.push_back("remover");
                       COMManager->RemoveListener({OtherRoutine, nullptr});
                   },
                   &remover});
    m.AddListener({OtherRoutine, &later});
    Broadcast(DBT_DEVICEARRIVAL);
    EXPECT_EQ(gLog, Log{"remover"});
}

// --- owners ---------------------------------------------------------------

TEST_F(ManagerTest, UpdateOwnerFollowsTheOpenFlag) {
    Tree.Plug("a");
    Tree.Link(3, Tree.Dev() + "/a");
    TCOMManager& m = Start();
    TFakeSerial serial;
    ASSERT_EQ(serial.COMPort(), 3); // the first listed port
    serial.SetOpen(true);
    EXPECT_EQ(m.Entry(0).Owner, &serial);
    serial.SetOpen(false);
    EXPECT_EQ(m.Entry(0).Owner, nullptr);

    TFakeSerial unlisted;
    unlisted.SetCOMPort(0);
    unlisted.SetOpen(true);
    EXPECT_EQ(m.Entry(0).Owner, nullptr);
    m.UpdateOwner(nullptr);
}

TEST_F(ManagerTest, PortNumberChangedWhileOpenLeavesNoStaleOwner) {
    Tree.Plug("a");
    Tree.Link(3, Tree.Dev() + "/a");
    TCOMManager& m = Start();
    {
        TFakeSerial serial;
        serial.SetOpen(true);
        serial.SetCOMPort(0); // taken while open, applies at the next open
        serial.SetOpen(false);
    }
    EXPECT_EQ(m.Entry(0).Owner, nullptr);
    Tree.Unlink(3);
    EXPECT_TRUE(m.Rescan()); // would call COMRemoved on a destroyed component
}

TEST_F(ManagerTest, ClosingNeverClearsAnotherComponentsRecord) {
    Tree.Plug("a");
    Tree.Plug("b");
    Tree.Link(3, Tree.Dev() + "/a");
    Tree.Link(4, Tree.Dev() + "/b");
    TCOMManager& m = Start();
    TFakeSerial holder, mover;
    holder.SetCOMPort(4);
    holder.SetOpen(true);
    mover.SetCOMPort(3);
    mover.SetOpen(true);
    mover.SetCOMPort(4); // taken while open, applies at the next open
    mover.SetOpen(false);
    EXPECT_EQ(m.Entry(0).Owner, nullptr);
    EXPECT_EQ(m.Entry(1).Owner, &holder);
    // So the holder still hears that its port is gone.
    int removed = 0;
    holder.OnCOMRemoved = [&removed](QObject*) { ++removed; };
    Tree.Unlink(4);
    EXPECT_TRUE(m.Rescan());
    EXPECT_EQ(removed, 1);
}

// --- module and message window --------------------------------------------

TEST_F(ManagerTest, ModuleStartCreatesTheManagerWithItsWindow) {
    SerialModuleStart();
    ASSERT_NE(COMManager, nullptr);
    EXPECT_EQ(COMManager->LastScanned, 4);
    TMsgWindow* window = COMManager->MsgWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Name().startsWith("Ser"));
    EXPECT_GT(window->Name().size(), 3);
    ASSERT_GE(window->Handle(), 0);
    ASSERT_EQ(MsgWindowList.size(), 1u);
    EXPECT_EQ(MsgWindowList[0].Window, window);
    SerialModuleEnd();
    EXPECT_EQ(COMManager, nullptr);
    EXPECT_TRUE(MsgWindowList.empty());
}

TEST(MsgWindowTest, WithoutANameThereIsNoWindow) {
    TPortsFolder folder;
    int calls = 0;
    TMsgWindow window(
        "", [&calls](uint16_t, uint16_t, intptr_t) { ++calls; }, &folder);
    EXPECT_LT(window.Handle(), 0);
    EXPECT_TRUE(MsgWindowList.empty());
    MsgWindowProc(window.Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    EXPECT_EQ(calls, 0);
}

TEST(MsgWindowTest, MessagesReachTheWindowOfTheirHandle) {
    TFakeDeviceTree tree;
    TPortsFolder folder(tree.Roots());
    std::vector<uint16_t> got;
    TMsgWindow window(
        "Ser test", [&got](uint16_t, uint16_t w, intptr_t) { got.push_back(w); }, &folder);
    ASSERT_GE(window.Handle(), 0);
    MsgWindowProc(window.Handle(), WM_DEVICECHANGE, 0x1234, 0);
    MsgWindowProc(window.Handle() + 1000, WM_DEVICECHANGE, 0x4321, 0);
    EXPECT_EQ(got, std::vector<uint16_t>{0x1234});
}

// --- hot-plug through the watcher -----------------------------------------

TEST_F(ManagerTest, WatcherDeliversArrivalAndRemovalOnTheMainThread) {
    TCOMManager& m = Start();
    m.Scan(10);
    int arrivals = 0, removals = 0;
    m.OnArrival = [&arrivals](QObject*) { ++arrivals; };
    m.OnRemoval = [&removals](QObject*) { ++removals; };
    TListener listener{"listener"};
    Listen(listener);

    // A converter appears in the device tree: numbered, listed, announced.
    Tree.Plug("ttyUSB0");
    ASSERT_TRUE(WaitFor([&] { return m.HasPort(3); }));
    EXPECT_EQ(arrivals, 1);

    // The user maps a port by hand.
    Tree.Link(9, Tree.Dev() + "/ttyUSB0");
    ASSERT_TRUE(WaitFor([&] { return m.HasPort(9); }));
    EXPECT_EQ(arrivals, 2);
    // Twice per change; numbering COM3 itself was no broadcast of its own.
    EXPECT_EQ(gLog.size(), 4u);

    // Unplugged: both entries now dangle.
    Tree.Unplug("ttyUSB0");
    ASSERT_TRUE(WaitFor([&] { return m.Count() == 0; }));
    EXPECT_EQ(removals, 1);
}

TEST_F(ManagerTest, UnpluggedSerialIsClosedThroughTheWatcher) {
    Tree.Plug("ttyUSB0");
    TCOMManager& m = Start();
    RecordHandlers();
    TSerial serial;
    ASSERT_EQ(serial.COMPort(), 3);
    serial.OnCOMRemoved = [](QObject*) { gLog.push_back("COMRemoved"); };
    serial.OnRxChar = [](QObject*) {}; // with an event thread running
    ASSERT_TRUE(serial.Open());
    EXPECT_EQ(m.Entry(0).Owner, &serial);

    Tree.Unplug("ttyUSB0");
    ASSERT_TRUE(WaitFor([&] { return !serial.Active(); }));
    EXPECT_EQ(gLog, (Log{"COMRemoved", "removal"}));
    EXPECT_EQ(m.Count(), 0);
    EXPECT_EQ(serial.RecCount(), 0);

    // Re-plugged, it is COM3 again and opens again.
    Tree.Plug("ttyUSB0");
    ASSERT_TRUE(WaitFor([&] { return m.HasPort(3); }));
    EXPECT_TRUE(serial.Open());
    serial.Close();
    EXPECT_EQ(m.Entry(0).Owner, nullptr);
}

TEST_F(ManagerTest, WatcherFollowsByIdLinksThatAppearLater) {
    TFakeDeviceTree slow(60000);
    SerialModuleStart(slow.Roots());
    TCOMManager& m = *COMManager;
    slow.Plug("ttyUSB0");
    testing_support::ProcessEventsFor(50);
    EXPECT_FALSE(m.HasPort(3)); // waiting for udev's by-id link
    slow.AddById("usb-Maker_Conv_A-if00-port0", "ttyUSB0");
    ASSERT_TRUE(WaitFor([&] { return m.HasPort(3); }));
    EXPECT_EQ(slow.LinkTarget(3), slow.ById() + "/usb-Maker_Conv_A-if00-port0");
}

TEST_F(ManagerTest, DeviceWithoutByIdLinkIsNumberedAfterTheSettleTime) {
    TFakeDeviceTree settling(300);
    SerialModuleStart(settling.Roots());
    settling.Plug("ttyUSB0");
    ASSERT_TRUE(WaitFor([&] { return COMManager->HasPort(3); }));
    EXPECT_EQ(settling.LinkTarget(3), settling.Dev() + "/ttyUSB0");
}

} // namespace
