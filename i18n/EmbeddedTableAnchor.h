#pragma once

#include <cstdint>

namespace gnugettext {

// The file offset of the table of files appended to this executable, as the
// appender wrote it into the 8 bytes after the signature in read-only data;
// 0 when nothing was appended.
std::int64_t EmbeddedTableOffset();

} // namespace gnugettext
