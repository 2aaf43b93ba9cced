#pragma once

#include "wedge/WedgeReport.h"

#include <QString>

#include <variant>

namespace wedge {

// The key typed after each reading.
enum class TWedgeKey { Enter, Tab, None };
// What of a reading line is typed.
enum class TWedgeWhat { WholeLine, ValueOnly };

struct TWedgeOptions {
    TWedgeWhat What = TWedgeWhat::WholeLine;
    TWedgeKey Key = TWedgeKey::Enter;
    // The user's decimal separator, which the value alone is typed with.
    QChar DecimalSeparator = u'.';
};

// A reading longer than this (after its blanks are cut) is not typed: a
// gauge never sends one, a wrong baud rate or a stray stream does.
constexpr qsizetype MaxTypedLength = 64;

// What goes to the keyboard for one finished line: the text, then the key.
struct TKeystrokes {
    QString Text;
    TWedgeKey Key = TWedgeKey::Enter;

    bool operator==(const TKeystrokes&) const = default;
};

// The keystrokes for a line as it stands in the document, or why it is not
// typed. Blanks and the line end around it are cut; a line empty then gives
// empty keystrokes with no key (nothing to type).
std::variant<TKeystrokes, TWedgeReport> KeystrokesFor(const QString& line,
                                                      const TWedgeOptions& options);

} // namespace wedge
