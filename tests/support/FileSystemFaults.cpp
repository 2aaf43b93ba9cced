#include "tests/support/FileSystemFaults.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

QString Filler(const QString& root) {
    return root + "/.filler";
}

// A private mount namespace for the calling thread, once: mounts made after
// it never reach the machine's.
bool PrivateNamespace(QString& whyNot) {
    static int result = -1;
    static int error = 0;
    if (result < 0) {
        result = ::unshare(CLONE_NEWNS) == 0 &&
                         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                     ? 1
                     : 0;
        error = errno;
    }
    if (result == 0)
        whyNot = QStringLiteral("no private mount namespace (%1): mounting needs root")
                     .arg(QString::fromLocal8Bit(std::strerror(error)));
    return result == 1;
}

bool CapGet(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

bool CapSet(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}

constexpr std::uint32_t Overrides =
    (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

} // namespace

std::unique_ptr<TScratchMount> TScratchMount::Make(const QString& where, qint64 bytes,
                                                   QString& whyNot) {
    if (!PrivateNamespace(whyNot))
        return nullptr;
    QDir().mkpath(where);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    if (::mount("brisquell-test", QFile::encodeName(where).constData(), "tmpfs", 0,
                options.constData()) != 0) {
        whyNot = QStringLiteral("tmpfs not mounted: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    return std::unique_ptr<TScratchMount>(new TScratchMount(where));
}

TScratchMount::~TScratchMount() {
    ::umount2(QFile::encodeName(FPath).constData(), MNT_DETACH);
    QDir().rmdir(FPath);
}

bool TScratchMount::Fill() {
    const QByteArray name = QFile::encodeName(Filler(FPath));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::vector<char> block(64 * 1024, 'f');
    bool full = false;
    // Large blocks first, then single bytes for what is left in the last page.
    for (size_t size = block.size(); size > 0 && !full; size /= 2) {
        for (;;) {
            const ssize_t written = ::write(fd, block.data(), size);
            if (written < 0 && errno == ENOSPC)
                break;
            if (written <= 0) {
                ::close(fd);
                return false;
            }
        }
        full = size == 1;
    }
    ::close(fd);
    return full;
}

void TScratchMount::Unfill() {
    QFile::remove(Filler(FPath));
}

bool TScratchMount::RemountReadOnly() {
    return ::mount(nullptr, QFile::encodeName(FPath).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                   nullptr) == 0;
}

TWithoutOverride::TWithoutOverride() {
    __user_cap_data_struct data[2]{};
    if (!CapGet(data))
        return;
    FSaved[0] = data[0].effective;
    FSaved[1] = data[1].effective;
    if ((data[0].effective & Overrides) == 0) {
        FEffective = true;
        return;
    }
    data[0].effective &= ~Overrides;
    FChanged = FEffective = CapSet(data);
}

TWithoutOverride::~TWithoutOverride() {
    if (!FChanged)
        return;
    __user_cap_data_struct data[2]{};
    if (!CapGet(data))
        return;
    data[0].effective = FSaved[0];
    data[1].effective = FSaved[1];
    CapSet(data);
}
