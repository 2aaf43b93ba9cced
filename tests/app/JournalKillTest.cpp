// The real program killed in the middle of a stream of readings from the
// gauge simulator; the next start, in this process over the same folders,
// offers every reading that reached the journal, in order.
#include "app/journal/CaptureJournal.h"
#include "app/window/TMainScreen.h"
#include "i18n/gnugettext.h"
#include "platform/Dialogs.h"
#include "tests/app/FakeDialogs.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace {

constexpr int Port = 5;

QString Folder() {
    return testing_support::StateHome() + "/Brisquell";
}

// The lines of the newest journal on disk.
QStringList JournalLines() {
    const QFileInfoList files =
        QDir(Folder()).entryInfoList({"capture-*.brqj"}, QDir::Files, QDir::Time);
    if (files.isEmpty())
        return {};
    QFile file(files.front().absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return journal::Decode(file.readAll()).Text.split('\n', Qt::SkipEmptyParts);
}

QByteArray Reading(int i) {
    return QByteArray::number(i) + " mm";
}

class JournalKillTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName("Brisquell");
        QDir(testing_support::StateHome()).removeRecursively();
        QFile ini(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[Config]\nDevice=3\nPort=" + QByteArray::number(Port) + "\nAutoConnect=1\n");
    }
    void TearDown() override {
        Window.reset();
        Module.reset();
        QDir(testing_support::StateHome()).removeRecursively();
    }
    std::optional<TPrivateSerialModule> Module;
    TFakeDialogs Dialogs;
    std::unique_ptr<TMainScreen> Window;
};

TEST_F(JournalKillTest, SigkillMidStreamKeepsEveryReadingThatReachedTheJournal) {
    QTemporaryDir scratch;
    const QString ready = scratch.filePath("ready");
    TChildProcess gauge(BRISQUELL_GAUGE,
                        {"--port", QString::number(Port), "--ready-file", ready, "--verbose"});
    ASSERT_TRUE(gauge.Started());
    ASSERT_TRUE(testing_support::WaitFor([&] { return QFile(ready).size() > 0; }, 30000));
    {
        TChildProcess program(BRISQUELL_PROGRAM, {});
        ASSERT_TRUE(program.Started());
        // Connected: the program's prompt requests reach the gauge.
        ASSERT_TRUE(testing_support::WaitFor(
            [&] { return gauge.Errors().contains("prompt request, answered"); }, 60000))
            << gauge.Errors().toStdString();
        // Without any further traffic, the readings reach the disk.
        for (int i = 1; i <= 200; ++i)
            gauge.Write(Reading(i) + "\n");
        ASSERT_TRUE(testing_support::WaitFor([] { return JournalLines().size() == 200; }, 60000))
            << JournalLines().size();
        // More, and the kill in the middle of them.
        for (int i = 201; i <= 400; ++i)
            gauge.Write(Reading(i) + "\n");
        ASSERT_EQ(::kill(program.Pid(), SIGKILL), 0);
        ASSERT_TRUE(program.WaitForExit(30000));
    }
    gauge.Write("!quit\n");
    ASSERT_TRUE(gauge.WaitForExit(30000));

    GnuGettextModuleStart();
    Module.emplace(testing_support::PortsFolder());
    Window = std::make_unique<TMainScreen>(Dialogs);
    Dialogs.Messages.clear();
    Dialogs.Answers = {platform::IDYES};
    Window->show();
    const QStringList recovered =
        Window->findChild<QPlainTextEdit*>("Editor")->toPlainText().split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(recovered.size(), 200) << Dialogs.Messages.join('|').toStdString();
    ASSERT_LE(recovered.size(), 400);
    for (int i = 0; i < recovered.size(); ++i)
        ASSERT_EQ(recovered[i], Reading(i + 1)) << i;
    EXPECT_EQ(Dialogs.Messages.size(), 1);
    EXPECT_TRUE(Dialogs.Messages.value(0).contains(QString::number(recovered.size())))
        << Dialogs.Messages.value(0).toStdString();
    Window.reset();
    GnuGettextModuleEnd();
}

} // namespace
