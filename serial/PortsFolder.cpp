#include "serial/PortsFolder.h"

#include "platform/ShellFolders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxPort = 99;
constexpr int kFirstFreeNumber = 3;

QByteArray Native(const QString& Path) {
    return QFile::encodeName(Path);
}

// True when Path resolves (following links) to a character device.
bool CharDevice(const QString& Path, unsigned long long* Rdev = nullptr) {
    struct stat st {};
    if (::stat(Native(Path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    if (Rdev != nullptr)
        *Rdev = st.st_rdev;
    return true;
}

// True when the name itself exists, dangling link or not.
bool EntryExists(const QString& Path) {
    struct stat st {};
    return ::lstat(Native(Path).constData(), &st) == 0;
}

qint64 ChangeTimeMs(const QString& Path) {
    struct stat st {};
    if (::lstat(Native(Path).constData(), &st) != 0)
        return 0;
    return qint64(st.st_ctim.tv_sec) * 1000 + st.st_ctim.tv_nsec / 1000000;
}

const QRegularExpression& SerialNamePattern() {
    static const QRegularExpression re(QStringLiteral("^(ttyUSB|ttyACM|rfcomm)(\\d+)$"));
    return re;
}

// Kernel order: ttyACM0, ttyACM2, ttyACM10, rfcomm0, ttyUSB0 ...
bool KernelOrder(const QString& a, const QString& b) {
    const auto ma = SerialNamePattern().match(a);
    const auto mb = SerialNamePattern().match(b);
    if (ma.captured(1) != mb.captured(1))
        return ma.captured(1) < mb.captured(1);
    return ma.captured(2).toULongLong() < mb.captured(2).toULongLong();
}

QString DefaultFolder() {
    const QString config = platform::GetSpecialFolder(platform::CSIDL_APPDATA);
    return config.isEmpty() ? QString() : config + QStringLiteral("/Brisquell/ports");
}

} // namespace

TPortsFolder::TPortsFolder(TPortRoots Roots)
    : FRoots(std::move(Roots)), FFolder(FRoots.Folder.isEmpty() ? DefaultFolder() : FRoots.Folder) {
}

bool TPortsFolder::IsSerialDeviceName(const QString& Name) {
    return SerialNamePattern().match(Name).hasMatch();
}

std::set<unsigned long long> TPortsFolder::ConsoleDevices() const {
    std::set<unsigned long long> result;
    QFile file(FRoots.Proc + QStringLiteral("/consoles"));
    if (!file.open(QIODevice::ReadOnly))
        return result;
    // Each line starts with the console's device name below /dev.
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QByteArray name = line.simplified().split(' ').value(0);
        unsigned long long rdev = 0;
        if (!name.isEmpty() && !name.contains("..") &&
            CharDevice(FRoots.Dev + '/' + QString::fromUtf8(name), &rdev))
            result.insert(rdev);
    }
    return result;
}

QString TPortsFolder::DevicePath(int Port) const {
    if (Port < 1 || Port > kMaxPort)
        return {};
    QString path;
    if (!FFolder.isEmpty() && EntryExists(EntryPath(Port)))
        path = EntryPath(Port);
    else if (Port == 1 || Port == 2)
        path = FRoots.Dev + QStringLiteral("/ttyS%1").arg(Port - 1);
    else
        return {};
    unsigned long long rdev = 0;
    if (!CharDevice(path, &rdev) || ConsoleDevices().count(rdev) != 0)
        return {};
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

std::map<unsigned long long, int> TPortsFolder::MappedDevices() const {
    std::map<unsigned long long, int> result;
    for (int port = 1; port <= kMaxPort; ++port) {
        unsigned long long rdev = 0;
        if (CharDevice(EntryPath(port), &rdev))
            result.emplace(rdev, port);
    }
    return result;
}

int TPortsFolder::FreeNumber() const {
    for (int port = kFirstFreeNumber; port <= kMaxPort; ++port)
        if (!EntryExists(EntryPath(port)))
            return port;
    return 0;
}

QString TPortsFolder::ByIdNameOf(unsigned long long Rdev) const {
    const QDir dir(ById());
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        unsigned long long rdev = 0;
        if (CharDevice(dir.filePath(name), &rdev) && rdev == Rdev)
            return dir.filePath(name);
    }
    return {};
}

bool TPortsFolder::WriteLink(int Port, const QString& Target, bool Replace) {
    if (!QDir().mkpath(FFolder))
        return false;
    const QString name = PortName(Port);
    const QString temp = FFolder + QStringLiteral("/.%1.new").arg(name);
    const QString link = Replace ? temp : EntryPath(Port);
    if (Replace)
        ::unlink(Native(temp).constData());
    if (::symlink(Native(Target).constData(), Native(link).constData()) != 0)
        return false;
    // Replacing goes through a rename so that the entry never disappears.
    if (Replace && ::rename(Native(temp).constData(), Native(EntryPath(Port)).constData()) != 0) {
        ::unlink(Native(temp).constData());
        return false;
    }
    FOwnWrites.insert(name);
    return true;
}

void TPortsFolder::UpgradeKernelLinks() {
    for (auto it = FKernelLinks.begin(); it != FKernelLinks.end();) {
        const auto& [port, target] = *it;
        unsigned long long rdev = 0;
        if (QFile::symLinkTarget(EntryPath(port)) != target) {
            it = FKernelLinks.erase(it); // someone else rewrote the entry
            continue;
        }
        const QString byId = CharDevice(target, &rdev) ? ByIdNameOf(rdev) : QString();
        if (!byId.isEmpty() && WriteLink(port, byId, true))
            it = FKernelLinks.erase(it);
        else
            ++it;
    }
}

qint64 TPortsFolder::AssignNewDevices() {
    if (FFolder.isEmpty())
        return 0;
    UpgradeKernelLinks();
    const auto consoles = ConsoleDevices();
    auto mapped = MappedDevices();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qint64 retryAt = 0;

    const QDir dev(FRoots.Dev);
    QStringList names = dev.entryList(
        {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"), QStringLiteral("rfcomm*")},
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& n) { return !IsSerialDeviceName(n); }),
                names.end());
    std::sort(names.begin(), names.end(), KernelOrder);

    for (const QString& name : names) {
        const QString path = dev.filePath(name);
        unsigned long long rdev = 0;
        if (!CharDevice(path, &rdev) || consoles.count(rdev) != 0 || mapped.count(rdev) != 0)
            continue;
        const QString byId = ByIdNameOf(rdev);
        // udev adds the by-id link a moment after the device; numbering the
        // device before it appears would give a re-plugged converter a new
        // number. rfcomm devices never get one.
        if (byId.isEmpty() && !name.startsWith(QStringLiteral("rfcomm"))) {
            const qint64 settled = std::min(ChangeTimeMs(path), now) + FRoots.SettleMs;
            if (settled > now) {
                retryAt = retryAt == 0 ? settled : std::min(retryAt, settled);
                continue;
            }
        }
        const QString target = byId.isEmpty() ? path : byId;
        // Another instance may take the same number at the same moment.
        for (int tries = 0; tries < 3; ++tries) {
            const int port = FreeNumber();
            if (port == 0)
                break;
            if (WriteLink(port, target, false)) {
                if (byId.isEmpty())
                    FKernelLinks[port] = target;
                mapped.emplace(rdev, port);
                break;
            }
            if (errno != EEXIST || MappedDevices().count(rdev) != 0)
                break;
        }
    }
    return retryAt;
}

bool TPortsFolder::ConsumeOwnWrite(const QString& Name) {
    const auto it = FOwnWrites.find(Name);
    if (it == FOwnWrites.end())
        return false;
    FOwnWrites.erase(it);
    return true;
}
