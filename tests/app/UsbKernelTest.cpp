// The USB profile end to end on the converter library over the kernel's
// ttys: a gauge on a pseudo-terminal that a fake sysfs tree presents as the
// ftdi_sio port of a "Velmarod K65"; no other converter library anywhere.
#include "app/window/TMainScreen.h"
#include "serial/TSerial.h"
#include "tests/app/FakeDialogs.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/Pty.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestEnvironment.h"
#include "tests/usb/FakeSysfs.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using testing_support::WaitFor;

namespace {

class UsbKernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName("Brisquell");
        ASSERT_FALSE(Gauge.Path.isEmpty());
        Sysfs.Add({0, "1-1", "Velmarod K65"}, Gauge.Path.toStdString());
        // The same device is COM3 to the serial component.
        ASSERT_TRUE(QFile::link(Gauge.Path, testing_support::PortsFolder() + "/COM3"));
        Module.emplace(testing_support::PortsFolder());
        QFile file(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Config]\nDevice=2\nPort=3\n");
    }
    void TearDown() override {
        Window.reset();
        Module.reset();
    }
    void Start() {
        Window = std::make_unique<TMainScreen>(Dialogs, BRISQUELL_PROVIDER);
        Window->show();
    }
    template <typename T> T* Find(const char* name) const {
        T* child = Window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QString Status() const { return Find<QLabel>("StatusPanel0")->text(); }
    QString Text() const { return Find<QPlainTextEdit>("Editor")->toPlainText(); }

    TPty Gauge;
    TFakeSysfs Sysfs;
    TScopedEnv Root{"BRISQUELL_SYSFS_ROOT", Sysfs.Root().c_str()};
    std::optional<TPrivateSerialModule> Module;
    TFakeDialogs Dialogs;
    std::unique_ptr<TMainScreen> Window;
};

} // namespace

TEST_F(UsbKernelTest, ProfileTwoReceivesFromTheTtyAndNeverSharesItWithASerialPort) {
    // A serial port holds the device first: the USB profile cannot have it.
    {
        TSerial serial;
        serial.SetCOMPort(3);
        ASSERT_TRUE(serial.Open());
        Start();
        EXPECT_EQ(Status(), "Getrennt");
        EXPECT_TRUE(Find<QAction>("act_interface_conneced")->isEnabled());
        serial.Close();
    }
    EXPECT_TRUE(Dialogs.Messages.filter("USB").isEmpty()) << "the library is there: no USB Error";
    Find<QAction>("act_interface_conneced")->trigger();
    ASSERT_EQ(Status(), "Verbunden...");

    // While the USB profile has it, the serial component cannot open it.
    TSerial serial;
    serial.SetCOMPort(3);
    EXPECT_FALSE(serial.Open());

    Gauge.Send("  12.5 um\r\n");
    ASSERT_TRUE(WaitFor([&] { return Text() == "  12.5 um\n"; })) << Text().toStdString();
    Gauge.Send("-0.020 mm\r\n");
    ASSERT_TRUE(WaitFor([&] { return Text() == "  12.5 um\n-0.020 mm\n"; }))
        << Text().toStdString();

    Find<QAction>("act_interface_disconneced")->trigger();
    EXPECT_EQ(Status(), "Getrennt");
    EXPECT_TRUE(serial.Open()) << "the disconnect gave the device back";
    serial.Close();
}
