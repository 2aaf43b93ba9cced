#include "wedge/Keysyms.h"

namespace wedge {

std::u32string CodePoints(const QString& text) {
    std::u32string points;
    points.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            points += QChar::surrogateToUcs4(c, text[i + 1]);
            ++i;
        } else {
            points += c.unicode();
        }
    }
    return points;
}

TKeysym KeysymOf(char32_t character) {
    if ((character >= 0x20 && character <= 0x7E) || (character >= 0xA0 && character <= 0xFF))
        return character;
    return 0x01000000 | character;
}

TKeysym KeysymOf(TWedgeKey key) {
    switch (key) {
    case TWedgeKey::Enter:
        return 0xFF0D; // Return
    case TWedgeKey::Tab:
        return 0xFF09;
    case TWedgeKey::None:
        break;
    }
    return NoKeysym;
}

} // namespace wedge
