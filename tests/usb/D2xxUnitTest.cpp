// The converter library's binding, against the simulated library found
// through LD_LIBRARY_PATH as the program finds it.
#include "usb/D2XXUnit.h"

#include "tests/app/FakeDialogs.h"
#include "tests/usb/SimLibrary.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <set>
#include <string>

using namespace d2xx;

namespace {

class D2xxUnitTest : public ::testing::Test {
protected:
    // The device opened through the unit, with a short read time-out.
    FT_HANDLE Open(TD2xxUnit& unit) {
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(unit.Open_USB_Device_By_Device_Description(handle, "Velmarod K65"), FT_OK);
        EXPECT_NE(handle, nullptr);
        unit.D2xx_SetTimeouts(handle, 20, 20);
        return handle;
    }

    TSimLibrary Sim;
    TFakeDialogs Dialogs;
};

// Each wrapper with the entry point it calls and the name its error box shows.
struct TWrapper {
    const char* Entry;
    const char* Report;
    std::function<FT_STATUS(TD2xxUnit&, FT_HANDLE&)> Call;
};

const TWrapper kWrappers[] = {
    {"FT_OpenEx", "Open_USB_Device_By_Device_Description",
     [](TD2xxUnit& u, FT_HANDLE& h) {
         return u.Open_USB_Device_By_Device_Description(h, "Velmarod K65");
     }},
    {"FT_Close", "FT_Close", [](TD2xxUnit& u, FT_HANDLE& h) { return u.D2xx_Close(h); }},
    {"FT_SetBaudRate", "FT_SetBaudRate",
     [](TD2xxUnit& u, FT_HANDLE& h) { return u.D2xx_SetBaudRate(h, 1200); }},
    {"FT_SetDataCharacteristics", "FT_SetDataCharacteristics",
     [](TD2xxUnit& u, FT_HANDLE& h) { return u.D2xx_SetDataCharacteristics(h, 8, 0, 0); }},
    {"FT_SetFlowControl", "FT_SetFlowControl",
     [](TD2xxUnit& u, FT_HANDLE& h) { return u.D2xx_SetFlowControl(h, 0, 0x11, 0x13); }},
    {"FT_SetTimeouts", "FT_SetTimeouts",
     [](TD2xxUnit& u, FT_HANDLE& h) { return u.D2xx_SetTimeouts(h, 50, 50); }},
    {"FT_SetLatencyTimer", "FT_SetLatencyTimer",
     [](TD2xxUnit& u, FT_HANDLE& h) { return u.D2xx_SetLatencyTimer(h, 10); }},
    {"FT_SetUSBParameters", "FT_SetUSBParameters",
     [](TD2xxUnit& u, FT_HANDLE& h) { return u.D2xx_SetUSBParameters(h, 32, 32); }},
};

} // namespace

TEST_F(D2xxUnitTest, WithoutTheLibraryEveryWrapperAnswersOneSilently) {
    TD2xxUnit unit(Dialogs, "libftd2xx-absent.so");
    EXPECT_FALSE(unit.D2xx_Load());
    EXPECT_FALSE(unit.Loaded());
    for (const TWrapper& wrapper : kWrappers) {
        SCOPED_TRACE(wrapper.Entry);
        auto* const untouched = reinterpret_cast<FT_HANDLE>(0x1234);
        FT_HANDLE handle = untouched;
        EXPECT_EQ(wrapper.Call(unit, handle), FT_INVALID_HANDLE);
        EXPECT_EQ(handle, untouched);
    }
    unit.D2xxLastReadStatus = 7;
    char buffer[66];
    EXPECT_EQ(unit.D2xx_Read(nullptr, buffer, 65), 0u);
    EXPECT_EQ(unit.D2xxLastReadStatus, 7u) << "no read, no status";
    EXPECT_TRUE(Dialogs.Messages.isEmpty());
    EXPECT_TRUE(Sim.Journal().empty()) << "nothing reached any library";
}

TEST_F(D2xxUnitTest, ALibraryLackingNamesBindsTheOthers) {
    TSimLibrary reduced("libftd2xx_reduced.so");
    ASSERT_TRUE(reduced.Loaded());
    TD2xxUnit unit(Dialogs, "libftd2xx_reduced.so");
    EXPECT_FALSE(unit.D2xx_Load()) << "four names are missing";
    EXPECT_TRUE(unit.Loaded()) << "the library stays loaded";
    const std::set<std::string> missing = {"FT_Open", "FT_SetTimeouts", "FT_SetEventNotification",
                                           "FT_GetBitMode"};
    for (size_t i = 0; i < D2xxEntryCount; ++i) {
        const std::string name = D2xxBindingList()[i];
        EXPECT_EQ(unit.Entry<void*>(static_cast<TD2xxEntry>(i)) == nullptr, missing.contains(name))
            << name << ": the look-ups go on past a missing name";
    }
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(unit.Open_USB_Device_By_Device_Description(handle, "Velmarod K65"), FT_OK);
    EXPECT_EQ(unit.D2xx_SetBaudRate(handle, 1200), FT_OK);
    EXPECT_EQ(unit.D2xx_SetTimeouts(handle, 50, 50), FT_INVALID_HANDLE);
    EXPECT_EQ(unit.D2xx_Close(handle), FT_OK);
    EXPECT_EQ(reduced.Journal(), "FT_OpenEx(Velmarod K65,2)\nFT_SetBaudRate(1200)\nFT_Close\n");
    EXPECT_TRUE(Dialogs.Messages.isEmpty());
    EXPECT_TRUE(Sim.Journal().empty()) << "the other library is another converter";

    TD2xxUnit full(Dialogs);
    EXPECT_TRUE(full.D2xx_Load());
}

