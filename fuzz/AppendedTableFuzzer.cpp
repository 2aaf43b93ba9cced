// The scan of the table of files appended to the executable, and the
// catalogs it names, over an arbitrary "executable".
#include "fuzz/FuzzSupport.h"

#include "i18n/GnuGettextErrors.h"
#include "i18n/TFileLocator.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::TInput input(data, size);
    // The first two bytes give where the table starts.
    const std::int64_t first = input.Byte() | input.Byte() << 8;
    const fuzzing::TMemoryFile file(data, size);
    gnugettext::TFileLocator locator(file.Path());
    locator.ScanTable(first);
    for (const QString& name : locator.EmbeddedFileNames()) {
        const QString path = locator.ExecutableFolder() + name;
        fuzzing::Require(locator.HasEmbeddedFile(path), "a listed file is found by its path");
        const gnugettext::TEmbeddedFileInfo* info = locator.EmbeddedFile(name);
        fuzzing::Require(info != nullptr, "a listed file has its entry");
        try {
            gnugettext::TMoFile* catalog = locator.AcquireCatalog(path);
            bool found = false;
            (void)catalog->Lookup("", found);
            locator.ReleaseCatalog(catalog);
        } catch (const gnugettext::EGGIOError&) {
            // not a catalog: refused
        }
    }
    fuzzing::Require(locator.OpenCatalogCount() == 0, "every catalog released is closed");
    return 0;
}
