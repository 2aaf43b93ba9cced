#pragma once

#include "app/capture/CaptureSession.h"
#include "wedge/KeyboardWedge.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

class QAction;
class QActionGroup;
class QLabel;
class QMainWindow;
class QMenu;

// The "[Wedge]" section of the settings file: the key typed after each
// reading and what of the line is typed. Whether typing is on is not kept:
// a restart must never type into whatever window has the focus.
struct TWedgeSettings {
    wedge::TWedgeKey After = wedge::TWedgeKey::Enter;
    wedge::TWedgeWhat What = wedge::TWedgeWhat::WholeLine;
    bool operator==(const TWedgeSettings&) const = default;
};

// Typing readings into other programs, in the window: the menu "Extras"
// with its check item and two sub-menus of radio items, the typing queue,
// the gate that lets it type only while another program's window is active
// and no modal dialog of ours is open, and a status-bar panel that says why
// a reading was not typed or typing turned itself off. Each finished line
// of the capture session is handed to the queue while the item is on.
class TWedgeView : public QObject, public TCaptureSubscriber {
    Q_OBJECT
public:
    struct TSeams {
        std::function<QChar()> DecimalSeparator;
        // What types, made at each switch-on on the typing thread.
        wedge::TTyperFactory Typer = wedge::MakeSessionTyper;
        // Without an X11 or a Wayland session the item is disabled at once.
        wedge::TSessionKind Session = wedge::SessionKindFromEnvironment();
    };

    // The menu goes into the window's menu bar before the menu given, the
    // panel into the window's status bar, which must be the final one.
    TWedgeView(QMainWindow& window, QMenu& before, TSeams seams);
    ~TWedgeView() override;

    void LineFinished(const TCaptureLine& line) override;

    void LoadSettings(const QString& iniPath);
    void SaveSettings(const QString& iniPath) const;
    TWedgeSettings Chosen() const;

    QAction* TypeItem() const { return FTypeItem; }
    wedge::TKeyboardWedge& Wedge() { return FWedge; }
    // What the typing thread is told before each reading.
    bool MayType() const { return FMayType.load(); }

private:
    QAction* AddRadio(QMenu& menu, QActionGroup& group, const char* name, const char* caption,
                      int tag);
    void Choose(const TWedgeSettings& settings);
    // The choices and the user's decimal separator, for the lines from now
    // on (taken at each switch-on and choice, not per line: asking the
    // system for its separator costs more than the line).
    void ApplyOptions();
    void UpdateGate();
    void StateChanged(wedge::TWedgeState state);
    void Report(const wedge::TWedgeReport& report);
    void MarkUnavailable(const QString& detail);
    // The run-time texts in the current language (after a switch, too).
    void ShowTexts();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QMainWindow& FWindow;
    TSeams FSeams;
    QAction* FTypeItem = nullptr;
    QActionGroup* FAfter = nullptr;
    QActionGroup* FWhat = nullptr;
    QLabel* FPanel = nullptr;
    std::optional<wedge::TWedgeReport> FShown;
    std::optional<QString> FUnavailable; // why typing cannot be switched on
    bool FBlocked = false;               // a modal dialog of ours is open
    // Read by the typing thread, written on the main thread.
    std::atomic<bool> FMayType{false};
    // Last, so that it ends (with its thread) before the flag it reads.
    wedge::TKeyboardWedge FWedge;
};
