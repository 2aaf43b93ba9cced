#pragma once

#include "serial/CommRecords.h"
#include "serial/LineEventSource.h"
#include "serial/ReceiveQueue.h"
#include "serial/SerialDevice.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TSerial;

// Everything of one open port that the component and its event thread share:
// the descriptor, the receive queue, the pending events and the link to the
// component. Both hold it, so Close (which does not wait for the thread)
// never frees what a finishing thread still uses, and the descriptor number
// stays taken until the last holder lets go.
class TPortState {
public:
    struct TConfig {
        int Capacity = 4096;
        TReceiveQueue::TOptions Queue;
        uint32_t EventMask = 0;
        uint32_t BaudRate = 9600;
        bool AbortOnError = false;
        // DTR/DSR handshake: output is held while DSR is low; DTR drops when
        // fewer than XOffLimit bytes of the queue are free and rises again
        // when at most XOnLimit bytes are in it.
        bool DsrFlow = false;
        bool DtrHandshake = false;
        int XOffLimit = 0;
        int XOnLimit = 0;
        // Bytes a write may leave waiting while DSR holds the output.
        int TransmitCapacity = 4096;
        TCommTimeouts Timeouts;
        // Bytes still to go out; false when the driver cannot tell. Tests
        // stand in for a line held by flow control, which no pty can be.
        bool (*OutputQueue)(int Fd, int& Count) = SerialDevice::OutputQueue;
        // The driver's overrun count; tests stand in for a driver that loses
        // bytes, which no pty does.
        bool (*Overruns)(int Fd, uint64_t& Count) = SerialDevice::Overruns;
    };

    // Takes over the descriptor.
    TPortState(int Fd, const TConfig& Config, TSerial* Owner);
    ~TPortState();
    TPortState(const TPortState&) = delete;
    TPortState& operator=(const TPortState&) = delete;

    // The descriptors could all be made.
    bool Usable() const {
        return FWakeFd >= 0 && FCloseFd >= 0 && FReaderFd >= 0 && FWriterFd >= 0;
    }
    int Fd() const { return FFd; }
    const TConfig& Config() const { return FConfig; }

    // Gives the device up (Close, and a vanished port): releases it, wakes
    // every wait, and lets the thread end.
    void Shutdown();
    bool Closed() const { return FClosed.load(); }
    bool HungUp() const { return FHungUp.load(); }

    // Receive side.
    int Count();
    // Moves what the device has into the queue without blocking; true when
    // the device was read empty. Reading an empty pseudo-terminal again at
    // once is not free: the read waits for the kernel's worker to pass on
    // what is pending.
    bool Fill(bool ByThread);
    int Read(uint8_t* Dest, int Size, bool Wait);
    int Write(const uint8_t* Source, int Size, bool Wait);
    int OutputCount();
    // Clears the latched line error (AbortOnError), as the status query does.
    void ClearError();
    // The receive count as the status query gives it: clears the error first.
    int Status();

    // Events. Post may be called from any thread; it wakes the event thread.
    void Post(uint32_t Events);
    uint32_t TakeEvents();

    // The event thread's side of the waits.
    int WakeFd() const { return FWakeFd; }
    int CloseFd() const { return FCloseFd; }
    // False (and the thread is noted as parked) while the queue is full.
    bool ArmReceive();
    // Milliseconds until the output queue should be looked at again for
    // EV_TXEMPTY, -1 when nothing is being sent.
    int CheckTransmitter();
    // Follows DSR (DTR/DSR handshake) and sends what waited for it; true
    // while bytes wait for the device to take more.
    bool ServeOutput();
    void DrainWake();
    void MarkHungUp();

    // The component link. The thread takes the owner for an unsynchronised
    // dispatch (Acquire/Release); Detach waits for such a dispatch to end
    // unless it runs inside it, so a component is never used after it is gone.
    TSerial* Owner();
    TSerial* AcquireOwner();
    void ReleaseOwner();
    void DetachOwner();

    std::atomic<bool> ThreadRunning{false};
    // A stream too fast to gather in slices is being handed over: once the
    // receive queue is empty its count takes in what the device holds, so a
    // handler reading while the count lasts keeps up with it without a
    // hand-over per queueful.
    std::atomic<bool> ReaderFills{false};
    std::atomic<uint64_t> Wakeups{0};
    // Bytes taken from the device since the port opened, by either thread.
    std::atomic<uint64_t> ReceivedBytes{0};
    std::unique_ptr<TLineEventSource> LineEvents;

private:
    bool FillLocked(bool ByThread);
    uint32_t CheckOverruns();
    void Signal(int EventFd);
    bool WaitReadable(int TimeoutMs);
    bool WaitWritable(int TimeoutMs);
    int QueueOutput(const uint8_t* Source, int Size, bool Wait, bool Limited,
                    std::chrono::steady_clock::time_point Deadline);
    bool OutputHeldLocked() const { return FOutputHeld || !FTxQueue.empty(); }
    void SendQueuedLocked();
    int TakeLocked(uint8_t* Dest, int Size);
    void SetDtrLocked(bool Up);
    void ReleaseDevice();

    int FFd;
    int FWakeFd = -1;   // pokes for the thread: events posted, queue space
    int FCloseFd = -1;  // readable for good once shut down
    int FReaderFd = -1; // pokes for a waiting reader: the thread queued data
    int FWriterFd = -1; // pokes for a waiting writer: DSR changed, queued bytes went out
    TConfig FConfig;

    std::mutex FLock; // queue, pending events and flags below
    TReceiveQueue FQueue;
    uint32_t FPending = 0;
    bool FParked = false;
    bool FReaderWaiting = false;
    bool FTxPending = false;
    int FTxLastCount = 0; // output queue at the last look
    int FTxDelay = 0;     // ms until the next look, grows while nothing goes out
    bool FErrorLatched = false;
    bool FOutputHeld = false;      // DSR is low and the driver's output suspended
    std::vector<uint8_t> FTxQueue; // written while held, in order
    bool FDtrUp = true;            // Open raises DTR
    std::atomic<bool> FLinesChanged{false};
    bool FOverrunsCounted = false; // the driver keeps an overrun count
    uint64_t FOverruns = 0;        // its value at the last look
    std::atomic<bool> FClosed{false};
    std::atomic<bool> FHungUp{false};

    std::mutex FOwnerLock;
    std::condition_variable FOwnerIdle;
    TSerial* FOwner;
    bool FBusy = false;
    std::thread::id FBusyThread;
};
