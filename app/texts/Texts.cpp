#include "app/texts/Texts.h"

#include "app/texts/ProgramResourceStrings.h"
#include "i18n/gnugettext.h"

QString UntitledName() {
    return gnugettext::LoadResourceText(&SUnbenannt, ProgramResourceStrings());
}

QString Translated(const char* germanId) {
    return gnugettext::TranslateText(QString::fromUtf8(germanId));
}

QString EngineLanguageCode() {
    return gnugettext::CurrentLanguage().left(2);
}
