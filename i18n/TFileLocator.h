#pragma once

#include "i18n/TMoFile.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <shared_mutex>

namespace gnugettext {

// Where one appended file lies within the executable.
struct TEmbeddedFileInfo {
    std::int64_t DataOffset = 0;
    std::int64_t DataSize = 0;
};

// Orders texts without regard to letter case.
struct TCaseInsensitiveLess {
    bool operator()(const QString& a, const QString& b) const {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    }
};

// The table of files appended to the executable, and the cache that lets
// several text domains share one opened catalog.
class TFileLocator {
public:
    explicit TFileLocator(QString executablePath);
    ~TFileLocator();
    TFileLocator(const TFileLocator&) = delete;
    TFileLocator& operator=(const TFileLocator&) = delete;

    // Reads the table whose offset this executable carries in its read-only
    // data (nothing when the offset is 0).
    void ScanExecutable();
    // Reads a table starting at the given file offset of the executable.
    // Errors end the scan silently; the entries read so far stay.
    void ScanTable(std::int64_t firstEntryOffset);

    bool HasEmbeddedFile(const QString& path) const;
    // An opened catalog for path (an appended copy first, else the file on
    // disk), counted as used once more. Raises EGGIOError.
    TMoFile* AcquireCatalog(const QString& path);
    // Gives a catalog back; the last user's release closes it.
    void ReleaseCatalog(TMoFile* catalog);

    const QString& ExecutablePath() const { return FExecutablePath; }
    // The executable's folder with "/", only when it carries a table.
    const QString& ExecutableFolder() const { return FExecutableFolder; }
    QStringList EmbeddedFileNames() const;
    const TEmbeddedFileInfo* EmbeddedFile(const QString& name) const;
    int OpenCatalogCount() const;

private:
    const TEmbeddedFileInfo* FindEmbedded(const QString& path) const;

    QString FExecutablePath;
    QString FExecutableFolder;
    std::map<QString, TEmbeddedFileInfo, TCaseInsensitiveLess> EmbeddedFiles;
    // Keyed by real file name, NUL, decimal offset. File names on this
    // platform are case-sensitive, so the key is too.
    std::map<QString, std::unique_ptr<TMoFile>> CatalogCache;
    mutable std::shared_mutex CatalogCacheLock;
};

// The full path of the running program (from /proc/self/exe).
QString ExecutablePath();

} // namespace gnugettext
