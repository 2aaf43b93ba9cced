#pragma once

#include "wedge/KeyTyper.h"
#include "wedge/Xlib.h"

#include <QTimer>

#include <map>
#include <vector>

namespace wedge {

// Types through the X server's XTEST extension on a display connection of
// its own (from DISPLAY), with the keyboard map the server has. A character
// the map lacks borrows a key code that has no symbols: it is mapped to the
// character while readings need it and put back once none has for
// holdMs, and when typing ends, so the user's map is left as it was.
//
// Putting a key back right after typing it would race the target program,
// which may look the key up only after the map changed again.
class TX11Typer : public TKeyTyper {
public:
    explicit TX11Typer(int holdMs = 2000);
    ~TX11Typer() override;

    void Open() override;
    std::optional<TWedgeReport> Type(const TKeystrokes& keystrokes) override;

private:
    struct TPress {
        xlib::KeyCode Code = 0;
        bool Shift = false;
    };
    bool ReadMap();
    std::optional<TPress> Find(xlib::KeySym keysym) const;
    std::optional<TPress> Borrow(xlib::KeySym keysym);
    void PutBack();
    void DropEvents();
    bool Lost() const { return FDead; }
    static void OnIOError(xlib::Display* display, void* self);

    TXlib FX;
    xlib::Display* FDisplay = nullptr;
    int FMinCode = 0;
    int FMaxCode = 0;
    int FPerCode = 0;
    std::vector<xlib::KeySym> FMap; // FPerCode symbols for each code from FMinCode
    // Borrowed codes and the symbol each was given.
    std::map<xlib::KeyCode, xlib::KeySym> FBorrowed;
    QTimer FPutBackTimer;
    bool FDead = false;
};

} // namespace wedge
