#pragma once

#include <cstddef>

namespace gnugettext {

// A read-only mapping of a whole file, unmapped when the object goes.
class TReadOnlyMapping {
public:
    TReadOnlyMapping() = default;
    ~TReadOnlyMapping();
    TReadOnlyMapping(const TReadOnlyMapping&) = delete;
    TReadOnlyMapping& operator=(const TReadOnlyMapping&) = delete;

    // Maps size bytes of fd; false (with errno set) when the system refuses.
    bool Map(int fd, std::size_t size);
    const unsigned char* Data() const { return FData; }
    std::size_t Size() const { return FSize; }

private:
    const unsigned char* FData = nullptr;
    std::size_t FSize = 0;
};

} // namespace gnugettext
