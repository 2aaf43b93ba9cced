#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace platform {
class TDialogs;
struct TFileError;
} // namespace platform
namespace journal {
class TOrphan;
struct TContents;
} // namespace journal

// Offers back what a run that did not shut down left in the journal folder:
// one question, about the newest journal; older ones are kept aside
// untouched, so one click destroys nothing. A journal that can be neither
// kept aside nor removed (a folder without write permission) is remembered
// by its identity, so that it is not offered at every start; the user hears
// of it once.
class TJournalRecovery {
public:
    struct TSeams {
        platform::TDialogs& Dialogs;
        // Runs the question with the links paused.
        std::function<void(const std::function<void()>&)> Paused;
        // Puts the journal's contents into the document; true once this
        // run's journal holds them, so the old one may go.
        std::function<bool(const journal::TContents&)> Restore;
    };

    explicit TJournalRecovery(TSeams seams) : FSeams(std::move(seams)) {}

    // passed: the identities of journals passed over before, separated by
    // blanks (a setting); brought up to date.
    void Run(const QString& folder, QString& passed);

private:
    void Offer(journal::TOrphan& orphan);
    void KeepAside(journal::TOrphan& orphan);
    void Pass(journal::TOrphan& orphan, const platform::TFileError& error);

    TSeams FSeams;
    QString* FPassed = nullptr;
    // Journals of this start that could be neither kept aside nor removed.
    QStringList FPassedNow;
};
