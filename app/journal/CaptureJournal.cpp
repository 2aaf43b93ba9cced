#include "app/journal/CaptureJournal.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QtEndian>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace journal {
namespace {

constexpr char Magic[4] = {'B', 'R', 'Q', 'J'};
constexpr qint64 KeepDays = 14;
constexpr qint64 DayMs = 24 * 60 * 60 * 1000;
const QString JournalPrefix = QStringLiteral("capture-");
const QString KeptPrefix = QStringLiteral("kept-");
const QString NewSuffix = QStringLiteral(".new");
const QString DateFormat = QStringLiteral("yyyyMMdd-HHmmss");

template <typename T> void Put(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

template <typename T> T Get(const char* at) {
    return qFromLittleEndian<T>(at);
}

quint32 Crc(QByteArrayView bytes) {
    return static_cast<quint32>(
        ::crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// The path still names the file that is open: a journal replaced or removed
// by its instance between our open and our lock is not an orphan.
bool SameFile(const QFile& file, const QString& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(file.handle(), &opened) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool LockExclusive(const QFile& file) {
    return ::flock(file.handle(), LOCK_EX | LOCK_NB) == 0;
}

// A rename reaches the disk with its folder.
void SyncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

QString FolderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

} // namespace

QByteArray EncodeHeader(qint64 createdMs) {
    QByteArray out(Magic, sizeof Magic);
    Put<quint32>(out, Version);
    Put<qint64>(out, createdMs);
    return out;
}

namespace {

// UTF-8 of text at out, which has room for 3 bytes a character; the end.
char* EncodeUtf8(char* out, QStringView text) {
    // Readings are ASCII as a rule: those need no encoder.
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
            return encoder.appendToBuffer(out, text);
        }
    }
    for (const QChar c : text)
        *out++ = static_cast<char>(c.unicode());
    return out;
}

constexpr qsizetype EntryOverhead = 8 + 4;

} // namespace

// One record onto the end of out, encoded in place: a reading costs its own
// bytes and no buffer of its own. With lineBreaks, CR LF and a lone CR become
// LF, as the editor takes them.
void AppendRecord(QByteArray& out, TRecordKind kind, qint64 timeMs, QStringView text,
                  bool lineBreaks) {
    const qsizetype start = out.size();
    out.resize(start + RecordOverhead + text.size() * 3);
    char* record = out.data() + start;
    record[0] = static_cast<char>(kind);
    qToLittleEndian<qint64>(timeMs, record + 5);
    char* const payload = record + RecordOverhead - 4;
    char* end = EncodeUtf8(payload, text);
    if (lineBreaks) {
        char* kept = payload;
        for (const char* at = payload; at < end; ++at) {
            if (*at != '\r')
                *kept++ = *at;
            else if (at + 1 == end || at[1] != '\n')
                *kept++ = '\n';
        }
        end = kept;
    }
    const auto size = static_cast<quint32>(end - payload);
    qToLittleEndian<quint32>(size, record + 1);
    qToLittleEndian<quint32>(Crc(QByteArrayView(record, RecordOverhead - 4 + size)), end);
    out.truncate(start + RecordOverhead + size);
}

QByteArray EncodeRecord(TRecordKind kind, qint64 timeMs, QStringView text) {
    QByteArray out;
    AppendRecord(out, kind, timeMs, text, false);
    return out;
}

void TSeriesRecords::Add(qint64 arrivalMs, QStringView line) {
    if (FStart >= 0 && FOut.size() - FStart > MaxBytes)
        Close();
    if (FStart < 0) {
        FStart = FOut.size();
        FOut.resize(FStart + RecordOverhead - 4);
        FOut[FStart] = static_cast<char>(TRecordKind::SeriesReadings);
    }
    const qsizetype at = FOut.size();
    FOut.resize(at + EntryOverhead + line.size() * 3);
    char* entry = FOut.data() + at;
    qToLittleEndian<qint64>(arrivalMs, entry);
    char* const end = EncodeUtf8(entry + EntryOverhead, line);
    qToLittleEndian<quint32>(static_cast<quint32>(end - entry - EntryOverhead), entry + 8);
    FOut.truncate(end - FOut.constData());
    FNewestMs = arrivalMs;
}

void TSeriesRecords::Close() {
    if (FStart < 0)
        return;
    char* record = FOut.data() + FStart;
    const qsizetype size = FOut.size() - FStart - (RecordOverhead - 4);
    qToLittleEndian<quint32>(static_cast<quint32>(size), record + 1);
    qToLittleEndian<qint64>(FNewestMs, record + 5);
    const quint32 crc = Crc(QByteArrayView(record, RecordOverhead - 4 + size));
    FStart = -1;
    Put<quint32>(FOut, crc);
}

int TContents::Lines() const {
    if (Text.isEmpty())
        return 0;
    return static_cast<int>(Text.count(QLatin1Char('\n'))) +
           (Text.endsWith(QLatin1Char('\n')) ? 0 : 1);
}

namespace {

// The readings of a SeriesReadings payload; one that does not fit what is
// left (which its CRC makes a writer's fault, not damage) ends the record.
void DecodeSeries(QByteArrayView payload, std::vector<TSeriesLine>& series) {
    qsizetype at = 0;
    while (payload.size() - at >= EntryOverhead) {
        const char* entry = payload.data() + at;
        const quint32 size = Get<quint32>(entry + 8);
        if (size > static_cast<quint64>(payload.size() - at - EntryOverhead))
            return;
        series.push_back({Get<qint64>(entry), QString::fromUtf8(entry + EntryOverhead, size)});
        at += EntryOverhead + size;
    }
}

// The size of an intact record at offset at (its CRC holds), or -1.
qsizetype IntactRecord(QByteArrayView bytes, qsizetype at) {
    const qsizetype left = bytes.size() - at;
    if (left < RecordOverhead)
        return -1;
    const char* record = bytes.data() + at;
    const quint32 size = Get<quint32>(record + 1);
    if (size > static_cast<quint64>(left - RecordOverhead) ||
        Get<quint32>(record + RecordOverhead - 4 + size) !=
            Crc(QByteArrayView(record, RecordOverhead - 4 + size)))
        return -1;
    return RecordOverhead + size;
}

// Where the next intact record after damage at offset from begins, or the
// end. Only a record of a known kind whose time lies near the journal's
// creation is taken: the CRC is checked only where all of that holds, which
// keeps the search linear in practice and a false find unlikely.
qsizetype NextIntactRecord(QByteArrayView bytes, qsizetype from, qint64 createdMs) {
    constexpr qint64 Before = 366 * DayMs;
    constexpr qint64 After = 3660 * DayMs;
    using Limits = std::numeric_limits<qint64>;
    // A damaged header may hold any time: no overflow at the ends.
    const qint64 earliest = createdMs < Limits::min() + Before ? Limits::min() : createdMs - Before;
    const qint64 latest = createdMs > Limits::max() - After ? Limits::max() : createdMs + After;
    for (qsizetype at = from + 1; bytes.size() - at >= RecordOverhead; ++at) {
        const char* record = bytes.data() + at;
        const auto kind = static_cast<quint8>(record[0]);
        if (kind < static_cast<quint8>(TRecordKind::Snapshot) ||
            kind > static_cast<quint8>(TRecordKind::SeriesReadings))
            continue;
        const qint64 time = Get<qint64>(record + 5);
        if (time < earliest || time > latest)
            continue;
        if (IntactRecord(bytes, at) > 0)
            return at;
    }
    return bytes.size();
}

} // namespace

TContents Decode(QByteArrayView bytes) {
    TContents contents;
    const quint32 version = bytes.size() >= HeaderSize ? Get<quint32>(bytes.data() + 4) : 0;
    if (bytes.size() < HeaderSize || !bytes.startsWith(QByteArrayView(Magic, sizeof Magic)) ||
        version < OldestVersion || version > Version) {
        contents.State = TContents::TState::Unreadable;
        return contents;
    }
    contents.HasSeries = version >= 2;
    const qint64 createdMs = Get<qint64>(bytes.data() + 8);
    qsizetype at = HeaderSize;
    while (at < bytes.size()) {
        const qsizetype length = IntactRecord(bytes, at);
        if (length < 0) {
            // A damaged record, or a cut-off end: the records after it stay.
            const qsizetype next = NextIntactRecord(bytes, at, createdMs);
            contents.State = TContents::TState::Damaged;
            contents.LostBytes += next - at;
            at = next;
            continue;
        }
        const char* record = bytes.data() + at;
        const quint32 size = static_cast<quint32>(length - RecordOverhead);
        const auto kind = static_cast<TRecordKind>(static_cast<quint8>(record[0]));
        const QString text =
            kind == TRecordKind::SeriesReadings ? QString() : QString::fromUtf8(record + 13, size);
        const qint64 time = Get<qint64>(record + 5);
        if (kind == TRecordKind::Snapshot) {
            contents.Text = text;
            contents.Series.clear(); // the series follows the snapshot
        } else if (kind == TRecordKind::Reading) {
            contents.Text += text;
        } else if (kind == TRecordKind::SeriesReading && contents.HasSeries) {
            contents.Series.push_back({time, text});
        } else if (kind == TRecordKind::SeriesReadings && contents.HasSeries) {
            DecodeSeries(QByteArrayView(record + 13, size), contents.Series);
        }
        // An intact record of a kind this version does not know adds nothing.
        contents.LastMs = time;
        ++contents.Records;
        at += length;
    }
    return contents;
}

QString Folder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Brisquell");
}

bool MakeFolder(const QString& folder, platform::TFileError& error) {
    const QByteArray path = QFile::encodeName(QDir::cleanPath(folder));
    // Parent by parent, so a failure has its own reason; the parents as the
    // umask makes them, the folder itself private.
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? path : path.left(slash);
        if (::mkdir(part.constData(), slash < 0 ? 0700 : 0777) != 0 && errno != EEXIST) {
            error = platform::FileErrorOf(errno, platform::TFileStep::Target);
            return false;
        }
        if (slash < 0)
            break;
    }
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        error = platform::FileErrorOf(errno, platform::TFileStep::Target);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = platform::FileErrorOf(ENOTDIR, platform::TFileStep::Target);
        return false;
    }
    return true;
}

