#pragma once

#include "i18n/PosixFile.h"
#include "oskit/Fd.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace gnugettext {

// One opened catalog in the GNU gettext message-object format, mapped
// read-only and addressed in place at its offset within the file (0 for a
// catalog file, the data offset for a catalog appended to the executable).
//
// The constructor checks every table entry against the end of the file, so a
// corrupt catalog is refused at once and lookups never read outside the
// mapping, whatever the bytes.
class TMoFile {
public:
    // Raises EGGIOError when the file cannot be opened or mapped or is not a
    // catalog.
    TMoFile(const QString& fileName, std::int64_t dataOffset);
    TMoFile(const TMoFile&) = delete;
    TMoFile& operator=(const TMoFile&) = delete;

    // The translation of id, or id itself with found = false. The result
    // refers to the mapping (or to id) and is valid while both live.
    QByteArrayView Lookup(QByteArrayView id, bool& found) const;

    // The 32-bit word at offset from the catalog's first byte, in the
    // catalog's byte order.
    std::uint32_t ReadWord(std::uint32_t offset) const;

    bool SwapBytes = false;
    int UseCount = 0; // maintained by TFileLocator under its lock
    std::uint32_t EntryCount = 0;
    std::uint32_t IdTableOffset = 0;
    std::uint32_t TranslationTableOffset = 0;
    std::uint32_t SearchStart = 0;
    std::uint32_t SearchStep = 0;

private:
    void ReadHeader(const QString& fileName);
    bool TableEntriesFit(std::uint32_t tableOffset) const;
    QByteArrayView String(std::uint32_t tableOffset, std::uint32_t index) const;

    oskit::TFd FileHandle;
    TReadOnlyMapping View;
    const unsigned char* CatalogBase = nullptr;
    std::uint64_t CatalogSize = 0; // bytes from CatalogBase to the end of the file
};

} // namespace gnugettext
