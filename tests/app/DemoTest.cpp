// The demonstration's command line and snapshot: times that would overflow
// a timer are refused, and a snapshot that cannot be written says so instead
// of naming files as written.
#include "app/demo/Snapshot.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FileSystemFaults.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {

TEST(DemoCommandLine, TimesOutsideADayAreRefused) {
    for (const QStringList& arguments :
         {QStringList{"--snapshot-after", "-5"}, QStringList{"--snapshot-after", "2147484"},
          QStringList{"--tour-every", "soon"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        TChildProcess program(BRISQUELL_PROGRAM, arguments);
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(program.WaitForExit(60000)) << "it runs on";
        EXPECT_EQ(program.ExitCode(), 1);
        EXPECT_TRUE(program.Errors().contains("takes whole seconds from 0 to 86400"))
            << program.Errors().constData();
    }
}

// What Take prints on standard output.
QByteArray Printed(const std::function<void()>& run) {
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.filePath("stdout"));
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int file = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, STDOUT_FILENO);
    ::close(file);
    run();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    QFile printed(folder.filePath("stdout"));
    return printed.open(QIODevice::ReadOnly) ? printed.readAll() : QByteArray();
}

TEST(DemoSnapshot, NamesOnlyWhatItWrote) {
    QWidget window;
    auto* editor = new QPlainTextEdit(&window);
    editor->setObjectName("Editor");
    editor->setPlainText("12,5 mm");
    (new QVBoxLayout(&window))->addWidget(editor);
    window.show();
    QTemporaryDir scratch;
    const QString written = scratch.filePath("shot");
    // The offscreen platform takes no picture of a window: the text is
    // written all the same.
    TSnapshot snapshot(window, written, 86400);
    bool taken = false;
    QByteArray printed = Printed([&] { taken = snapshot.Take(); });
    QFile text(written + ".txt");
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_EQ(text.readAll(), "12,5 mm");
    EXPECT_TRUE(printed.contains("Document: " + QFile::encodeName(written) + ".txt\n"))
        << printed.constData();

    QString whyNot;
    const auto disk = TScratchMount::Make(scratch.filePath("disk"), 256 * 1024, whyNot);
    for (const QString& prefix :
         {scratch.filePath("missing/shot"), disk ? disk->Path() + "/shot" : QString()}) {
        if (prefix.isEmpty())
            continue;
        SCOPED_TRACE(prefix.toStdString());
        if (disk) {
            ASSERT_TRUE(disk->Fill());
        }
        TSnapshot failing(window, prefix, 86400);
        printed = Printed([&] { taken = failing.Take(); });
        EXPECT_FALSE(taken);
        EXPECT_TRUE(printed.isEmpty()) << printed.constData();
        EXPECT_FALSE(QFileInfo::exists(prefix + ".txt"));
        EXPECT_FALSE(QFileInfo::exists(prefix + ".png"));
    }
    if (!disk)
        GTEST_SKIP() << "the full disk was left out: " << whyNot.toStdString();
}

} // namespace
