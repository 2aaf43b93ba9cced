#include "app/journal/DocumentJournal.h"

#include "app/capture/EditorInserter.h"
#include "app/document/DocumentFile.h"
#include "series/Series.h"

#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>
#include <utility>

TDocumentJournal::TDocumentJournal(QPlainTextEdit* editor, TEditorInserter& inserter,
                                   TCaptureSession& session, QString path)
    : FEditor(editor), FInserter(inserter), FSession(session), FWriter(std::move(path)) {
    FSyncTimer.setSingleShot(true);
    FSyncTimer.setInterval(SyncMs);
    connect(&FSyncTimer, &QTimer::timeout, this, &TDocumentJournal::SyncDue);
    FSnapshotTimer.setSingleShot(true);
    connect(&FSnapshotTimer, &QTimer::timeout, this, &TDocumentJournal::SnapshotDue);
    QTextDocument* document = FEditor->document();
    connect(document, &QTextDocument::contentsChanged, this, &TDocumentJournal::ContentsChanged);
    connect(document, &QTextDocument::modificationChanged, this,
            &TDocumentJournal::ModificationChanged);
    FInserter.SetInsertedHandler([this](QStringView text) { ReadingInserted(text); });
    FSession.Subscribe(*this);
}

TDocumentJournal::~TDocumentJournal() {
    FInserter.SetInsertedHandler(nullptr);
    FSession.Unsubscribe(*this);
    End();
}

bool TDocumentJournal::SnapshotNow() {
    if (FBroken)
        return false;
    FSnapshotTimer.stop();
    FSyncTimer.stop();
    if (!FWriter.Rewrite(UngroupLines(FEditor->document()->toRawText()), FSession.Now(),
                         SeriesRecords())) {
        Failed();
        return false;
    }
    FSinceSnapshot.start();
    return true;
}

QByteArray TDocumentJournal::SeriesRecords() const {
    QByteArray records;
    if (FSeries == nullptr)
        return records;
    journal::TSeriesRecords series(records);
    for (qsizetype i = 0; i < FSeries->Size(); ++i)
        series.Add(FSeries->Reading(i).Time, FSeries->Text(i));
    series.Close();
    return records;
}

// A record went to the journal (or failed to): it reaches the disk with the
// next sync, at most a second later.
void TDocumentJournal::Appended(bool written) {
    if (!written) {
        Failed();
        return;
    }
    if (!FSyncTimer.isActive())
        FSyncTimer.start();
}

void TDocumentJournal::SeriesLineAdded(QStringView line, qint64 arrivalMs) {
    if (FBroken || !FWriter.IsOpen())
        return;
    Appended(FWriter.AppendSeries(line, arrivalMs));
}

void TDocumentJournal::SeriesChanged() {
    if (!FBroken && FWriter.IsOpen() && FEditor->document()->isModified())
        SnapshotNow();
}

void TDocumentJournal::ReadingInserted(QStringView text) {
    if (FBroken)
        return;
    if (std::exchange(FHeldJournaled, false)) {
        SnapshotNow();
        return;
    }
    // The first change of the document: the snapshot already holds the reading.
    if (!FWriter.IsOpen()) {
        SnapshotNow();
        return;
    }
    Appended(FWriter.Append(text, FSession.Now()));
}

void TDocumentJournal::TextHeld(const TCaptureText& held) {
    const QStringView text = held.Text;
    if (FBroken)
        return;
    FHeldJournaled = true;
    // Without unsaved changes the editor's text is safe: what is held is all
    // there is to keep.
    if (!FWriter.IsOpen()) {
        HoldOnlyHeld();
        return;
    }
    Appended(FWriter.Append(text, FSession.Now()));
}

void TDocumentJournal::HoldOnlyHeld() {
    FSnapshotTimer.stop();
    FSyncTimer.stop();
    if (!FWriter.Rewrite(UnifyLineBreaks(FSession.HeldText()), FSession.Now()))
        Failed();
}

void TDocumentJournal::ContentsChanged() {
    if (FBroken || FInserter.Inserting())
        return;
    // A hand edit. The first one is journaled as soon as the document counts
    // as modified (it may learn so only after this notice); later ones
    // wait for the next snapshot, at most SnapshotMs after the last.
    if (!FWriter.IsOpen())
        FSnapshotTimer.start(0);
    else if (!FSnapshotTimer.isActive())
        FSnapshotTimer.start(
            static_cast<int>(std::max<qint64>(0, SnapshotMs - FSinceSnapshot.elapsed())));
}

void TDocumentJournal::ModificationChanged(bool modified) {
    if (modified)
        return;
    // Saved or discarded while readings are held back: they are not safe yet.
    if (!FBroken && FSession.Held() && !FSession.HeldText().isEmpty())
        HoldOnlyHeld();
    else
        End();
}

void TDocumentJournal::SyncDue() {
    if (!FWriter.IsOpen())
        return;
    if (!FWriter.SyncSoon()) {
        Failed();
        return;
    }
    // The disk was still busy with the last sync: this one follows later.
    if (FWriter.Unsynced())
        FSyncTimer.start();
}

void TDocumentJournal::SnapshotDue() {
    if (FEditor->document()->isModified())
        SnapshotNow();
}

void TDocumentJournal::End() {
    FSyncTimer.stop();
    FSnapshotTimer.stop();
    FWriter.Remove();
}

// The journal stays on disk with what it holds, the best there is after a
// crash, until the document is saved or discarded or the program ends.
void TDocumentJournal::Failed() {
    FBroken = true;
    FSyncTimer.stop();
    FSnapshotTimer.stop();
    if (OnFailure)
        OnFailure(FWriter.Path(), FWriter.Failure());
}
