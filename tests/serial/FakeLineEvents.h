#pragma once

#include "serial/LineEventSource.h"

#include <memory>
#include <mutex>

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

private:
    struct TCore {
        std::mutex Lock;
        TLineEventSource::TPost Post;
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

    private:
        std::shared_ptr<TCore> FCore;
    };

    std::shared_ptr<TCore> FCore = std::make_shared<TCore>();
};
