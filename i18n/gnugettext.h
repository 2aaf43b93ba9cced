#pragma once

// The translation engine "gnugettext": what the rest of the program calls.
// Start the module once the QApplication exists (after the serial module)
// and end it after the windows are gone.

#include "i18n/GnuGettextErrors.h"
#include "i18n/ResourceStrings.h"

#include <QString>

class QObject;

namespace gnugettext {

class TFileLocator;
class TGnuGettextInstance;

// Module-level objects: valid between GnuGettextModuleStart and
// GnuGettextModuleEnd, null otherwise.
extern TGnuGettextInstance* GlobalEngine;
extern TFileLocator* FileLocator;

void GnuGettextModuleStart();
void GnuGettextModuleEnd();

// A German message id in the current language. Without a running engine
// every text comes back unchanged.
QString TranslateText(const QString& id);
void SelectLanguage(const QString& code);
// The engine's language; without an engine, the language it would take.
QString CurrentLanguage();
// Translates a form once and marks it; an empty domain is the default one.
void TranslateComponent(QObject* component, const QString& domain = QString());
// Renews the texts of a translated form if the language changed since.
void RetranslateComponent(QObject* component);
// Whether a form carries the mark of a finished translation (a walk that
// failed leaves none).
bool IsTranslated(const QObject* component);
// Tries the resource-string domains in order; the first differing result.
QString TranslateResourceString(const QString& text);

} // namespace gnugettext

using gnugettext::GnuGettextModuleEnd;
using gnugettext::GnuGettextModuleStart;
