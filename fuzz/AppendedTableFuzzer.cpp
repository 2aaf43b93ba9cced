// The scan of the table of files carried by the executable, and the
// catalogs it names, over an arbitrary "executable"; and the appender's look
// at the same bytes (its section and signature search).
#include "fuzz/FuzzSupport.h"

#include "i18n/GnuGettextErrors.h"
#include "i18n/TFileLocator.h"
#include "tools/AppendedTable.h"

#include <cstddef>
#include <cstdint>
#include <string>

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

    const std::string image(reinterpret_cast<const char*>(data), size);
    if (const auto section = appended_table::FindSection(image, appended_table::SectionName))
        fuzzing::Require(section->Offset <= size && section->Size <= size - section->Offset,
                         "a section found lies inside the file");
    std::string filled = image;
    if (!appended_table::Append(filled, {{"a.mo", "x"}}).Error.empty())
        fuzzing::Require(filled == image, "a refused image stays as it was");
    return 0;
}
