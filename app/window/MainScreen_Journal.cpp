// The capture journal's part of the main window: the journal of this run,
// and the document restored from what a run that did not shut down left.
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"
#include "app/document/DocumentFile.h"
#include "app/journal/CaptureJournal.h"
#include "app/journal/DocumentJournal.h"
#include "app/texts/FileTexts.h"
#include "app/texts/Texts.h"
#include "app/window/JournalRecovery.h"
#include "platform/Dialogs.h"

#include <QPlainTextEdit>
#include <QTextCursor>

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
    FStatusBar->ShowNote(
        TStatusNote::Journal,
        Translated("Ungesicherte Messwerte werden nicht gegen Abstürze gesichert: %1")
            .arg(QStringLiteral("%1 (%2)").arg(FileReasonText(error), path)));
}

void TMainScreen::RecoverJournal() {
    TJournalRecovery recovery(
        {.Dialogs = FDialogs,
         .Paused =
             [this](const std::function<void()>& question) {
                 const TLinkPause paused(*this);
                 question();
             },
         .Restore =
             [this](const journal::TContents& contents) { return RestoreDocument(contents); }});
    recovery.Run(journal::Folder(), Settings.PassedJournals);
}

bool TMainScreen::RestoreDocument(const journal::TContents& contents) {
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
    return FJournal && FJournal->SnapshotNow();
}
