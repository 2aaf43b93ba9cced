#include "Files.h"

#include "oskit/Fd.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int MaxLinks = 40; // as the kernel follows them
constexpr size_t MaxTemporaryBase = 200;

TFileError TypeError(mode_t mode, TFileStep step) {
    TFileError error;
    error.Step = step;
    if (S_ISDIR(mode))
        error.Reason = TFileReason::IsFolder;
    else if (S_ISFIFO(mode))
        error.Reason = TFileReason::IsPipe;
    else if (S_ISSOCK(mode))
        error.Reason = TFileReason::IsSocket;
    else
        error.Reason = TFileReason::IsDevice;
    return error;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path names once its symbolic links are followed; a dangling
// link names the file it would point to. lstat's result for that file is
// left in info (st_mode 0 when it does not exist).
TFileError FollowLinks(std::string& path, struct stat& info) {
    for (int hops = 0; hops <= MaxLinks; ++hops) {
        if (::lstat(path.c_str(), &info) != 0) {
            info.st_mode = 0;
            // A new file; a missing folder shows when the file is made.
            return errno == ENOENT ? TFileError{} : FileErrorOf(errno, TFileStep::Target);
        }
        if (!S_ISLNK(info.st_mode))
            return {};
        std::string target(static_cast<size_t>(info.st_size) + 256, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            return FileErrorOf(errno, TFileStep::Target);
        target.resize(static_cast<size_t>(length));
        path = target.starts_with('/') ? target : FolderOf(path) + '/' + target;
    }
    return FileErrorOf(ELOOP, TFileStep::Target);
}

// A name of its own beside the target, hidden, that no other file has.
std::string TemporaryName(const std::string& path, std::mt19937_64& random) {
    std::string base = NameOf(path).substr(0, MaxTemporaryBase);
    // Not inside a UTF-8 sequence.
    while (!base.empty() && (static_cast<unsigned char>(base.back()) & 0xC0) == 0x80)
        base.pop_back();
    if (!base.empty() && (static_cast<unsigned char>(base.back()) & 0xC0) == 0xC0)
        base.pop_back();
    static constexpr char Digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix(8, '0');
    for (char& c : suffix)
        c = Digits[random() % (sizeof Digits - 1)];
    return FolderOf(path) + "/." + base + '.' + suffix + ".new";
}

TFileError WriteAll(int fd, QByteArrayView bytes) {
    const char* at = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written =
            ::write(fd, at, static_cast<size_t>(std::min<qsizetype>(left, 1 << 30)));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return FileErrorOf(written < 0 ? errno : EIO, TFileStep::Write);
        at += written;
        left -= written;
    }
    return {};
}

// A rename reaches the disk with its folder. The target is already replaced
// by then, so a failure here is no failure of the write.
void SyncFolder(const std::string& folder) {
    const oskit::TFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid())
        ::fsync(fd.Get());
}

// The new file, written and on the disk; closed by the caller's handle.
TFileError FillTemporary(const oskit::TFd& fd, const struct stat& target, QByteArrayView bytes) {
    // An existing file's mode exactly; a new one's as the umask makes it.
    if (target.st_mode != 0 && ::fchmod(fd.Get(), target.st_mode & 07777) != 0)
        return FileErrorOf(errno, TFileStep::Temporary);
    if (TFileError error = WriteAll(fd.Get(), bytes))
        return error;
    if (::fsync(fd.Get()) != 0)
        return FileErrorOf(errno, TFileStep::Sync);
    return {};
}

} // namespace

TFileError FileErrorOf(int errnum, TFileStep step) {
    TFileError error;
    error.Step = step;
    error.Errno = errnum;
    const bool reading = step == TFileStep::Read;
    switch (errnum) {
    case ENOSPC:
    case EDQUOT:
        error.Reason = TFileReason::DiskFull;
        break;
    case EACCES:
    case EPERM:
        error.Reason = TFileReason::Denied;
        break;
    case EROFS:
        error.Reason = TFileReason::ReadOnly;
        break;
    case ENOENT:
    case ENOTDIR:
        error.Reason = reading ? TFileReason::NotFound : TFileReason::NoFolder;
        break;
    case EISDIR:
        error.Reason = TFileReason::IsFolder;
        break;
    case ELOOP:
        error.Reason = TFileReason::LinkLoop;
        break;
    case ENAMETOOLONG:
        error.Reason = TFileReason::NameTooLong;
        break;
    case EFBIG:
        error.Reason = TFileReason::TooLarge;
        break;
    case EIO:
        error.Reason = TFileReason::InputOutput;
        break;
    default:
        error.Reason = TFileReason::Other;
    }
    return error;
}

