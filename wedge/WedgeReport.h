#pragma once

#include <QMetaType>
#include <QString>

namespace wedge {

// Why a reading was not typed, or why typing turned itself off.
enum class TWedgeReason {
    // A reading is left out; typing stays on.
    TooLong,            // more than MaxTypedLength characters
    ControlCharacter,   // a character that is no printable text; Detail names it
    NoValue,            // the value alone was asked for, and the line has none
    UntypableCharacter, // the keyboard cannot produce it; Detail names it
    // Typing turns off.
    QueueFull,        // more readings waited than MaxWaitingReadings
    Unavailable,      // neither XTEST nor the portal is there; Detail says what is missing
    PermissionDenied, // the desktop refused (or the user declined) remote typing
    SessionEnded,     // the display connection or the portal's session ended
    Failed,           // another error of the display or the portal; Detail has it
};

struct TWedgeReport {
    TWedgeReason Reason = TWedgeReason::Failed;
    QString Detail;

    bool operator==(const TWedgeReport&) const = default;
};

// Whether a reading left out for this reason turns typing off.
bool StopsTyping(TWedgeReason reason);

// The reason's name, for logs and test messages ("QueueFull").
const char* ReasonName(TWedgeReason reason);

// A character as a report names it: itself when printable, else "U+0005".
QString CharacterName(char32_t character);

} // namespace wedge

Q_DECLARE_METATYPE(wedge::TWedgeReport)
