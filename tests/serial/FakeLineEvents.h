#pragma once

#include "serial/LineEventSource.h"
#include "serial/SerialEnums.h"

#include <atomic>
#include <memory>
#include <mutex>

#include <sys/ioctl.h>

// Line events a pseudo-terminal cannot produce, fired by the test. One
// instance serves every source the component creates. The sources share
// their core with it, since a self-freeing event thread may stop its source
// after the test has moved on.
class TFakeLineEvents {
public:
    TLineEventSourceFactory Factory() {
        return [core = FCore] { return std::make_unique<TSource>(core); };
    }
    // False when no source is started (the port is not open).
    bool Fire(uint32_t Events) {
        std::lock_guard lock(FCore->Lock);
        if (!FCore->Post)
            return false;
        FCore->Post(Events);
        return true;
    }
    bool Started() {
        std::lock_guard lock(FCore->Lock);
        return static_cast<bool>(FCore->Post);
    }
    // DSR goes to Level; the change is reported as a driver would.
    bool SetDsr(bool Level) {
        if (Level)
            FCore->Lines.fetch_or(TIOCM_DSR);
        else
            FCore->Lines.fetch_and(~TIOCM_DSR);
        return Fire(CommEvent::EV_DSR);
    }
    // DTR as the port last set it: 1 raised, 0 dropped, -1 never set.
    int Dtr() const { return FCore->Dtr.load(); }
    // How often the port set DTR.
    int DtrChanges() const { return FCore->DtrChanges.load(); }

private:
    struct TCore {
        std::mutex Lock;
        TLineEventSource::TPost Post;
        // Lines the port reads and sets, apart from Lock: the port reads them
        // while it holds its own lock, which Post takes.
        std::atomic<int> Lines{TIOCM_DSR | TIOCM_CTS | TIOCM_CD};
        std::atomic<int> Dtr{-1};
        std::atomic<int> DtrChanges{0};
    };

    class TSource final : public TLineEventSource {
    public:
        explicit TSource(std::shared_ptr<TCore> Core) : FCore(std::move(Core)) {}
        void Start(int, uint32_t, TPost Post) override {
            std::lock_guard lock(FCore->Lock);
            FCore->Post = std::move(Post);
        }
        void Stop() override {
            std::lock_guard lock(FCore->Lock);
            FCore->Post = nullptr;
        }
        bool ModemLines(int, int& Bits) override {
            Bits = FCore->Lines.load();
            return true;
        }
        void SetDtr(int, bool On) override {
            FCore->Dtr.store(On ? 1 : 0);
            FCore->DtrChanges.fetch_add(1);
        }

    private:
        std::shared_ptr<TCore> FCore;
    };

    std::shared_ptr<TCore> FCore = std::make_shared<TCore>();
};
