#pragma once

// What the stress tests of the three links share: the real window started
// over a private serial module, the readings they send, and what they measure
// of this process (memory, threads, sockets).
#include "app/window/TMainScreen.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/WindowProbe.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include <unistd.h>

namespace stress {

// Resident memory of this process in bytes.
inline qint64 ResidentBytes() {
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

// Threads of this process, but for Qt's pool workers, which Qt starts and
// ends when it likes.
inline qsizetype OwnThreads() {
    qsizetype threads = 0;
    for (const QString& task :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name("/proc/self/task/" + task + "/comm");
        threads += name.open(QIODevice::ReadOnly) && name.readAll() != "Thread (pooled)\n";
    }
    return threads;
}

// Sockets open in this process.
inline qsizetype OpenSockets() {
    qsizetype sockets = 0;
    for (const QString& fd : QDir("/proc/self/fd").entryList(QDir::Files | QDir::System)) {
        std::array<char, 64> target{};
        const QByteArray link = QFile::encodeName("/proc/self/fd/" + fd);
        const ssize_t n = ::readlink(link.constData(), target.data(), target.size() - 1);
        sockets += n > 0 && std::string_view(target.data(), n).starts_with("socket:");
    }
    return sockets;
}

// The sanitizers keep freed memory aside, so resident memory says nothing
// about leaks there (the leak checker does).
constexpr bool kMemoryIsMeasurable =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    false;
#else
    true;
#endif

// Growth allowed over hundreds of cycles of a few bytes each: allocator slack.
constexpr qint64 kMemorySlack = 16 << 20;

// 11 bytes, as gauges send; no "um" and no ".", so no conversion touches it.
inline QByteArray Reading(int i) {
    return QByteArray::number(i).rightJustified(9, '0') + "\r\n";
}
// The reading as the document holds it.
inline QString Shown(const QByteArray& sent) {
    return QString::fromLatin1(sent).replace("\r\n", "\n");
}

// The real window, shown offscreen, started from a settings file.
class TStressFixture : public TWindowTest {
protected:
    void Start(const QByteArray& ini) {
        Module.emplace(testing_support::PortsFolder());
        WriteSettingsFile(ini);
        Window = std::make_unique<TMainScreen>(Dialogs);
        Window->show();
    }
    QString Panel0() const { return Panel(0); }
    QPlainTextEdit* Editor() const { return Find<QPlainTextEdit>("Editor"); }
    // The document's length, counted without copying the text out.
    int Length() const { return Editor()->document()->characterCount() - 1; }
};

} // namespace stress
