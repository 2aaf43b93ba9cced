#pragma once

#include "platform/Files.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <vector>

// The capture journal: what is needed to rebuild an unsaved document after a
// crash or a power cut. A journal is a header and a row of records, each a
// snapshot of the whole text or a reading appended after it, so the cost of a
// reading is the reading itself. Since version 2 the series of measurements
// is kept beside the text: a snapshot is followed by the series' readings
// with their arrival times, and each reading added to the series is appended
// (a snapshot begins the series anew). Version 2 gave each reading a record
// of its own; since version 3 the readings that come one after another share
// one record, as a stream's readings share one insertion. The running program holds an exclusive
// flock on its journal: the kernel lets go of it however the program ends,
// which tells a journal left behind from one still being written.
//
// Layout (little-endian): header "BRQJ", u32 version, i64 creation time (ms
// since the epoch); each record u8 kind, u32 payload size, i64 time, the
// payload (UTF-8), u32 CRC-32 of everything before it in the record. The
// payload of a SeriesReadings record is a row of readings, each i64 arrival
// time, u32 size and the line (UTF-8); the record's time is its newest.
// Records carry no mark of their start, but a damaged one need not cost those
// after it: the next intact record is found by trying every later offset for
// a known kind, a size that fits, a time near the journal's and a CRC that
// holds (a chance of about one in 2^32 for a false one, once the other
// checks passed).
namespace journal {

constexpr quint32 Version = 3;
// Journals of version 1 hold no series; they still restore their text.
constexpr quint32 OldestVersion = 1;
constexpr qsizetype HeaderSize = 16;
constexpr qsizetype RecordOverhead = 1 + 4 + 8 + 4;

// SeriesReading: one reading of the series (version 2 wrote these).
enum class TRecordKind : quint8 {
    Snapshot = 1,
    Reading = 2,
    SeriesReading = 3,
    SeriesReadings = 4
};

QByteArray EncodeHeader(qint64 createdMs);
QByteArray EncodeRecord(TRecordKind kind, qint64 timeMs, QStringView text);

// Readings of the series onto the end of a buffer, gathered into
// SeriesReadings records of up to MaxBytes each. Nothing else may be
// appended to the buffer while a record is open: Close it first.
class TSeriesRecords {
public:
    static constexpr qsizetype MaxBytes = 64 * 1024;
    explicit TSeriesRecords(QByteArray& out) : FOut(out) {}
    ~TSeriesRecords() { Close(); }
    TSeriesRecords(const TSeriesRecords&) = delete;
    TSeriesRecords& operator=(const TSeriesRecords&) = delete;
    // The line as it went into the series, and its arrival time.
    void Add(qint64 arrivalMs, QStringView line);
    // Ends the open record (its size, time and CRC), if there is one.
    void Close();
    // The buffer was emptied: an open record went with it.
    void Forget() { FStart = -1; }

private:
    QByteArray& FOut;
    qsizetype FStart = -1; // where the open record begins
    qint64 FNewestMs = 0;
};

// A reading of the series as the journal kept it.
struct TSeriesLine {
    qint64 Time = 0; // arrival, ms since the epoch
    QString Text;
    bool operator==(const TSeriesLine&) const = default;
};

// What a journal holds, as far as it is intact.
struct TContents {
    enum class TState {
        Intact,    // every byte read
        Damaged,   // cut off, or damaged in places (LostBytes)
        Unreadable // not a journal, or of a newer or unknown version
    };
    TState State = TState::Intact;
    QString Text;      // the rebuilt document, lines separated by '\n'
    qint64 LastMs = 0; // time of the newest intact record
    qsizetype Records = 0;
    qsizetype LostBytes = 0; // skipped as damaged, and a cut-off end
    // The series since the last snapshot; HasSeries is false for a journal
    // of a version that kept none.
    bool HasSeries = false;
    std::vector<TSeriesLine> Series;
    int Lines() const;
};
TContents Decode(QByteArrayView bytes);

// $XDG_STATE_HOME/Brisquell, ~/.local/state/Brisquell without it.
QString Folder();

// The journal of this instance. Nothing is on disk until the first Rewrite;
// Remove takes it away again. A failure leaves Failure() set and writes
// nothing more; the journal stays on disk, held by this instance, until
// Remove takes it away (a journal whose document was saved must not be
// offered after the next start).
class TWriter {
public:
    // path: the journal's file; its folder must exist.
    explicit TWriter(QString path);
    ~TWriter();
    TWriter(const TWriter&) = delete;
    TWriter& operator=(const TWriter&) = delete;

    // Replaces the journal by a header, one snapshot and the records given
    // (the series, as AppendSeries queues them), on disk and synced before it
    // takes the old one's place.
    bool Rewrite(QStringView snapshot, qint64 timeMs, QByteArrayView records = {});
    // Queues a reading as the editor took it (CR LF, a lone CR and LF each a
    // line break); Flush writes it. A large backlog is written at once.
    bool Append(QStringView reading, qint64 timeMs);
    // Queues a reading of the series with its arrival time.
    bool AppendSeries(QStringView line, qint64 arrivalMs);
    // Writes what is queued.
    bool Flush();
    // Writes what is queued and has it reach the disk on a thread of its own,
    // so the caller never waits for the disk. With a sync still under way
    // the new one is left for later (Unsynced() tells); a sync that failed
    // shows here, at the next call.
    bool SyncSoon();
    // Written since the last sync began.
    bool Unsynced() const { return FUnsynced; }
    void Remove();

    // Being written: on disk and not failed.
    bool IsOpen() const { return FFile != nullptr && !FFailure; }
    qsizetype Pending() const { return FPending.size(); }
    // How often the journal was made to reach the disk.
    qsizetype Syncs() const { return FSyncs.load(); }
    const QString& Path() const { return FPath; }
    const platform::TFileError& Failure() const { return FFailure; }

    static constexpr qsizetype MaxPending = 64 * 1024;

private:
    bool Fail(platform::TFileStep step);
    void ClearPending();

    QString FPath;
    std::unique_ptr<QFile> FFile;
    QByteArray FPending;
    TSeriesRecords FSeriesPending{FPending};
    platform::TFileError FFailure;
    bool FUnsynced = false;
    std::atomic<qsizetype> FSyncs{0};
    // The sync under way: 0 or its errno. Last, so it is waited for first.
    std::future<int> FSync;
};

// A journal left behind by an instance that is no longer running, locked
// while it is looked at so that no other instance offers it too.
class TOrphan {
public:
    static std::optional<TOrphan> Claim(const QString& path);
    const QString& Path() const { return FPath; }
    TContents Read() const;
    // Renames it to kept-<date>-<name> beside it; the new path, empty when
    // that fails (error tells why).
    QString KeepAside(const QDateTime& now, platform::TFileError& error);
    bool Remove();
    // The file as it is, for remembering a journal that could be neither
    // kept aside nor removed: device, inode, size and modification time.
    QString Identity() const;

private:
    explicit TOrphan(QString path, std::unique_ptr<QFile> file);
    QString FPath;
    std::unique_ptr<QFile> FFile;
};

// The orphaned journals of the folder, newest first; journals of running
// instances are left alone.
std::vector<TOrphan> ClaimOrphans(const QString& folder);
// Removes journals kept aside more than 14 days ago, and half-written
// snapshots that no running instance owns.
void Prune(const QString& folder, const QDateTime& now);
// A fresh name for this instance's journal in the folder.
QString NewJournalPath(const QString& folder);
// Makes the folder (mode 0700) with its parents when missing; false with the
// reason when it cannot be made.
bool MakeFolder(const QString& folder, platform::TFileError& error);

} // namespace journal
