#include "ShellFolders.h"

#include <QDir>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace platform {
namespace {

QString Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? QString::fromUtf8(value) : QString();
}

// The home folder of the password database, for sessions without $HOME.
QString PasswordHome() {
    const passwd* entry = ::getpwuid(::getuid());
    if (entry == nullptr || entry->pw_dir == nullptr)
        return {};
    return QString::fromUtf8(entry->pw_dir);
}

QString WithoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QString ConfigFolder() {
    const QString xdg = Environment("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return WithoutTrailingSlash(xdg);
    QString home = Environment("HOME");
    if (home.isEmpty() || !QDir::isAbsolutePath(home))
        home = PasswordHome();
    if (home.isEmpty())
        return {};
    home = WithoutTrailingSlash(home);
    return home == u'/' ? QStringLiteral("/.config") : home + "/.config";
}

} // namespace

QString GetSpecialFolder(int csidl) {
    if (csidl == CSIDL_APPDATA)
        return ConfigFolder();
    return {};
}

} // namespace platform
