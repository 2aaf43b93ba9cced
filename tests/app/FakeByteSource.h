#pragma once

#include "serial/TByteSource.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

// An in-memory port: bytes queued by the test are handed out as the
// receive queue, written bytes are collected.
class TFakeByteSource : public TByteSource {
public:
    void Feed(const QByteArray& bytes) { Queue.append(bytes); }
    int RecCount() override { return static_cast<int>(Queue.size()); }
    int ReadBuf(void* buffer, int count) override {
        const int n = std::min<int>(count, static_cast<int>(Queue.size()));
        std::memcpy(buffer, Queue.constData(), static_cast<size_t>(n));
        Queue.remove(0, n);
        return n;
    }
    int WriteBuf(const void* buffer, int count) override {
        Written.append(static_cast<const char*>(buffer), count);
        return count;
    }
    QByteArray Queue;
    QByteArray Written;
};
