#include "ShellFolders.h"

#include "oskit/Folders.h"

namespace platform {

QString GetSpecialFolder(int csidl) {
    if (csidl == CSIDL_APPDATA)
        return QString::fromStdString(oskit::ConfigFolder());
    return {};
}

} // namespace platform
