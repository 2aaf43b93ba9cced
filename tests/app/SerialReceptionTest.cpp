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
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>

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

// One reading as the gauge sends it and as the editor must show it.
struct TReading {
    std::string Sent;
    QString Shown;
};

TReading Reading(int i) {
    const QString micro = QStringLiteral("\u00B5");
    switch (i % 4) {
    case 0:
        return {QStringLiteral("  %1.%2 um\r\n").arg(i).arg(i % 10).toStdString(),
                QStringLiteral("  %1,%2 %3m").arg(i).arg(i % 10).arg(micro)};
    case 1:
        return {QStringLiteral("%1.05 mm\r\n").arg(i).toStdString(),
                QStringLiteral("%1,05 mm").arg(i)};
    case 2: // the first "um" of the line is the one in the word
        return {QStringLiteral("Maximum %1.5 um\r\n").arg(i).toStdString(),
                QStringLiteral("Maxim%1m %2,5 um").arg(micro).arg(i)};
    default: // a colon keeps the point
        return {QStringLiteral("12:%1.5\r\n").arg(i).toStdString(),
                QStringLiteral("12:%1.5").arg(i)};
    }
}

// A gauge's memory dump: many lines in one write, so the serial thread hands
// several over at once, then lines cut between writes, the second part sent
// only once the lines before the cut are shown. Each line is converted on
// its own, however the bytes were handed over.
TEST_F(SerialReceptionTest, EveryLineIsConvertedHoweverTheStreamIsHandedOver) {
    Start("[Config]\nDevice=3\n");
    QStringList expected;
    const auto lines = [&] { return static_cast<int>(Text().count('\n')); };
    std::string dump;
    for (int i = 0; i < 400; ++i) {
        const TReading reading = Reading(i);
        dump += reading.Sent;
        expected << reading.Shown;
    }
    // Compares the editor's lines with the readings sent so far.
    const auto checkLines = [&] {
        const QStringList shown = Text().split('\n');
        ASSERT_EQ(shown.size(), expected.size() + 1) << Text().toStdString();
        for (qsizetype i = 0; i < expected.size(); ++i)
            EXPECT_EQ(shown[i].toStdString(), expected[i].toStdString()) << "line " << i;
        EXPECT_EQ(shown.last(), "") << "no partial line is shown";
    };
    Gauge.Send(dump);
    ASSERT_TRUE(testing_support::WaitFor([&] { return lines() >= expected.size(); }))
        << lines() << " lines";
    checkLines();
    for (int i = 400; i < 440; i += 2) {
        const TReading first = Reading(i);
        const TReading second = Reading(i + 1);
        const std::size_t cut = 1 + static_cast<std::size_t>(i) % (second.Sent.size() - 1);
        expected << first.Shown;
        Gauge.Send(first.Sent + second.Sent.substr(0, cut));
        ASSERT_TRUE(testing_support::WaitFor([&] { return lines() >= expected.size(); }));
        checkLines();
        expected << second.Shown;
        Gauge.Send(second.Sent.substr(cut));
    }
    ASSERT_TRUE(testing_support::WaitFor([&] { return lines() >= expected.size(); }));
    checkLines();
}

TEST(SerialDesignValues, GiveTheDesignValuesSettingsString) {
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
