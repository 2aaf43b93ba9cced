#pragma once

#include "serial/LineEventSource.h"

#include <memory>
#include <mutex>

// Line events a pseudo-terminal cannot produce, fired by the test. One
// instance serves every source the component creates.
class TFakeLineEvents {
public:
    TLineEventSourceFactory Factory() {
        return [this] { return std::make_unique<TSource>(*this); };
    }
    // False when no source is started (the port is not open).
    bool Fire(uint32_t Events) {
        std::lock_guard lock(FLock);
        if (!FPost)
            return false;
        FPost(Events);
        return true;
    }
    bool Started() {
        std::lock_guard lock(FLock);
        return static_cast<bool>(FPost);
    }

private:
    class TSource final : public TLineEventSource {
    public:
        explicit TSource(TFakeLineEvents& Owner) : FOwner(Owner) {}
        void Start(int, uint32_t, TPost Post) override {
            std::lock_guard lock(FOwner.FLock);
            FOwner.FPost = std::move(Post);
        }
        void Stop() override {
            std::lock_guard lock(FOwner.FLock);
            FOwner.FPost = nullptr;
        }

    private:
        TFakeLineEvents& FOwner;
    };

    std::mutex FLock;
    TLineEventSource::TPost FPost;
};
