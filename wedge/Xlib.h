#pragma once

#include <QString>

#include <optional>

// The few Xlib and XTEST calls typing needs, bound at run time: the program
// links neither library, so it runs (and typing reports itself unavailable)
// where they are not installed.
namespace xlib {

struct Display;
using KeySym = unsigned long;
using KeyCode = unsigned char;
using Window = unsigned long;
using Bool = int;
constexpr KeySym NoSymbol = 0;
// Xlib's event union: 24 longs; only the type is read.
union XEvent {
    int type;
    long pad[24];
};
using XIOErrorExitHandler = void (*)(Display*, void*);

} // namespace xlib

namespace wedge {

// libX11.so.6 and libXtst.so.6, opened with dlopen and kept open for the
// object's life. Every entry point is set once Load has succeeded.
class TXlib {
public:
    TXlib() = default;
    ~TXlib();
    TXlib(const TXlib&) = delete;
    TXlib& operator=(const TXlib&) = delete;

    // Nothing when both libraries and every entry point were found, else
    // what is missing.
    std::optional<QString> Load();
    // Another entry point of libX11 (null when it has none), for callers
    // that need one more than typing does.
    void* Symbol(const char* name) const;

    xlib::Display* (*XOpenDisplay)(const char* name) = nullptr;
    int (*XCloseDisplay)(xlib::Display* display) = nullptr;
    int (*XDisplayKeycodes)(xlib::Display* display, int* min, int* max) = nullptr;
    xlib::KeySym* (*XGetKeyboardMapping)(xlib::Display* display, xlib::KeyCode first, int count,
                                         int* keysymsPerKeycode) = nullptr;
    int (*XChangeKeyboardMapping)(xlib::Display* display, int first, int keysymsPerKeycode,
                                  xlib::KeySym* keysyms, int count) = nullptr;
    int (*XFree)(void* data) = nullptr;
    int (*XSync)(xlib::Display* display, xlib::Bool discard) = nullptr;
    int (*XPending)(xlib::Display* display) = nullptr;
    int (*XNextEvent)(xlib::Display* display, xlib::XEvent* event) = nullptr;
    // Since libX11 1.7; without it a lost server ends the process.
    void (*XSetIOErrorExitHandler)(xlib::Display* display, xlib::XIOErrorExitHandler handler,
                                   void* data) = nullptr;
    xlib::Bool (*XTestQueryExtension)(xlib::Display* display, int* eventBase, int* errorBase,
                                      int* major, int* minor) = nullptr;
    int (*XTestFakeKeyEvent)(xlib::Display* display, unsigned keycode, xlib::Bool isPress,
                             unsigned long delay) = nullptr;

private:
    void* FX11 = nullptr;
    void* FXtst = nullptr;
};

} // namespace wedge
