#include "i18n/TFileLocator.h"

#include "i18n/ByteText.h"
#include "i18n/EmbeddedTableAnchor.h"

#include <QFile>
#include <QFileInfo>

#include <cassert>
#include <mutex>

namespace gnugettext {

namespace {

// A name field longer than this is corrupt; the appender writes 232 bytes.
constexpr std::int64_t MaxNameLength = 4096;

bool ReadInt64(QFile& file, std::int64_t& value) {
    unsigned char bytes[8];
    if (file.read(reinterpret_cast<char*>(bytes), 8) != 8)
        return false;
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | bytes[i];
    value = static_cast<std::int64_t>(v);
    return true;
}

} // namespace

QString ExecutablePath() {
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

TFileLocator::TFileLocator(QString executablePath) : FExecutablePath(std::move(executablePath)) {}

TFileLocator::~TFileLocator() = default;

void TFileLocator::ScanExecutable() {
    const std::int64_t offset = EmbeddedTableOffset();
    if (offset != 0)
        ScanTable(offset);
}

void TFileLocator::ScanTable(std::int64_t firstEntryOffset) {
    if (firstEntryOffset == 0)
        return;
    const QFileInfo exe(FExecutablePath);
    FExecutableFolder = exe.absolutePath() + QLatin1Char('/');

    QFile file(FExecutablePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    std::int64_t offset = firstEntryOffset;
    for (;;) {
        std::int64_t next = 0;
        TEmbeddedFileInfo info;
        if (offset <= 0 || !file.seek(offset) || !ReadInt64(file, next) || next == 0)
            return;
        if (!ReadInt64(file, info.DataOffset) || !ReadInt64(file, info.DataSize))
            return;
        // A next entry that does not lie behind this one would loop. offset is
        // a position in the file, so offset + 24 cannot overflow; next can be
        // anything, so it is compared before it is subtracted.
        if (next < offset + 24 || next - (offset + 24) > MaxNameLength)
            return;
        const std::int64_t nameLength = next - (offset + 24);
        const QByteArray raw = file.read(nameLength);
        if (raw.size() != nameLength)
            return;
        if (!EmbeddedFiles.emplace(QString::fromUtf8(TrimmedBytes(raw)), info).second)
            return; // duplicate name
        offset = next;
    }
}

const TEmbeddedFileInfo* TFileLocator::FindEmbedded(const QString& path) const {
    if (FExecutableFolder.isEmpty() || !path.startsWith(FExecutableFolder, Qt::CaseSensitive))
        return nullptr;
    const auto it = EmbeddedFiles.find(path.mid(FExecutableFolder.size()));
    return it == EmbeddedFiles.end() ? nullptr : &it->second;
}

bool TFileLocator::HasEmbeddedFile(const QString& path) const {
    return FindEmbedded(path) != nullptr;
}

TMoFile* TFileLocator::AcquireCatalog(const QString& path) {
    QString realName = path;
    std::int64_t offset = 0;
    if (const TEmbeddedFileInfo* info = FindEmbedded(path)) {
        realName = FExecutablePath;
        offset = info->DataOffset;
    }
    const QString key = realName + QChar(u'\0') + QString::number(offset);

    std::unique_lock lock(CatalogCacheLock);
    auto it = CatalogCache.find(key);
    if (it == CatalogCache.end())
        it = CatalogCache.emplace(key, std::make_unique<TMoFile>(realName, offset)).first;
    ++it->second->UseCount;
    return it->second.get();
}

void TFileLocator::ReleaseCatalog(TMoFile* catalog) {
    assert(catalog != nullptr && "ReleaseCatalog needs a catalog");
    if (catalog == nullptr)
        return;
    std::unique_lock lock(CatalogCacheLock);
    if (--catalog->UseCount > 0)
        return;
    for (auto it = CatalogCache.rbegin(); it != CatalogCache.rend(); ++it) {
        if (it->second.get() == catalog) {
            CatalogCache.erase(std::next(it).base());
            return;
        }
    }
}

QStringList TFileLocator::EmbeddedFileNames() const {
    QStringList names;
    for (const auto& entry : EmbeddedFiles)
        names << entry.first;
    return names;
}

const TEmbeddedFileInfo* TFileLocator::EmbeddedFile(const QString& name) const {
    const auto it = EmbeddedFiles.find(name);
    return it == EmbeddedFiles.end() ? nullptr : &it->second;
}

int TFileLocator::OpenCatalogCount() const {
    std::shared_lock lock(CatalogCacheLock);
    return static_cast<int>(CatalogCache.size());
}

} // namespace gnugettext
