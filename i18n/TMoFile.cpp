#include "i18n/TMoFile.h"

#include "i18n/GnuGettextErrors.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace gnugettext {

namespace {

constexpr std::uint32_t LittleEndianMagic = 0x950412DE;
constexpr std::uint32_t BigEndianMagic = 0xDE120495;
constexpr std::uint32_t HeaderSize = 20;

// Unsigned byte comparison; a prefix sorts before the longer text.
int CompareIds(QByteArrayView id, QByteArrayView entry) {
    const qsizetype common = std::min(id.size(), entry.size());
    if (common > 0) {
        const int diff = std::memcmp(id.data(), entry.data(), static_cast<std::size_t>(common));
        if (diff != 0)
            return diff;
    }
    return id.size() < entry.size() ? -1 : (id.size() > entry.size() ? 1 : 0);
}

} // namespace

TMoFile::TMoFile(const QString& fileName, std::int64_t dataOffset) {
    const QByteArray nativeName = QFile::encodeName(fileName);
    // O_NONBLOCK: a pipe put in a catalog's place would otherwise hold the
    // open until someone writes to it; it is refused below like any other
    // file that is not a regular one.
    FileHandle.Reset(::open(nativeName.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!FileHandle.Valid())
        throw EGGIOError(QStringLiteral("Cannot open file ") + fileName);

    struct stat info {};
    if (::fstat(FileHandle.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0)
        throw EGGIOError(QStringLiteral("Cannot create memory map on file ") + fileName);

    if (!View.Map(FileHandle.Get(), static_cast<std::size_t>(info.st_size))) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        throw EGGIOError(QStringLiteral("Cannot map file ") + fileName +
                         QStringLiteral(" into memory. Reason: ") + reason);
    }
    if (dataOffset < 0 || static_cast<std::uint64_t>(dataOffset) > View.Size())
        throw EGGIOError(QStringLiteral("This file is not a valid GNU gettext mo file: ") +
                         fileName);
    CatalogBase = View.Data() + dataOffset;
    CatalogSize = View.Size() - static_cast<std::uint64_t>(dataOffset);
    ReadHeader(fileName);
}

void TMoFile::ReadHeader(const QString& fileName) {
    const auto invalid = [&fileName] {
        return EGGIOError(QStringLiteral("This file is not a valid GNU gettext mo file: ") +
                          fileName);
    };
    if (CatalogSize < HeaderSize)
        throw invalid();
    SwapBytes = false;
    const std::uint32_t magic = ReadWord(0);
    if (magic != LittleEndianMagic && magic != BigEndianMagic)
        throw invalid();
    SwapBytes = magic == BigEndianMagic;
    (void)ReadWord(4); // format revision
    EntryCount = ReadWord(8);
    IdTableOffset = ReadWord(12);
    TranslationTableOffset = ReadWord(16);
    // Not checked by the format's own readers; a catalog that fails here would
    // send the search outside the file.
    if (EntryCount == 0 || !TableEntriesFit(IdTableOffset) ||
        !TableEntriesFit(TranslationTableOffset))
        throw invalid();

    std::uint32_t start = 1;
    while (start <= EntryCount / 2)
        start *= 2;
    SearchStart = start;
    SearchStep = start / 2;
}

bool TMoFile::TableEntriesFit(std::uint32_t tableOffset) const {
    const std::uint64_t tableEnd = std::uint64_t{tableOffset} + std::uint64_t{EntryCount} * 8;
    if (tableEnd > CatalogSize || tableEnd > UINT32_MAX)
        return false;
    for (std::uint32_t i = 0; i < EntryCount; ++i) {
        const std::uint64_t length = ReadWord(tableOffset + 8 * i);
        const std::uint64_t offset = ReadWord(tableOffset + 8 * i + 4);
        if (offset + length > CatalogSize)
            return false;
    }
    return true;
}

std::uint32_t TMoFile::ReadWord(std::uint32_t offset) const {
    const unsigned char* p = CatalogBase + offset;
    const std::uint32_t word = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                               std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
    if (!SwapBytes)
        return word;
    return (word >> 24) | ((word >> 8) & 0xFF00u) | ((word << 8) & 0xFF0000u) | (word << 24);
}

// Entry index (from 1) of a table: length first, then offset.
QByteArrayView TMoFile::String(std::uint32_t tableOffset, std::uint32_t index) const {
    const std::uint32_t entry = tableOffset + 8 * (index - 1);
    const std::uint32_t length = ReadWord(entry);
    const std::uint32_t offset = ReadWord(entry + 4);
    return {reinterpret_cast<const char*>(CatalogBase + offset), static_cast<qsizetype>(length)};
}

QByteArrayView TMoFile::Lookup(QByteArrayView id, bool& found) const {
    found = false;
    std::uint32_t i = SearchStart;
    std::uint32_t step = SearchStep;
    for (;;) {
        const int order = CompareIds(id, String(IdTableOffset, i));
        if (order == 0) {
            found = true;
            return String(TranslationTableOffset, i);
        }
        if (step == 0)
            return id;
        if (order < 0)
            i = step + 1 > i ? 1 : i - step;
        else
            i = std::min(i + step, EntryCount);
        step /= 2;
    }
}

} // namespace gnugettext
