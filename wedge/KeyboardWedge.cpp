#include "wedge/KeyboardWedge.h"

#include "wedge/PortalTyper.h"
#include "wedge/X11Typer.h"

#include <QThread>

#include <deque>
#include <mutex>

namespace wedge {

// The readings handed over and not yet typed, shared by the main thread,
// which adds, and the typing thread, which takes.
struct TTypingQueue {
    struct TItem {
        unsigned Generation = 0;
        TKeystrokes Keystrokes;
    };
    std::mutex Mutex;
    std::deque<TItem> Items;
    // A drain is posted to the typing thread and has not begun yet.
    bool DrainPosted = false;
};

// The typing thread's side: owns the typer and types what the queue holds.
class TTypingWorker : public QObject {
public:
    TTypingWorker(TKeyboardWedge* owner, std::shared_ptr<TTypingQueue> queue,
                  TKeyboardWedge::TGate mayType, TTyperFactory factory)
        : FOwner(owner), FQueue(std::move(queue)), FMayType(std::move(mayType)),
          FFactory(std::move(factory)) {}

    void Open(unsigned generation);
    void Close();
    void Drain();

private:
    // Called by the typer: it may be inside its own code, so it is ended
    // later, from the event loop.
    void Fail(unsigned generation);
    void ReportOpened(unsigned generation, const std::optional<TWedgeReport>& failure);
    void Report(unsigned generation, const TWedgeReport& report);

