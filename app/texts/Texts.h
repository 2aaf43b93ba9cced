#pragma once

#include <QString>

// The program's texts that are not part of a window's design: the untitled
// document name (a resource string) and the texts of the status bar and the
// message boxes (message ids in German). Every such text passes through here,
// so the translation engine serves them all.

// The untitled document name, "Unbenannt" in German; looked up anew at each
// call so it follows the current language.
QString UntitledName();

// A German message id in the current language.
QString Translated(const char* germanId);

// The two-letter code of the engine's current language ("de", "en", …).
QString EngineLanguageCode();
