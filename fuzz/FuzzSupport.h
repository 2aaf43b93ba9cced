#pragma once

#include "oskit/Fd.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzzing {

// Stops the run with a message; libFuzzer keeps the input that got here.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz property violated: %s\n", what);
    std::abort();
}

inline void Require(bool condition, const char* what) {
    if (!condition)
        Fail(what);
}

// Bytes in an anonymous in-memory file, reachable by a path, for code that
// opens and maps files by name; nothing touches the disk.
class TMemoryFile {
public:
    explicit TMemoryFile(const std::uint8_t* data, std::size_t size)
        : FFd(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
        Require(FFd.Valid(), "memfd_create");
        std::size_t written = 0;
        while (written < size) {
            const ssize_t n = ::write(FFd.Get(), data + written, size - written);
            Require(n > 0, "write to the memory file");
            written += static_cast<std::size_t>(n);
        }
    }
    QString Path() const { return QStringLiteral("/proc/self/fd/%1").arg(FFd.Get()); }

private:
    oskit::TFd FFd;
};

// Takes bytes from the front of the input, as a harness decides what to do.
class TInput {
public:
    TInput(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
    bool Empty() const { return FPos >= FSize; }
    std::uint8_t Byte() { return Empty() ? 0 : FData[FPos++]; }
    std::uint8_t Peek() const { return Empty() ? 0 : FData[FPos]; }
    QByteArray Bytes(std::size_t count) {
        const std::size_t n = std::min(count, FSize - FPos);
        QByteArray taken(reinterpret_cast<const char*>(FData + FPos), static_cast<qsizetype>(n));
        FPos += n;
        return taken;
    }
    QByteArray Rest() { return Bytes(FSize - FPos); }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};

} // namespace fuzzing
