#include "wedge/TypingText.h"

#include "series/Reading.h"
#include "wedge/Keysyms.h"

namespace wedge {

namespace {

// Printable text only: controls, format characters (bidirectional
// overrides among them), surrogates without a partner, private and
// unassigned code points and line or paragraph separators would reach the
// target program as something other than what the document shows.
bool IsPrintable(char32_t character) {
    switch (QChar::category(character)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return false;
    default:
        return true;
    }
}

} // namespace

bool StopsTyping(TWedgeReason reason) {
    switch (reason) {
    case TWedgeReason::TooLong:
    case TWedgeReason::ControlCharacter:
    case TWedgeReason::NoValue:
    case TWedgeReason::UntypableCharacter:
        return false;
    default:
        return true;
    }
}

const char* ReasonName(TWedgeReason reason) {
    switch (reason) {
    case TWedgeReason::TooLong:
        return "TooLong";
    case TWedgeReason::ControlCharacter:
        return "ControlCharacter";
    case TWedgeReason::NoValue:
        return "NoValue";
    case TWedgeReason::UntypableCharacter:
        return "UntypableCharacter";
    case TWedgeReason::QueueFull:
        return "QueueFull";
    case TWedgeReason::Unavailable:
        return "Unavailable";
    case TWedgeReason::PermissionDenied:
        return "PermissionDenied";
    case TWedgeReason::SessionEnded:
        return "SessionEnded";
    case TWedgeReason::Failed:
        return "Failed";
    }
    return "?";
}

QString CharacterName(char32_t character) {
    if (IsPrintable(character) && character != U' ')
        return QString::fromUcs4(&character, 1);
    return QStringLiteral("U+%1")
        .arg(static_cast<uint>(character), 4, 16, QLatin1Char('0'))
        .toUpper();
}

std::variant<TKeystrokes, TWedgeReport> KeystrokesFor(const QString& line,
                                                      const TWedgeOptions& options) {
    const QString reading = line.trimmed();
    if (reading.isEmpty())
        return TKeystrokes{{}, TWedgeKey::None};
    const std::u32string characters = CodePoints(reading);
    if (characters.size() > MaxTypedLength)
        return TWedgeReport{TWedgeReason::TooLong, QString::number(characters.size())};
    for (const char32_t character : characters)
        if (!IsPrintable(character))
            return TWedgeReport{TWedgeReason::ControlCharacter, CharacterName(character)};
    if (options.What == TWedgeWhat::WholeLine)
        return TKeystrokes{reading, options.Key};
    const auto parsed = series::ParseReading(reading);
    if (!parsed)
        return TWedgeReport{TWedgeReason::NoValue, reading};
    QString value = parsed->ValueText.toString();
    for (QChar& c : value)
        if (c == u'.' || c == u',')
            c = options.DecimalSeparator;
    return TKeystrokes{value, options.Key};
}

} // namespace wedge