QString EnglishDescription(const TFileError& error) {
    switch (error.Reason) {
    case TFileReason::None:
        return QStringLiteral("no error");
    case TFileReason::IsFolder:
        return QStringLiteral("is a folder");
    case TFileReason::IsPipe:
        return QStringLiteral("is a named pipe");
    case TFileReason::IsDevice:
        return QStringLiteral("is a device");
    case TFileReason::IsSocket:
        return QStringLiteral("is a socket");
    default:
        break;
    }
    if (error.Step == TFileStep::Temporary &&
        (error.Reason == TFileReason::Denied || error.Reason == TFileReason::ReadOnly))
        return QStringLiteral("the folder takes no new file: %1")
            .arg(QString::fromLocal8Bit(std::strerror(error.Errno)));
    return QString::fromLocal8Bit(std::strerror(error.Errno));
}

TFileError ReplaceFile(const QString& path, QByteArrayView bytes) {
    std::string target = QFile::encodeName(path).toStdString();
    if (target.empty())
        return FileErrorOf(ENOENT, TFileStep::Target);
    struct stat info {};
    if (TFileError error = FollowLinks(target, info))
        return error;
    if (info.st_mode != 0) {
        if (!S_ISREG(info.st_mode))
            return TypeError(info.st_mode, TFileStep::Target);
        // A file its owner made read-only stays as it is.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return FileErrorOf(errno, TFileStep::Target);
    }

    std::mt19937_64 random(std::random_device{}());
    std::string temporary;
    oskit::TFd fd;
    for (int attempt = 0; attempt < 100 && !fd.Valid(); ++attempt) {
        temporary = TemporaryName(target, random);
        fd.Reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.Valid() && errno != EEXIST)
            return FileErrorOf(errno, TFileStep::Temporary);
    }
    if (!fd.Valid())
        return FileErrorOf(EEXIST, TFileStep::Temporary);

    TFileError error = FillTemporary(fd, info, bytes);
    // A network file system may report a failed write only when it closes.
    if (!error && ::close(fd.Release()) != 0)
        error = FileErrorOf(errno, TFileStep::Sync);
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = FileErrorOf(errno, TFileStep::Replace);
    if (error) {
        fd.Reset();
        ::unlink(temporary.c_str());
        return error;
    }
    SyncFolder(FolderOf(target));
    return {};
}

TFileError ReadRegularFile(const QString& path, QByteArray& bytes, qint64 limit) {
    bytes.clear();
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return FileErrorOf(ENOENT, TFileStep::Read);
    // Looked at before it is opened (opening a device may act on it), and
    // opened without waiting (a pipe without a writer would wait forever);
    // looked at again once open, in case it was exchanged meanwhile.
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return FileErrorOf(errno, TFileStep::Read);
    if (!S_ISREG(info.st_mode))
        return TypeError(info.st_mode, TFileStep::Read);
    const oskit::TFd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.Valid())
        return FileErrorOf(errno, TFileStep::Read);
    if (::fstat(fd.Get(), &info) != 0)
        return FileErrorOf(errno, TFileStep::Read);
    if (!S_ISREG(info.st_mode))
        return TypeError(info.st_mode, TFileStep::Read);
    const auto tooLarge = [limit, &bytes](qint64 size) {
        if (limit < 0 || size <= limit)
            return false;
        bytes.clear();
        return true;
    };
    if (tooLarge(info.st_size))
        return FileErrorOf(EFBIG, TFileStep::Read);
    // The size is a hint: the file may grow or shrink while it is read.
    bytes.resize(static_cast<qsizetype>(info.st_size) + 1);
    qsizetype size = 0;
    for (;;) {
        if (tooLarge(size))
            return FileErrorOf(EFBIG, TFileStep::Read);
        if (size == bytes.size())
            bytes.resize(size + std::max<qsizetype>(size / 2, 4096));
        const ssize_t got =
            ::read(fd.Get(), bytes.data() + size, static_cast<size_t>(bytes.size() - size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int saved = errno;
            bytes.clear();
            return FileErrorOf(saved, TFileStep::Read);
        }
        if (got == 0)
            break;
        size += got;
    }
    bytes.truncate(size);
    return {};
}

EFileError::EFileError(QString path, TFileError error)
    : std::runtime_error(
          QStringLiteral("%1: %2").arg(path, EnglishDescription(error)).toStdString()),
      FPath(std::move(path)), FError(error) {}

} // namespace platform
