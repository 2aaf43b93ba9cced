#include "app/capture/ConnectFailure.h"

#include "app/texts/Texts.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

TDeviceAccess DeviceAccess(const QString& devicePath) {
    TDeviceAccess access;
    struct stat info {};
    if (::stat(devicePath.toLocal8Bit().constData(), &info) == 0)
        if (const group* owner = ::getgrgid(info.st_gid))
            access.Group = QString::fromLocal8Bit(owner->gr_name);
    if (const passwd* user = ::getpwuid(::getuid()))
        access.User = QString::fromLocal8Bit(user->pw_name);
    return access;
}

QString ConnectFailureText(int error, const QString& portName, const QString& devicePath,
                           const TDeviceAccess& access) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return Translated("%1: kein solches Gerät (%2).").arg(portName, devicePath);
    case EBUSY:
    case EWOULDBLOCK:
        return Translated("%1 wird von einem anderen Programm benutzt (%2).")
            .arg(portName, devicePath);
    case EACCES:
    case EPERM: {
        const QString group = access.Group.isEmpty() ? QStringLiteral("dialout") : access.Group;
        const QString user = access.User.isEmpty() ? QStringLiteral("$USER") : access.User;
        return Translated("%1: keine Berechtigung für %2. Das Gerät gehört der Gruppe %3; "
                          "aufnehmen mit: %4 (danach neu anmelden).")
            .arg(portName, devicePath, group,
                 QStringLiteral("sudo usermod -a -G %1 %2").arg(group, user));
    }
    default:
        return Translated("%1: Verbindung fehlgeschlagen (%2).")
            .arg(portName, QString::fromLocal8Bit(std::strerror(error)));
    }
}
