#pragma once

#include "wedge/KeyTyper.h"
#include "wedge/TypingText.h"
#include "wedge/WedgeReport.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThread;

namespace wedge {

enum class TWedgeState { Off, Starting, On };

class TTypingWorker;
struct TTypingQueue;

// Which typer a session needs is told by the session, not by the platform
// Qt runs on: in a Wayland session the portal types, even for a program
// that runs through XWayland.
enum class TSessionKind { None, X11, Wayland };
TSessionKind SessionKindFromEnvironment();

// Makes the typer of the session; called on the typing thread at each start.
using TTyperFactory = std::function<std::unique_ptr<TKeyTyper>()>;
std::unique_ptr<TKeyTyper> MakeSessionTyper();

// Types finished reading lines into the program that has the keyboard. The
// owner (the main window) hands each line over with Submit; the readings
// wait in a queue and are typed in order on a thread of their own, so
// neither the X server nor D-Bus ever holds up the main thread or the
// reception. Lives on the main thread; its signals arrive there.
//
// Before each reading the typing thread asks mayType whether typing is
// allowed now (another program's window is active, no modal dialog of ours
// is open); a reading it says no to is not typed. mayType must therefore be
// safe to call from another thread, and quick.
class TKeyboardWedge : public QObject {
    Q_OBJECT
public:
    using TGate = std::function<bool()>;
    // More waiting readings than this (a runaway stream) turn typing off.
    static constexpr int MaxWaitingReadings = 100;

    explicit TKeyboardWedge(TGate mayType, TTyperFactory factory = MakeSessionTyper,
                            QObject* parent = nullptr);
    // Ends typing and waits for the typing thread (at most one reading).
    ~TKeyboardWedge() override;
    TKeyboardWedge(const TKeyboardWedge&) = delete;
    TKeyboardWedge& operator=(const TKeyboardWedge&) = delete;

    // For the lines handed over from now on.
    void SetOptions(const TWedgeOptions& options) { FOptions = options; }
    const TWedgeOptions& Options() const { return FOptions; }

    // Switches typing on: Starting until the typer is ready (the portal may
    // ask the user first), then On; Off again with a report when it cannot.
    // Lines handed over while Starting wait for it.
    void Start();
    // Switches typing off; readings still waiting are dropped.
    void Stop();
    TWedgeState State() const { return FState; }

    // A finished line as it stands in the document. Ignored while Off.
    void Submit(const QString& line);

signals:
    void StateChanged(wedge::TWedgeState state);
    // A reading that was not typed, or why typing turned itself off (then
    // StateChanged(Off) follows).
    void Reported(const wedge::TWedgeReport& report);
    // A reading's keys went out (the X server or the portal took them).
    void Typed(const QString& text);
    // A reading the gate said no to, and which is not typed.
    void HeldBack(const QString& text);

private:
    friend class TTypingWorker;
    void SetState(TWedgeState state);
    // Drops the waiting readings and ends the typer, leaving the state.
    void Halt();
    void TurnOff(const TWedgeReport& report);
    // From the typing thread, for the start numbered generation.
    void OnOpened(unsigned generation, const std::optional<TWedgeReport>& failure);
    void OnReport(unsigned generation, const TWedgeReport& report);

    TWedgeOptions FOptions;
    TWedgeState FState = TWedgeState::Off;
    // Counts the starts, so that word from an earlier one is ignored.
    unsigned FGeneration = 0;
    std::shared_ptr<TTypingQueue> FQueue;
    QThread* FThread = nullptr;
    TTypingWorker* FWorker = nullptr;
};

} // namespace wedge

Q_DECLARE_METATYPE(wedge::TWedgeState)