QString NewJournalPath(const QString& folder) {
    return QStringLiteral("%1/%2%3-%4-%5.brqj")
        .arg(folder, JournalPrefix, QDateTime::currentDateTime().toString(DateFormat))
        .arg(::getpid())
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

TWriter::TWriter(QString path) : FPath(std::move(path)) {}

TWriter::~TWriter() = default;

// The file, when there is one, stays open and locked: it is this instance's
// until Remove takes it away.
bool TWriter::Fail(platform::TFileStep step) {
    FFailure = platform::FileErrorOf(errno, step);
    ClearPending();
    return false;
}

bool TWriter::Rewrite(QStringView snapshot, qint64 timeMs, QByteArrayView records) {
    const QString fresh = FPath + NewSuffix;
    QFile::remove(fresh); // a half-written one of ours, or nothing
    auto file = std::make_unique<QFile>(fresh);
    if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                    QFile::ReadOwner | QFile::WriteOwner))
        return Fail(platform::TFileStep::Temporary);
    if (!LockExclusive(*file)) {
        const int saved = errno;
        file->remove();
        errno = saved;
        return Fail(platform::TFileStep::Temporary);
    }
    QByteArray bytes = EncodeHeader(timeMs) + EncodeRecord(TRecordKind::Snapshot, timeMs, snapshot);
    bytes.append(records);
    if (file->write(bytes) != bytes.size() || ::fdatasync(file->handle()) != 0 ||
        ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(FPath).constData()) != 0) {
        const int saved = errno;
        file->remove();
        errno = saved;
        return Fail(platform::TFileStep::Write);
    }
    SyncFolder(FolderOf(FPath));
    ++FSyncs;
    FUnsynced = false;
    FFailure = {};
    FFile = std::move(file); // the old journal's lock goes with its handle
    ClearPending();
    return true;
}

