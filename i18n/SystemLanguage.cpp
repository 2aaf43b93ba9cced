#include "i18n/SystemLanguage.h"

#include <cstdlib>

namespace gnugettext {

namespace {

QString Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? QString::fromLocal8Bit(value) : QString();
}

} // namespace

QString SystemLanguageCode() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES"}) {
        QString code = Variable(name);
        if (code.isEmpty())
            continue;
        // The system's name for Norwegian Bokmål is "nb".
        if (code.left(2).toLower() == QLatin1String("no") &&
            (code.size() == 2 || !code.at(2).isLetter()))
            code.replace(0, 2, QStringLiteral("nb"));
        return code;
    }
    return QStringLiteral("C");
}

QString EnvironmentLanguageCode() {
    QString code = Variable("LANG");
    if (code.isEmpty())
        code = SystemLanguageCode();
    for (const QChar cut : {QChar(u'.'), QChar(u'@')}) {
        const qsizetype at = code.indexOf(cut);
        if (at >= 0)
            code.truncate(at);
    }
    return code;
}

} // namespace gnugettext
