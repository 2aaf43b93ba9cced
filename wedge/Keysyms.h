#pragma once

#include "wedge/TypingText.h"

#include <QString>

#include <cstdint>
#include <string>

namespace wedge {

using TKeysym = std::uint32_t;
constexpr TKeysym NoKeysym = 0;

// The code points of text; a surrogate without its partner stays as it is
// (QString::toUcs4 would hide it behind U+FFFD, which is printable).
std::u32string CodePoints(const QString& text);

// The X keysym that types a printable character: Latin-1 characters have
// their own (the micro sign is 0xB5), every other one its Unicode keysym.
TKeysym KeysymOf(char32_t character);
// Return, Tab, or NoKeysym for no key.
TKeysym KeysymOf(TWedgeKey key);

} // namespace wedge
