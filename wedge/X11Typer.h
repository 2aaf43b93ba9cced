#pragma once

#include "wedge/KeyTyper.h"
#include "wedge/Xlib.h"

#include <QElapsedTimer>
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
// Putting a key back (or giving it another character) right after typing it
// would race the target program, which may look the key up only after the
// map changed again. A server has few free codes (19 in Xvfb's map), so when
// they are all lent, the one used longest ago is lent again, once it has
// rested holdMs.
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
    // Lends a free code, or the borrowed one used longest ago that this
    // reading does not use.
    std::optional<TPress> Borrow(xlib::KeySym keysym, const std::vector<TPress>& reading);
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
    struct TBorrowed {
        xlib::KeySym Keysym = 0;
        qint64 LastUsedMs = 0; // on FClock
    };
    // Borrowed codes, the symbol each was given and when it was last typed.
    std::map<xlib::KeyCode, TBorrowed> FBorrowed;
    QElapsedTimer FClock;
    int FHoldMs;
    QTimer FPutBackTimer;
    bool FDead = false;
};

} // namespace wedge
