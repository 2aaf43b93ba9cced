#pragma once

#include "platform/TThread.h"

#include <chrono>
#include <cstdint>
#include <memory>

class TPortState;
class TSerial;

// The event thread of one open port: waits for line events and hands them to
// the component's handlers, on the main thread when the component asks for
// it. It frees itself; the component reaches it only through the shared port
// state, so nothing ever points at a thread that has gone.
class TSerThread : public platform::TThread {
public:
    // Creates the thread for Owner's open port and starts it; false when the
    // system could not give it one.
    static bool Launch(TSerial* Owner, std::shared_ptr<TPortState> State);

    // The event bits reported by the latest wait.
    uint32_t EventMask = 0;

    // Received data arriving within StreamSliceMs of the previous hand-over
    // waits for that slice to end (in the kernel's buffer), so a stream sent
    // line by line costs one hand-over per slice rather than one per line.
    // Data after a pause, a stream too fast for the kernel's buffer to hold
    // a slice of (it came faster than SliceBytes in StreamSliceMs), and every other
    // event are handed over at once. After a slice that carried data the
    // device is not watched until the next slice is due, so a stream wakes
    // the thread once per slice however its writes are spaced.
    static constexpr int StreamSliceMs = 10;
    static constexpr int SliceBytes = 2048;

protected:
    void Execute() override;

private:
    explicit TSerThread(std::shared_ptr<TPortState> State);
    uint32_t WaitForEvents(int Epoll);
    int SliceLeftMs(uint32_t Events) const;
    int QuietLeftMs() const;
    uint32_t HandOver(int Epoll, uint32_t Events, bool ReadEmpty);
    void WatchDevice(int Epoll, bool Receive);
    void HandleEvents();
    void DispatchEvents();

    std::shared_ptr<TPortState> FState;
    // What the wait watches the device for: received data (not while the
    // queue is full or a slice of a stream is being gathered), and room for
    // output while bytes held for DSR wait to go out (FSending).
    uint32_t FWatched = 0x001; // EPOLLIN
    bool FSending = false;
    std::chrono::steady_clock::time_point FLastHandOver;
    int FLastSliceBytes = 0; // received data waiting at the last hand-over
    uint64_t FReceivedAtHandOver = 0;
    bool FFastStream = false; // it came faster than SliceBytes a slice
};
