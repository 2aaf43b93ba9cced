// A gauge on a pseudo-terminal: its readings travel through Serial1, its
// event thread and the reception into the main window's editor.
#include "app/window/TMainScreen.h"
#include "serial/PortsFolder.h"
#include "serial/TCOMManager.h"
#include "serial/TSerial.h"
#include "tests/app/FakeDialogs.h"
#include "tests/serial/PtyPort.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

class SerialReceptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName("Brisquell");
        // No real devices: an empty /dev keeps the machine's ports out.
        QDir().mkpath(testing_support::RuntimeDir() + "/dev");
        TPortRoots roots;
        roots.Dev = testing_support::RuntimeDir() + "/dev";
        SerialModuleStart(roots);
        COMManager->Scan(9);
    }
    void TearDown() override {
        Window.reset();
        SerialModuleEnd();
    }
    void Start(const QByteArray& ini) {
        QFile file(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ini);
        file.close();
        Window = std::make_unique<TMainScreen>(Dialogs);
        Window->show();
        Window->SetDecimalSeparatorSource([] { return QString(","); });
        // No port saved: the start-up takes the first usable one and connects.
        ASSERT_TRUE(Window->findChild<TSerial*>("Serial1")->Active());
    }
    QString Text() const { return Window->findChild<QPlainTextEdit*>("Editor")->toPlainText(); }

    TPtyPort Gauge{5};
    TFakeDialogs Dialogs;
    std::unique_ptr<TMainScreen> Window;
};

TEST_F(SerialReceptionTest, ReadingsFromTheGaugeReachTheEditor) {
    Start("[Config]\nDevice=3\n");
    Gauge.Send("  12.5 um\r\n");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Text().endsWith('\n'); }));
    EXPECT_EQ(Text(), QString::fromUtf8("  12,5 µm\n"));
    EXPECT_TRUE(Window->findChild<QTimer*>("PromptTime")->isActive());
}

TEST_F(SerialReceptionTest, EchoProfileSendsEveryByteBack) {
    Start("[Config]\nDevice=6\n");
    Gauge.Send("7.25\r\n");
    // The reception runs on this thread: wait for it before reading the echo.
    ASSERT_TRUE(testing_support::WaitFor([&] { return Text() == "7,25\n"; }))
        << Text().toStdString();
    EXPECT_EQ(Gauge.Receive(6), "7.25\r\n");
}

TEST(SerialDesignValues, GiveTheDocumentedSettingsString) {
    QDir().mkpath(testing_support::RuntimeDir() + "/dev");
    TPortRoots roots;
    roots.Dev = testing_support::RuntimeDir() + "/dev";
    TPtyPort port1(1); // port 1 of the design must exist to be taken
    SerialModuleStart(roots);
    {
        TFakeDialogs dialogs;
        TMainScreen window(dialogs);
        auto* serial = window.findChild<TSerial*>("Serial1");
        ASSERT_EQ(serial->COMPort(), 1);
        TSerialSettings settings;
        serial->GetSettings(settings);
        QByteArray text;
        serial->SettingsToString(settings, text);
        EXPECT_EQ(text, "RRS10010096004000000409600004096000110170190000160000000400063026013"
                        "000000000000000000000000102");
    }
    SerialModuleEnd();
}

} // namespace
