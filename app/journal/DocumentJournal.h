#pragma once

#include "app/capture/CaptureSession.h"
#include "app/journal/CaptureJournal.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class QPlainTextEdit;
class TEditorInserter;
namespace series {
class TSeries;
}

// Keeps the capture journal of the editor's document while it holds unsaved
// changes: a snapshot when the changes begin, each reading appended as it is
// inserted, a fresh snapshot at most every SnapshotMs while the user edits
// by hand, the data on its way to the disk SyncMs after it arrived (the
// disk's time is spent on a thread of its own, not the window's). When the
// document is saved or discarded (no longer modified) the journal goes.
// The series of measurements goes with the text: each snapshot carries the
// whole series, each reading added to it is appended with its arrival time.
// Readings that wait in a hold of the capture session are journaled as they
// arrive: they are in no document yet, and a crash must not lose them.
class TDocumentJournal : public QObject, private TCaptureSubscriber {
    Q_OBJECT
public:
    static constexpr int SyncMs = 1000;
    static constexpr int SnapshotMs = 30000;

    TDocumentJournal(QPlainTextEdit* editor, TEditorInserter& inserter, TCaptureSession& session,
                     QString path);
    // A clean end: the journal is removed.
    ~TDocumentJournal() override;
    TDocumentJournal(const TDocumentJournal&) = delete;
    TDocumentJournal& operator=(const TDocumentJournal&) = delete;

    // Covers the editor's whole text now; false when the journal is off.
    bool SnapshotNow();
    // The series the snapshots carry; none: no series is kept.
    void SetSeries(const series::TSeries* series) { FSeries = series; }
    // A line went into the series. While the document has no unsaved
    // changes there is no journal: the first snapshot will carry it.
    void SeriesLineAdded(QStringView line, qint64 arrivalMs);
    // The series was begun anew or lost its newest reading.
    void SeriesChanged();
    const journal::TWriter& Writer() const { return FWriter; }
    // Told once, with the journal's path and the reason, when the journal
    // cannot be written; it is off for the rest of the run, and still
    // removed when the document is saved or discarded.
    std::function<void(const QString&, const platform::TFileError&)> OnFailure;

private:
    void ReadingInserted(QStringView text);
    // TCaptureSubscriber
    void TextHeld(const TCaptureText& text) override;
    // The journal keeps only the held text: the document's own is safe.
    void HoldOnlyHeld();
    void ContentsChanged();
    void ModificationChanged(bool modified);
    void SyncDue();
    void SnapshotDue();
    void End();
    void Appended(bool written);
    void Failed();

    QByteArray SeriesRecords() const;

    QPlainTextEdit* FEditor;
    TEditorInserter& FInserter;
    TCaptureSession& FSession;
    const series::TSeries* FSeries = nullptr;
    journal::TWriter FWriter;
    QTimer FSyncTimer;
    QTimer FSnapshotTimer;
    QElapsedTimer FSinceSnapshot;
    bool FBroken = false;
    // Text held back by the session was journaled as it arrived; when it
    // goes in, a snapshot covers the document it went into.
    bool FHeldJournaled = false;
};