    TKeyboardWedge* FOwner;
    std::shared_ptr<TTypingQueue> FQueue;
    TKeyboardWedge::TGate FMayType;
    TTyperFactory FFactory;
    std::unique_ptr<TKeyTyper> FTyper;
    unsigned FGeneration = 0;
    bool FReady = false;
};

// Word for the owner goes through its thread's event loop: the owner is
// only ever touched on the main thread, and a word still under way when it
// is destroyed is dropped with it.
template <typename Call> void PostTo(QObject* receiver, Call call) {
    QMetaObject::invokeMethod(receiver, std::move(call), Qt::QueuedConnection);
}

void TTypingWorker::Open(unsigned generation) {
    Close();
    FGeneration = generation;
    FTyper = FFactory ? FFactory() : nullptr;
    if (!FTyper) {
        ReportOpened(generation,
                     TWedgeReport{TWedgeReason::Unavailable,
                                  QStringLiteral("neither an X11 nor a Wayland session")});
        return;
    }
    FTyper->Opened = [this, generation](const std::optional<TWedgeReport>& failure) {
        if (generation != FGeneration)
            return;
        if (failure) {
            Fail(generation);
            ReportOpened(generation, failure);
            return;
        }
        FReady = true;
        ReportOpened(generation, std::nullopt);
        PostTo(this, [this] { Drain(); });
    };
    FTyper->Lost = [this, generation](const TWedgeReport& report) {
        if (generation != FGeneration)
            return;
        Fail(generation);
        Report(generation, report);
    };
    FTyper->Open();
}

void TTypingWorker::Close() {
    FReady = false;
    FTyper.reset();
}

void TTypingWorker::Fail(unsigned generation) {
    FReady = false;
    PostTo(this, [this, generation] {
        if (generation == FGeneration)
            FTyper.reset();
    });
}

void TTypingWorker::Drain() {
    {
        const std::lock_guard lock(FQueue->Mutex);
        FQueue->DrainPosted = false;
    }
    while (FReady) {
        TTypingQueue::TItem item;
        {
            const std::lock_guard lock(FQueue->Mutex);
            if (FQueue->Items.empty())
                return;
            item = std::move(FQueue->Items.front());
            FQueue->Items.pop_front();
        }
        if (item.Generation != FGeneration || !FMayType())
            continue;
        const std::optional<TWedgeReport> outcome = FTyper->Type(item.Keystrokes);
        if (!outcome) {
            PostTo(FOwner,
                   [owner = FOwner, text = item.Keystrokes.Text] { emit owner->Typed(text); });
            continue;
        }
        if (StopsTyping(outcome->Reason))
            Close();
        Report(FGeneration, *outcome);
    }
}

void TTypingWorker::ReportOpened(unsigned generation, const std::optional<TWedgeReport>& failure) {
    PostTo(FOwner, [owner = FOwner, generation, failure] { owner->OnOpened(generation, failure); });
}

void TTypingWorker::Report(unsigned generation, const TWedgeReport& report) {
    PostTo(FOwner, [owner = FOwner, generation, report] { owner->OnReport(generation, report); });
}

TSessionKind SessionKindFromEnvironment() {
    if (qgetenv("XDG_SESSION_TYPE") == "wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return TSessionKind::Wayland;
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        return TSessionKind::X11;
    return TSessionKind::None;
}

std::unique_ptr<TKeyTyper> MakeSessionTyper() {
    switch (SessionKindFromEnvironment()) {
    case TSessionKind::Wayland:
        return std::make_unique<TPortalTyper>();
    case TSessionKind::X11:
        return std::make_unique<TX11Typer>();
    case TSessionKind::None:
        break;
    }
    return nullptr;
}

TKeyboardWedge::TKeyboardWedge(TGate mayType, TTyperFactory factory, QObject* parent)
    : QObject(parent), FQueue(std::make_shared<TTypingQueue>()), FThread(new QThread) {
    FThread->setObjectName(QStringLiteral("typing"));
    FWorker = new TTypingWorker(this, FQueue, std::move(mayType), std::move(factory));
    FWorker->moveToThread(FThread);
    FThread->start();
}

TKeyboardWedge::~TKeyboardWedge() {
    Stop();
    // The worker is ended and deleted on its own thread, after whatever it
    // is typing: nothing of it is touched from two threads, and no word it
    // still sends reaches this object once the thread has ended.
    PostTo(FWorker, [worker = FWorker] {
        worker->Close();
        delete worker;
        QThread::currentThread()->quit();
    });
    FThread->wait();
    delete FThread;
}

void TKeyboardWedge::Start() {
    if (FState != TWedgeState::Off)
        return;
    const unsigned generation = ++FGeneration;
    PostTo(FWorker, [worker = FWorker, generation] { worker->Open(generation); });
    SetState(TWedgeState::Starting);
}

void TKeyboardWedge::Stop() {
    if (FState == TWedgeState::Off)
        return;
    Halt();
    SetState(TWedgeState::Off);
}

void TKeyboardWedge::Halt() {
    ++FGeneration;
    {
        const std::lock_guard lock(FQueue->Mutex);
        FQueue->Items.clear();
    }
    PostTo(FWorker, [worker = FWorker] { worker->Close(); });
}

void TKeyboardWedge::Submit(const QString& line) {
    if (FState == TWedgeState::Off)
        return;
    auto prepared = KeystrokesFor(line, FOptions);
    if (const auto* report = std::get_if<TWedgeReport>(&prepared)) {
        emit Reported(*report);
        return;
    }
    auto& keystrokes = std::get<TKeystrokes>(prepared);
    if (keystrokes.Text.isEmpty() && keystrokes.Key == TWedgeKey::None)
        return;
    std::size_t waiting = 0;
    bool post = false;
    {
        const std::lock_guard lock(FQueue->Mutex);
        FQueue->Items.push_back({FGeneration, std::move(keystrokes)});
        waiting = FQueue->Items.size();
        post = !std::exchange(FQueue->DrainPosted, true);
    }
    if (waiting > MaxWaitingReadings) {
        TurnOff({TWedgeReason::QueueFull, QString::number(MaxWaitingReadings)});
        return;
    }
    if (post)
        PostTo(FWorker, [worker = FWorker] { worker->Drain(); });
}

void TKeyboardWedge::SetState(TWedgeState state) {
    if (state == FState)
        return;
    FState = state;
    emit StateChanged(state);
}

void TKeyboardWedge::TurnOff(const TWedgeReport& report) {
    Halt();
    emit Reported(report);
    SetState(TWedgeState::Off);
}

void TKeyboardWedge::OnOpened(unsigned generation, const std::optional<TWedgeReport>& failure) {
    if (generation != FGeneration || FState != TWedgeState::Starting)
        return;
    if (failure)
        TurnOff(*failure);
    else
        SetState(TWedgeState::On);
}

void TKeyboardWedge::OnReport(unsigned generation, const TWedgeReport& report) {
    if (generation != FGeneration)
        return;
    if (StopsTyping(report.Reason))
        TurnOff(report);
    else
        emit Reported(report);
}

} // namespace wedge
