#pragma once

#include "usb/sim/SimControl.h"

#include <QByteArray>

#include <bit>
#include <string>

#include <dlfcn.h>

// The simulated converter library as a test reaches it: loaded by name
// through LD_LIBRARY_PATH, as the program loads it, and driven through its
// control functions. Starts from a fresh converter.
class TSimLibrary {
public:
    explicit TSimLibrary(const char* name = "libftd2xx.so")
        : FHandle(::dlopen(name, RTLD_NOW | RTLD_LOCAL)) {
        if (FHandle == nullptr)
            return;
        FReset = Find<TFTSim_Reset>("FTSim_Reset");
        FFeed = Find<TFTSim_Feed>("FTSim_Feed");
        FUnplug = Find<TFTSim_Unplug>("FTSim_Unplug");
        FPlug = Find<TFTSim_Plug>("FTSim_Plug");
        FFailNext = Find<TFTSim_FailNext>("FTSim_FailNext");
        FJournal = Find<TFTSim_Journal>("FTSim_Journal");
        FBlockedReads = Find<TFTSim_BlockedReads>("FTSim_BlockedReads");
        FFailNextOpenLeavingHandle =
            Find<TFTSim_FailNextOpenLeavingHandle>("FTSim_FailNextOpenLeavingHandle");
        Reset();
    }
    ~TSimLibrary() {
        if (FHandle != nullptr)
            ::dlclose(FHandle);
    }
    TSimLibrary(const TSimLibrary&) = delete;
    TSimLibrary& operator=(const TSimLibrary&) = delete;

    bool Loaded() const {
        return FHandle != nullptr && FBlockedReads != nullptr &&
               FFailNextOpenLeavingHandle != nullptr;
    }
    void Reset() { FReset(); }
    unsigned Feed(const QByteArray& bytes) {
        return FFeed(bytes.constData(), static_cast<unsigned>(bytes.size()));
    }
    void Unplug() { FUnplug(); }
    void Plug() { FPlug(); }
    void FailNext(const char* entry, unsigned status, unsigned readCount = 0) {
        FFailNext(entry, status, readCount);
    }
    std::string Journal() const {
        std::string text(FJournal(nullptr, 0), '\0');
        FJournal(text.data(), static_cast<unsigned>(text.size() + 1));
        return text;
    }
    unsigned BlockedReads() const { return FBlockedReads(); }
    void FailNextOpenLeavingHandle(unsigned status) { FFailNextOpenLeavingHandle(status); }

private:
    template <typename F> F Find(const char* name) {
        return std::bit_cast<F>(::dlsym(FHandle, name));
    }

    void* FHandle;
    TFTSim_Reset FReset = nullptr;
    TFTSim_Feed FFeed = nullptr;
    TFTSim_Unplug FUnplug = nullptr;
    TFTSim_Plug FPlug = nullptr;
    TFTSim_FailNext FFailNext = nullptr;
    TFTSim_Journal FJournal = nullptr;
    TFTSim_BlockedReads FBlockedReads = nullptr;
    TFTSim_FailNextOpenLeavingHandle FFailNextOpenLeavingHandle = nullptr;
};