// Every wrapper shows a failure under its report name, with the status's
// text; a status of 0, or any status while reports are off, shows nothing.
TEST_F(D2xxUnitTest, FailuresShowTheCallAndTheStatus) {
    TD2xxUnit unit(Dialogs);
    ASSERT_TRUE(unit.D2xx_Load());
    FT_HANDLE handle = Open(unit);
    const std::pair<FT_STATUS, const char*> statuses[] = {
        {1, " - Invalid Handle..."},
        {2, " - Device Not Found...."},
        {3, " - Device Not Opened..."},
        {4, " - General IO Error..."},
        {5, " - Insufficient Resources..."},
        {6, " - Invalid Parameter ..."},
        {7, " - Status 7"},
        {4294967295u, " - Status 4294967295"},
    };
    for (const auto& [status, text] : statuses)
        for (const TWrapper& wrapper : kWrappers) {
            SCOPED_TRACE(std::string(wrapper.Entry) + " " + std::to_string(status));
            Dialogs.Messages.clear();
            Dialogs.Flags.clear();
            Sim.FailNext(wrapper.Entry, status);
            EXPECT_EQ(wrapper.Call(unit, handle), status);
            EXPECT_EQ(Dialogs.Messages, QStringList(QString(wrapper.Report) + text));
            EXPECT_EQ(Dialogs.Flags,
                      std::deque<unsigned>{platform::MB_OK | platform::MB_ICONERROR});
        }
    Dialogs.Messages.clear();
    EXPECT_EQ(unit.D2xx_SetBaudRate(handle, 9600), FT_OK);
    unit.D2xxReportErrors = false;
    Sim.FailNext("FT_SetBaudRate", 2);
    EXPECT_EQ(unit.D2xx_SetBaudRate(handle, 1200), 2u);
    Sim.FailNext("FT_Read", 4);
    char buffer[66];
    EXPECT_EQ(unit.D2xx_Read(handle, buffer, 65), 0u);
    EXPECT_EQ(unit.D2xxLastReadStatus, 4u);
    EXPECT_TRUE(Dialogs.Messages.isEmpty());
    unit.D2xxReportErrors = true;
    Sim.FailNext("FT_Read", 4);
    unit.D2xx_Read(handle, buffer, 65);
    EXPECT_EQ(Dialogs.Messages, QStringList("FT_Read - General IO Error..."));
}

TEST_F(D2xxUnitTest, TheDescriptionReachesTheLibraryAsItsFirst49Bytes) {
    TD2xxUnit unit(Dialogs);
    ASSERT_TRUE(unit.D2xx_Load());
    unit.D2xxReportErrors = false;
    const QByteArray longName = QByteArray("Velmarod K65 ").repeated(5).left(60);
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(unit.Open_USB_Device_By_Device_Description(handle, longName), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(std::string(unit.D2xxDescription.data()), longName.left(49).toStdString());
    EXPECT_EQ(unit.Open_USB_Device_By_Device_Description(handle, ""), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(Sim.Journal(),
              "FT_OpenEx(" + longName.left(49).toStdString() + ",2)\nFT_OpenEx(,2)\n");
}

// The count is what was read, never more than was asked for (the caller
// writes its terminator there), also when a failing library says otherwise.
TEST_F(D2xxUnitTest, ReadReturnsTheCountWithinWhatWasAskedAndKeepsTheStatusAside) {
    TD2xxUnit unit(Dialogs);
    ASSERT_TRUE(unit.D2xx_Load());
    unit.D2xxReportErrors = false;
    FT_HANDLE handle = Open(unit);
    char buffer[66] = {};
    ASSERT_EQ(Sim.Feed("12.5 mm\r\n"), 9u);
    EXPECT_EQ(unit.D2xx_Read(handle, buffer, 65), 9u) << "the read time-out ends a short read";
    EXPECT_EQ(std::string(buffer, 9), "12.5 mm\r\n");
    EXPECT_EQ(unit.D2xxLastReadStatus, FT_OK);
    Sim.FailNext("FT_Read", 4, 1000);
    EXPECT_EQ(unit.D2xx_Read(handle, buffer, 65), 65u);
    EXPECT_EQ(unit.D2xxLastReadStatus, 4u);
    Sim.FailNext("FT_Read", 5, 3);
    EXPECT_EQ(unit.D2xx_Read(handle, buffer, 65), 3u);
    EXPECT_EQ(unit.D2xxLastReadStatus, 5u);
}
