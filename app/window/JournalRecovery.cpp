#include "app/window/JournalRecovery.h"

#include "app/journal/CaptureJournal.h"
#include "app/texts/FileTexts.h"
#include "app/texts/Texts.h"
#include "platform/Dialogs.h"

#include <QDateTime>

#include <cerrno>
#include <vector>

void TJournalRecovery::Pass(journal::TOrphan& orphan, const platform::TFileError& error) {
    *FPassed = (*FPassed + u' ' + orphan.Identity()).trimmed();
    FPassedNow.append(QStringLiteral("%1\n%2").arg(orphan.Path(), FileReasonText(error)));
}

void TJournalRecovery::KeepAside(journal::TOrphan& orphan) {
    platform::TFileError error;
    if (orphan.KeepAside(QDateTime::currentDateTime(), error).isEmpty())
        Pass(orphan, error);
}

void TJournalRecovery::Run(const QString& folder, QString& passedJournals) {
    FPassed = &passedJournals;
    journal::Prune(folder, QDateTime::currentDateTime());
    const QStringList passed = passedJournals.split(u' ', Qt::SkipEmptyParts);
    passedJournals.clear();
    std::vector<journal::TOrphan> orphans;
    for (journal::TOrphan& orphan : journal::ClaimOrphans(folder)) {
        if (!passed.contains(orphan.Identity())) {
            orphans.push_back(std::move(orphan));
            continue;
        }
        // Passed over before: set aside quietly once the folder allows it.
        platform::TFileError still;
        if (orphan.KeepAside(QDateTime::currentDateTime(), still).isEmpty())
            passedJournals = (passedJournals + u' ' + orphan.Identity()).trimmed();
    }
    FPassedNow.clear();
    if (!orphans.empty()) {
        // One question, about the newest; older ones are kept aside untouched.
        for (size_t i = 1; i < orphans.size(); ++i)
            KeepAside(orphans[i]);
        Offer(orphans.front());
    }
    if (!FPassedNow.isEmpty())
        FSeams.Dialogs.MessageBox(
            Translated("Ein Wiederherstellungsprotokoll kann weder beiseitegelegt noch gelöscht "
                       "werden; es wird nicht wieder angeboten:") +
                u'\n' + FPassedNow.join(u'\n'),
            QString(), platform::MB_OK | platform::MB_ICONWARNING);
}

void TJournalRecovery::Offer(journal::TOrphan& orphan) {
    const journal::TContents contents = orphan.Read();
    if (contents.State != journal::TContents::TState::Unreadable && contents.Text.isEmpty() &&
        contents.LostBytes == 0) {
        // An emptied document: nothing to offer.
        if (!orphan.Remove())
            Pass(orphan, platform::FileErrorOf(errno, platform::TFileStep::Replace));
        return;
    }
    if (contents.Text.isEmpty()) {
        platform::TFileError error;
        const QString kept = orphan.KeepAside(QDateTime::currentDateTime(), error);
        if (kept.isEmpty())
            Pass(orphan, error);
        FSeams.Dialogs.MessageBox(
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
    FSeams.Paused([&] {
        answer = FSeams.Dialogs.MessageBox(question, QString(),
                                           platform::MB_YESNO | platform::MB_ICONQUESTION);
    });
    if (answer != platform::IDYES) {
        KeepAside(orphan); // one click destroys nothing
        return;
    }
    // The old journal goes only once this run's journal holds its text.
    if (FSeams.Restore(contents) && orphan.Remove())
        return;
    KeepAside(orphan);
}
