#pragma once

#include "platform/TThread.h"

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

protected:
    void Execute() override;

private:
    explicit TSerThread(std::shared_ptr<TPortState> State);
    uint32_t WaitForEvents(int Epoll);
    void HandleEvents();
    void DispatchEvents();

    std::shared_ptr<TPortState> FState;
};
