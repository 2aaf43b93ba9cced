#include "app/window/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

TQtTranslations::~TQtTranslations() {
    Remove();
}

void TQtTranslations::Remove() {
    if (FInstalled)
        QCoreApplication::removeTranslator(&FTranslator);
    FInstalled = false;
    FLanguage.clear();
}

bool TQtTranslations::Select(const QString& code) {
    if (code == FLanguage)
        return true;
    Remove();
    if (code != QLatin1String("de") && code != QLatin1String("fr"))
        return code == QLatin1String("en");
    // "qt_<code>" gathers the modules' catalogs (qtbase among them).
    if (!FTranslator.load(QStringLiteral("qt_") + code,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    FInstalled = QCoreApplication::installTranslator(&FTranslator);
    if (FInstalled)
        FLanguage = code;
    return FInstalled;
}
