// The catalog reader over arbitrary bytes: a file is refused or read, and
// lookups never leave the mapping, whatever it holds.
#include "fuzz/FuzzSupport.h"

#include "i18n/GnuGettextErrors.h"
#include "i18n/TMoFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte places the catalog inside the file, as one appended to
    // the executable lies at an offset.
    fuzzing::TInput input(data, size);
    const std::int64_t offset = input.Byte() % 8;
    const fuzzing::TMemoryFile file(data, size);
    try {
        const gnugettext::TMoFile catalog(file.Path(), offset);
        bool found = false;
        (void)catalog.Lookup("", found);
        // Every slice of the input is a plausible message id.
        for (int i = 0; i < 16 && !input.Empty(); ++i) {
            const QByteArray id = input.Bytes(input.Byte() % 32);
            const QByteArrayView translation = catalog.Lookup(id, found);
            if (!found)
                fuzzing::Require(translation.data() == id.data(),
                                 "a missing id comes back as itself");
        }
    } catch (const gnugettext::EGGIOError&) {
        // refused: the expected outcome for most inputs
    }
    return 0;
}
