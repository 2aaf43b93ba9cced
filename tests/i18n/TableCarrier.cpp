// A small program that carries files the way Brisquell carries its catalogs.
// It prints what its own locator finds, reading the table's offset from its
// loaded read-only data as the program does: one line per file, the name,
// the data offset and the size.
#include "i18n/TFileLocator.h"

#include <cstdio>

int main() {
    gnugettext::TFileLocator locator(gnugettext::ExecutablePath());
    locator.ScanExecutable();
    for (const QString& name : locator.EmbeddedFileNames()) {
        const gnugettext::TEmbeddedFileInfo* info = locator.EmbeddedFile(name);
        std::printf("%s %lld %lld\n", name.toUtf8().constData(),
                    static_cast<long long>(info->DataOffset),
                    static_cast<long long>(info->DataSize));
    }
    return 0;
}
