#include "app/Texts.h"

#include <cstdlib>

QString UntitledName() {
    return QStringLiteral("Unbenannt");
}

QString Translated(const char* germanId) {
    return QString::fromUtf8(germanId);
}

QString EngineLanguageCode() {
    // Until the translation engine exists: the environment's language, as
    // the engine will take it (LANG, then LC_ALL, LC_MESSAGES, else "C").
    for (const char* name : {"LANG", "LC_ALL", "LC_MESSAGES"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return QString::fromLocal8Bit(value).left(2);
    }
    return QStringLiteral("C");
}
