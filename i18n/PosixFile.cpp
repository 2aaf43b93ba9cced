#include "i18n/PosixFile.h"

#include <sys/mman.h>

namespace gnugettext {

TReadOnlyMapping::~TReadOnlyMapping() {
    if (FData != nullptr)
        ::munmap(const_cast<unsigned char*>(FData), FSize);
}

bool TReadOnlyMapping::Map(int fd, std::size_t size) {
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED)
        return false;
    FData = static_cast<const unsigned char*>(view);
    FSize = size;
    return true;
}

} // namespace gnugettext
