// The capture journal's part of the main window: the journal of this run,
// and the offer to restore what a run that did not shut down left behind.
#include "app/window/TMainScreen.h"

#include "app/journal/CaptureJournal.h"
#include "app/document/DocumentFile.h"
#include "app/journal/DocumentJournal.h"
#include "app/capture/EditorInserter.h"
#include "app/texts/Texts.h"
#include "platform/Dialogs.h"

#include <QDateTime>
#include <QPlainTextEdit>
#include <QTextCursor>

void TMainScreen::StartJournal() {
    const QString folder = journal::Folder();
    QString error;
    if (!journal::MakeFolder(folder, error)) {
        JournalFailed(error);
        return;
    }
    FJournal =
        std::make_unique<TDocumentJournal>(Editor, *FInserter, journal::NewJournalPath(folder));
    FJournal->OnFailure = [this](const QString& reason) { JournalFailed(reason); };
    FJournal->SetSeries(&FSeries);
}

void TMainScreen::JournalFailed(const QString& reason) {
    // Once, in the tooltip: a box per reading would stop the work.
    ShowStatusNote(
        TStatusNote::Journal,
        Translated("Ungesicherte Messwerte werden nicht gegen Abstürze gesichert: %1").arg(reason));
}

void TMainScreen::RecoverJournal() {
    const QString folder = journal::Folder();
    journal::Prune(folder, QDateTime::currentDateTime());
    std::vector<journal::TOrphan> orphans = journal::ClaimOrphans(folder);
    if (orphans.empty())
        return;
    // One question, about the newest; older ones are kept aside untouched.
    for (size_t i = 1; i < orphans.size(); ++i)
        orphans[i].KeepAside(QDateTime::currentDateTime());
    OfferOrphan(orphans.front());
}

void TMainScreen::OfferOrphan(journal::TOrphan& orphan) {
    const journal::TContents contents = orphan.Read();
    if (contents.State != journal::TContents::TState::Unreadable && contents.Text.isEmpty() &&
        contents.LostBytes == 0) {
        orphan.Remove(); // an emptied document: nothing to offer
        return;
    }
    if (contents.Text.isEmpty()) {
        const QString kept = orphan.KeepAside(QDateTime::currentDateTime());
        FDialogs.MessageBox(
            Translated("Ein Wiederherstellungsprotokoll ist beschädigt oder stammt von einer "
                       "neueren Version; es wurde aufbewahrt: %1")
                .arg(kept.isEmpty() ? orphan.Path() : kept),
            QString(), platform::MB_OK | platform::MB_ICONWARNING);
        return;
    }
    QString question =
        Translated("Brisquell wurde nicht ordnungsgemäß beendet. Die ungesicherten Messwerte "
                   "vom %1 (%2 Zeilen) wiederherstellen ?")
            .arg(QDateTime::fromMSecsSinceEpoch(contents.LastMs)
                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
            .arg(contents.Lines());
    if (contents.LostBytes > 0)
        question += QStringLiteral("\n\n") +
                    Translated("Das Ende des Protokolls ist unvollständig oder beschädigt; "
                               "%1 Bytes davon sind verloren.")
                        .arg(contents.LostBytes);
    // The port scan may have connected already: no reading goes in while the
    // question is up.
    int answer = platform::IDNO;
    {
        const TLinkPause paused(*this);
        answer = FDialogs.MessageBox(question, QString(),
                                     platform::MB_YESNO | platform::MB_ICONQUESTION);
    }
    if (answer != platform::IDYES) {
        orphan.KeepAside(QDateTime::currentDateTime()); // one click destroys nothing
        return;
    }
    // Untitled and modified: the user saves it where they like.
    // Readings that came before the question stay, after the restored ones.
    FInserter->Flush();
    const QString arrived = UngroupLines(Editor->document()->toRawText());
    Editor->setPlainText(GroupLines(contents.Text + arrived));
    FUtf8Document = false;
    RestoreSeries(contents.Series); // a journal of the old version kept none
    SetFileName(UntitledName(), false);
    Editor->moveCursor(QTextCursor::End); // new readings follow the recovered ones
    Editor->document()->setModified(true);
    // The old journal goes only once this run's journal holds its text.
    if (FJournal && FJournal->SnapshotNow())
        orphan.Remove();
    else
        orphan.KeepAside(QDateTime::currentDateTime());
}
