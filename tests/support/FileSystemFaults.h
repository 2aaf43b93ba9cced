#pragma once

#include <QString>

#include <cstdint>
#include <memory>

// A failing machine for tests, for real: a small tmpfs that can be filled or
// made read-only, and permission checks that hold for root too.

// A tmpfs of its own, mounted in a private mount namespace of this thread
// (unshared on first use), so no other process ever sees it and it vanishes
// with the process whatever becomes of the test; unmounted when it goes.
// Needs root (CAP_SYS_ADMIN); Make says why when it cannot mount.
class TScratchMount {
public:
    static std::unique_ptr<TScratchMount> Make(const QString& where, qint64 bytes, QString& whyNot);
    ~TScratchMount();
    TScratchMount(const TScratchMount&) = delete;
    TScratchMount& operator=(const TScratchMount&) = delete;

    const QString& Path() const { return FPath; }
    // Writes a filler file until no byte is left; true when the disk is full.
    bool Fill();
    // Frees the filler again.
    void Unfill();
    bool RemountReadOnly();

private:
    explicit TScratchMount(QString path) : FPath(std::move(path)) {}
    QString FPath;
};

// While it lives, root's overrides of file permissions (CAP_DAC_OVERRIDE,
// CAP_DAC_READ_SEARCH, CAP_FOWNER) are off for this thread, so a folder
// without write permission refuses root as it refuses a user. Without those
// capabilities (a user's run) it changes nothing.
class TWithoutOverride {
public:
    TWithoutOverride();
    ~TWithoutOverride();
    TWithoutOverride(const TWithoutOverride&) = delete;
    TWithoutOverride& operator=(const TWithoutOverride&) = delete;
    // Whether the thread now lacks the overrides.
    bool Effective() const { return FEffective; }

private:
    std::uint32_t FSaved[2] = {0, 0};
    bool FChanged = false;
    bool FEffective = false;
};
