#include "app/capture/ConnectionControl.h"

#include "app/capture/Links.h"
#include "app/capture/PromptCycle.h"

void TConnectionControl::SetLink(TLinkKind kind, TLink* link) {
    FLinks[static_cast<size_t>(kind)] = link;
}

TLink* TConnectionControl::LinkOf(const TProfile& profile) const {
    return FLinks[static_cast<size_t>(profile.Link)];
}

bool TConnectionControl::Connect(const TProfile& profile) {
    TLink* link = LinkOf(profile);
    FConnected = link != nullptr && link->Connect();
    if (FConnected && profile.PromptCycle)
        FCycle.Start();
    else
        FCycle.Stop();
    return FConnected;
}

void TConnectionControl::Disconnect(const TProfile& profile) {
    if (TLink* link = LinkOf(profile))
        link->Disconnect();
    FCycle.Stop();
    FConnected = false;
}

bool TConnectionControl::Halt(bool halt, const TProfile& profile, bool portAvailable) {
    if (!FConnected || !portAvailable)
        return true;
    TLink* link = LinkOf(profile);
    if (halt) {
        FCycle.Pause();
        if (link != nullptr)
            link->Pause();
        return true;
    }
    const bool resumed = link == nullptr || link->Resume();
    // Only a prompt-using profile has a cycle to take up again; restarting
    // the timer for the others would make a quiet link look lost.
    if (resumed && profile.PromptCycle)
        FCycle.Resume();
    return resumed;
}

QString TConnectionControl::FailureNote(const TProfile& profile) const {
    const TLink* link = LinkOf(profile);
    return link != nullptr ? link->FailureNote() : QString();
}
