#include "wedge/Xlib.h"

#include <dlfcn.h>

namespace wedge {

namespace {

// Never unloaded: the X libraries keep thread-local and at-exit state that
// would point into unmapped code (the handle is still closed).
constexpr int LibraryMode = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;

template <typename F> bool Bind(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(::dlsym(library, name));
    return function != nullptr;
}

QString LastError() {
    const char* error = ::dlerror();
    return error != nullptr ? QString::fromLocal8Bit(error) : QString();
}

} // namespace

TXlib::~TXlib() {
    for (void* library : {FXtst, FX11})
        if (library != nullptr)
            ::dlclose(library);
}

std::optional<QString> TXlib::Load() {
    if (FX11 == nullptr && (FX11 = ::dlopen("libX11.so.6", LibraryMode)) == nullptr)
        return LastError();
    if (FXtst == nullptr && (FXtst = ::dlopen("libXtst.so.6", LibraryMode)) == nullptr)
        return LastError();
    const bool all = Bind(FX11, "XOpenDisplay", XOpenDisplay) &&
                     Bind(FX11, "XCloseDisplay", XCloseDisplay) &&
                     Bind(FX11, "XDisplayKeycodes", XDisplayKeycodes) &&
                     Bind(FX11, "XGetKeyboardMapping", XGetKeyboardMapping) &&
                     Bind(FX11, "XChangeKeyboardMapping", XChangeKeyboardMapping) &&
                     Bind(FX11, "XFree", XFree) && Bind(FX11, "XSync", XSync) &&
                     Bind(FX11, "XPending", XPending) && Bind(FX11, "XNextEvent", XNextEvent) &&
                     Bind(FXtst, "XTestQueryExtension", XTestQueryExtension) &&
                     Bind(FXtst, "XTestFakeKeyEvent", XTestFakeKeyEvent);
    if (!all)
        return LastError();
    Bind(FX11, "XSetIOErrorExitHandler", XSetIOErrorExitHandler);
    return std::nullopt;
}

void* TXlib::Symbol(const char* name) const {
    return FX11 != nullptr ? ::dlsym(FX11, name) : nullptr;
}

} // namespace wedge
