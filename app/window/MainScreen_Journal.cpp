// The capture journal's part of the main window: the journal of this run,
// and the offer to restore what a run that did not shut down left behind.
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"
#include "app/document/DocumentFile.h"
#include "app/journal/CaptureJournal.h"
#include "app/journal/DocumentJournal.h"
#include "app/texts/FileTexts.h"
#include "app/texts/Texts.h"
#include "platform/Dialogs.h"

#include <QDateTime>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <cerrno>

void TMainScreen::StartJournal() {
    const QString folder = journal::Folder();
    platform::TFileError error;
    if (!journal::MakeFolder(folder, error)) {
        JournalFailed(folder, error);
        return;
    }
    FJournal = std::make_unique<TDocumentJournal>(Editor, *FInserter, FSession,
                                                  journal::NewJournalPath(folder));
    FJournal->OnFailure = [this](const QString& path, const platform::TFileError& failure) {
        JournalFailed(path, failure);
    };
    FSeriesView->SetJournal(FJournal.get());
}

void TMainScreen::JournalFailed(const QString& path, const platform::TFileError& error) {
    // Once, in the tooltip: a box per reading would stop the work.
    ShowStatusNote(TStatusNote::Journal,
                   Translated("Ungesicherte Messwerte werden nicht gegen Abstürze gesichert: %1")
                       .arg(QStringLiteral("%1 (%2)").arg(FileReasonText(error), path)));
}

// A journal that can be neither kept aside nor removed (a folder without
// write permission) is remembered by its identity, so that it is not offered
// at every start; the user hears of it once.
void TMainScreen::PassOrphan(journal::TOrphan& orphan, const platform::TFileError& error) {
    Settings.PassedJournals = (Settings.PassedJournals + u' ' + orphan.Identity()).trimmed();
    FPassedOrphans.append(QStringLiteral("%1\n%2").arg(orphan.Path(), FileReasonText(error)));
}

void TMainScreen::KeepOrphanAside(journal::TOrphan& orphan) {
    platform::TFileError error;
    if (orphan.KeepAside(QDateTime::currentDateTime(), error).isEmpty())
        PassOrphan(orphan, error);
}

void TMainScreen::RecoverJournal() {
    const QString folder = journal::Folder();
    journal::Prune(folder, QDateTime::currentDateTime());
    const QStringList passed = Settings.PassedJournals.split(u' ', Qt::SkipEmptyParts);
    Settings.PassedJournals.clear();
    std::vector<journal::TOrphan> orphans;
    for (journal::TOrphan& orphan : journal::ClaimOrphans(folder)) {
        if (!passed.contains(orphan.Identity())) {
            orphans.push_back(std::move(orphan));
            continue;
        }
        // Passed over before: set aside quietly once the folder allows it.
        platform::TFileError still;
        if (orphan.KeepAside(QDateTime::currentDateTime(), still).isEmpty())
            Settings.PassedJournals =
                (Settings.PassedJournals + u' ' + orphan.Identity()).trimmed();
    }
    FPassedOrphans.clear();
    if (!orphans.empty()) {
        // One question, about the newest; older ones are kept aside untouched.
        for (size_t i = 1; i < orphans.size(); ++i)
            KeepOrphanAside(orphans[i]);
        OfferOrphan(orphans.front());
    }
    if (!FPassedOrphans.isEmpty())
        FDialogs.MessageBox(
            Translated("Ein Wiederherstellungsprotokoll kann weder beiseitegelegt noch gelöscht "
                       "werden; es wird nicht wieder angeboten:") +
                u'\n' + FPassedOrphans.join(u'\n'),
            QString(), platform::MB_OK | platform::MB_ICONWARNING);
}

void TMainScreen::OfferOrphan(journal::TOrphan& orphan) {
    const journal::TContents contents = orphan.Read();
    if (contents.State != journal::TContents::TState::Unreadable && contents.Text.isEmpty() &&
        contents.LostBytes == 0) {
        // An emptied document: nothing to offer.
        if (!orphan.Remove())
            PassOrphan(orphan, platform::FileErrorOf(errno, platform::TFileStep::Replace));
        return;
    }
    if (contents.Text.isEmpty()) {
        platform::TFileError error;
        const QString kept = orphan.KeepAside(QDateTime::currentDateTime(), error);
        if (kept.isEmpty())
            PassOrphan(orphan, error);
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
                    Translated("Das Protokoll ist unvollständig oder stellenweise beschädigt; "
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
        KeepOrphanAside(orphan); // one click destroys nothing
        return;
    }
    // Untitled and modified: the user saves it where they like.
    // Readings that came before the question stay, after the restored ones.
    FInserter->Flush();
    const QString arrived = UngroupLines(Editor->document()->toRawText());
    Editor->setPlainText(GroupLines(contents.Text + arrived));
    FUtf8Document = false;
    FSeriesView->Restore(contents.Series); // a journal of the old version kept none
    SetFileName(UntitledName(), false);
    Editor->moveCursor(QTextCursor::End); // new readings follow the recovered ones
    Editor->document()->setModified(true);
    // The old journal goes only once this run's journal holds its text.
    if (FJournal && FJournal->SnapshotNow() && orphan.Remove())
        return;
    KeepOrphanAside(orphan);
}
