#include "wedge/X11Typer.h"

#include "wedge/Keysyms.h"

#include <QThread>

#include <algorithm>

namespace wedge {

namespace {

constexpr xlib::KeySym ShiftL = 0xFFE1;

} // namespace

TX11Typer::TX11Typer(int holdMs) : FHoldMs(holdMs) {
    FClock.start();
    FPutBackTimer.setSingleShot(true);
    FPutBackTimer.setInterval(holdMs);
    QObject::connect(&FPutBackTimer, &QTimer::timeout, [this] { PutBack(); });
}

TX11Typer::~TX11Typer() {
    if (FDisplay == nullptr)
        return;
    PutBack();
    FX.XCloseDisplay(FDisplay);
}

void TX11Typer::OnIOError(xlib::Display*, void* self) {
    // Returning marks the connection dead instead of ending the process.
    static_cast<TX11Typer*>(self)->FDead = true;
}

void TX11Typer::Open() {
    if (const auto missing = FX.Load()) {
        Opened(TWedgeReport{TWedgeReason::Unavailable, *missing});
        return;
    }
    FDisplay = FX.XOpenDisplay(nullptr);
    if (FDisplay == nullptr) {
        Opened(TWedgeReport{
            TWedgeReason::Unavailable,
            QStringLiteral("no X display \"%1\"").arg(qEnvironmentVariable("DISPLAY"))});
        return;
    }
    if (FX.XSetIOErrorExitHandler != nullptr)
        FX.XSetIOErrorExitHandler(FDisplay, &TX11Typer::OnIOError, this);
    int ignored[4] = {};
    if (!FX.XTestQueryExtension(FDisplay, &ignored[0], &ignored[1], &ignored[2], &ignored[3])) {
        Opened(TWedgeReport{TWedgeReason::Unavailable,
                            QStringLiteral("the X server has no XTEST extension")});
        return;
    }
    FX.XDisplayKeycodes(FDisplay, &FMinCode, &FMaxCode);
    Opened(std::nullopt);
}

bool TX11Typer::ReadMap() {
    int per = 0;
    const int count = FMaxCode - FMinCode + 1;
    xlib::KeySym* map =
        FX.XGetKeyboardMapping(FDisplay, static_cast<xlib::KeyCode>(FMinCode), count, &per);
    if (map == nullptr)
        return false;
    FPerCode = per;
    FMap.assign(map, map + static_cast<std::size_t>(count) * static_cast<std::size_t>(per));
    FX.XFree(map);
    return per > 0;
}

std::optional<TX11Typer::TPress> TX11Typer::Find(xlib::KeySym keysym) const {
    // The plain level first: a symbol that some key has without Shift is
    // typed without it.
    const int levels = std::min(FPerCode, 2);
    for (int level = 0; level < levels; ++level)
        for (std::size_t i = 0; i * FPerCode < FMap.size(); ++i)
            if (FMap[i * FPerCode + level] == keysym)
                return TPress{static_cast<xlib::KeyCode>(FMinCode + static_cast<int>(i)),
                              level == 1};
    return std::nullopt;
}

std::optional<TX11Typer::TPress> TX11Typer::Borrow(xlib::KeySym keysym,
                                                   const std::vector<TPress>& reading) {
    std::optional<xlib::KeyCode> code;
    for (std::size_t i = 0; !code && i * FPerCode < FMap.size(); ++i) {
        const auto first = FMap.begin() + static_cast<std::ptrdiff_t>(i * FPerCode);
        if (std::all_of(first, first + FPerCode,
                        [](xlib::KeySym s) { return s == xlib::NoSymbol; }))
            code = static_cast<xlib::KeyCode>(FMinCode + static_cast<int>(i));
    }
    if (!code) {
        const auto inReading = [&](xlib::KeyCode c) {
            return std::any_of(reading.begin(), reading.end(),
                               [&](const TPress& press) { return press.Code == c; });
        };
        for (const auto& [borrowed, use] : FBorrowed)
            if (!inReading(borrowed) && (!code || use.LastUsedMs < FBorrowed[*code].LastUsedMs))
                code = borrowed;
        if (!code)
            return std::nullopt;
        // The typing thread waits: the queue takes the readings meanwhile.
        const qint64 rested = FClock.elapsed() - FBorrowed[*code].LastUsedMs;
        if (rested < FHoldMs)
            QThread::msleep(static_cast<unsigned long>(FHoldMs - rested));
    }
    std::vector<xlib::KeySym> symbols(static_cast<std::size_t>(FPerCode), xlib::NoSymbol);
    symbols[0] = keysym;
    if (FPerCode > 1)
        symbols[1] = keysym; // the same with Shift held by the user
    FX.XChangeKeyboardMapping(FDisplay, *code, FPerCode, symbols.data(), 1);
    std::copy(symbols.begin(), symbols.end(),
              FMap.begin() + static_cast<std::ptrdiff_t>((*code - FMinCode) * FPerCode));
    FBorrowed[*code] = {keysym, FClock.elapsed()};
    return TPress{*code, false};
}

void TX11Typer::PutBack() {
    FPutBackTimer.stop();
    if (FBorrowed.empty() || FDead)
        return;
    // Only a code that still holds what we gave it: the map may have been
    // changed since (another layout), and that change stays.
    if (ReadMap()) {
        std::vector<xlib::KeySym> none(static_cast<std::size_t>(FPerCode), xlib::NoSymbol);
        for (const auto& [code, borrowed] : FBorrowed) {
            const std::size_t at = static_cast<std::size_t>(code - FMinCode) * FPerCode;
            if (at < FMap.size() && FMap[at] == borrowed.Keysym)
                FX.XChangeKeyboardMapping(FDisplay, code, FPerCode, none.data(), 1);
        }
        FX.XSync(FDisplay, 0);
    }
    FBorrowed.clear();
}

void TX11Typer::DropEvents() {
    // Every client is told of each change of the map; nobody reads them here.
    xlib::XEvent event;
    while (!FDead && FX.XPending(FDisplay) > 0)
        FX.XNextEvent(FDisplay, &event);
}

std::optional<TWedgeReport> TX11Typer::Type(const TKeystrokes& keystrokes) {
    if (Lost())
        return TWedgeReport{TWedgeReason::SessionEnded, QStringLiteral("X server")};
    DropEvents();
    if (!ReadMap())
        return TWedgeReport{TWedgeReason::SessionEnded, QStringLiteral("X server")};
    // Every key is found (or borrowed) before the first goes out: a reading
    // is typed whole or not at all.
    const auto shift = Find(ShiftL);
    std::vector<TPress> presses;
    for (const char32_t character : CodePoints(keystrokes.Text)) {
        const xlib::KeySym keysym = KeysymOf(character);
        auto press = Find(keysym);
        if (!press || (press->Shift && !shift))
            press = Borrow(keysym, presses);
        if (!press) {
            if (!FBorrowed.empty())
                FPutBackTimer.start();
            return TWedgeReport{TWedgeReason::UntypableCharacter, CharacterName(character)};
        }
        presses.push_back(*press);
    }
    if (const TKeysym key = KeysymOf(keystrokes.Key); key != NoKeysym) {
        const auto press = Find(key);
        if (!press || (press->Shift && !shift))
            return TWedgeReport{TWedgeReason::Failed, QStringLiteral("no key for Enter or Tab")};
        presses.push_back(*press);
    }
    for (const TPress& press : presses) {
        if (press.Shift)
            FX.XTestFakeKeyEvent(FDisplay, shift->Code, 1, 0);
        FX.XTestFakeKeyEvent(FDisplay, press.Code, 1, 0);
        FX.XTestFakeKeyEvent(FDisplay, press.Code, 0, 0);
        if (press.Shift)
            FX.XTestFakeKeyEvent(FDisplay, shift->Code, 0, 0);
    }
    FX.XSync(FDisplay, 0);
    if (Lost())
        return TWedgeReport{TWedgeReason::SessionEnded, QStringLiteral("X server")};
    for (const TPress& press : presses)
        if (const auto borrowed = FBorrowed.find(press.Code); borrowed != FBorrowed.end())
            borrowed->second.LastUsedMs = FClock.elapsed();
    if (!FBorrowed.empty())
        FPutBackTimer.start();
    return std::nullopt;
}

} // namespace wedge