bool TWriter::Append(QStringView reading, qint64 timeMs) {
    if (!IsOpen())
        return false;
    if (FPending.capacity() < 2 * MaxPending)
        FPending.reserve(2 * MaxPending);
    FSeriesPending.Close();
    AppendRecord(FPending, TRecordKind::Reading, timeMs, reading, true);
    return FPending.size() < MaxPending || Flush();
}

bool TWriter::AppendSeries(QStringView line, qint64 arrivalMs) {
    if (!IsOpen())
        return false;
    FSeriesPending.Add(arrivalMs, line);
    return FPending.size() < MaxPending || Flush();
}

void TWriter::ClearPending() {
    FPending.clear();
    FSeriesPending.Forget(); // its open record went with the bytes
}

bool TWriter::Flush() {
    if (!IsOpen())
        return false;
    if (!FPending.isEmpty()) {
        FSeriesPending.Close();
        if (FFile->write(FPending) != FPending.size())
            return Fail(platform::TFileStep::Write);
        FPending.clear();
        FUnsynced = true;
    }
    return true;
}

bool TWriter::SyncSoon() {
    if (!Flush())
        return false;
    if (FSync.valid()) {
        if (FSync.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return true;
        if (const int error = FSync.get(); error != 0) {
            errno = error;
            return Fail(platform::TFileStep::Sync);
        }
    }
    if (!FUnsynced)
        return true;
    // A handle of its own keeps the file open for the sync, whatever
    // becomes of ours meanwhile.
    const int fd = ::fcntl(FFile->handle(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return Fail(platform::TFileStep::Sync);
    FUnsynced = false;
    FSync = std::async(std::launch::async, [this, fd] {
        const int error = ::fdatasync(fd) == 0 ? 0 : errno;
        ::close(fd);
        if (error == 0)
            ++FSyncs;
        return error;
    });
    return true;
}

void TWriter::Remove() {
    // A failed journal as well: it would be offered again at the next start.
    if (FFile)
        ::unlink(QFile::encodeName(FPath).constData()); // still locked while it goes
    FFile.reset();
    FFailure = {};
    ClearPending();
}

TOrphan::TOrphan(QString path, std::unique_ptr<QFile> file)
    : FPath(std::move(path)), FFile(std::move(file)) {}

std::optional<TOrphan> TOrphan::Claim(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly) || !LockExclusive(*file) || !SameFile(*file, path))
        return std::nullopt;
    return TOrphan(path, std::move(file));
}

TContents TOrphan::Read() const {
    FFile->seek(0);
    return Decode(FFile->readAll());
}

QString TOrphan::KeepAside(const QDateTime& now, platform::TFileError& error) {
    const QFileInfo info(FPath);
    const QString kept =
        QStringLiteral("%1/%2%3-%4")
            .arg(info.absolutePath(), KeptPrefix, now.toString(DateFormat), info.fileName());
    if (::rename(QFile::encodeName(FPath).constData(), QFile::encodeName(kept).constData()) != 0) {
        error = platform::FileErrorOf(errno, platform::TFileStep::Replace);
        return {};
    }
    return kept;
}

bool TOrphan::Remove() {
    if (::unlink(QFile::encodeName(FPath).constData()) != 0)
        return false;
    SyncFolder(FolderOf(FPath));
    return true;
}

QString TOrphan::Identity() const {
    struct stat info {};
    if (::fstat(FFile->handle(), &info) != 0)
        return {};
    return QStringLiteral("%1:%2:%3:%4.%5")
        .arg(info.st_dev)
        .arg(info.st_ino)
        .arg(info.st_size)
        .arg(info.st_mtim.tv_sec)
        .arg(info.st_mtim.tv_nsec, 9, 10, QLatin1Char('0'));
}

std::vector<TOrphan> ClaimOrphans(const QString& folder) {
    std::vector<TOrphan> orphans;
    const QFileInfoList files = QDir(folder).entryInfoList(
        {JournalPrefix + QStringLiteral("*.brqj")}, QDir::Files, QDir::Time);
    for (const QFileInfo& file : files)
        if (auto orphan = TOrphan::Claim(file.absoluteFilePath()))
            orphans.push_back(std::move(*orphan));
    return orphans;
}

void Prune(const QString& folder, const QDateTime& now) {
    const QDir dir(folder);
    for (const QString& name : dir.entryList({KeptPrefix + QLatin1Char('*')}, QDir::Files)) {
        const QDateTime kept =
            QDateTime::fromString(name.mid(KeptPrefix.size(), DateFormat.size()), DateFormat);
        if (kept.isValid() && kept.daysTo(now) > KeepDays)
            QFile::remove(dir.filePath(name));
    }
    for (const QString& name :
         dir.entryList({JournalPrefix + QLatin1Char('*') + NewSuffix}, QDir::Files)) {
        QFile file(dir.filePath(name));
        // A snapshot being written this minute may not be locked yet.
        if (QFileInfo(file).lastModified().secsTo(now) < 60)
            continue;
        if (file.open(QIODevice::ReadOnly) && LockExclusive(file))
            QFile::remove(file.fileName());
    }
}

} // namespace journal
