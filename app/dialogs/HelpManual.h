#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The manuals that ship with Brisquell, one HTML page a language
// (brisquell-de.html, brisquell-en.html, brisquell-fr.html).

// Where the manuals of the program in programFolder are: beside it in the
// build tree (help/), or in the tree it is installed in
// (bin/../share/brisquell/help/, /usr/share/brisquell/help/ for the package).
QStringList HelpManualFolders(const QString& programFolder);

// The manual of the language in the first of the folders that has it, as an
// absolute path; empty when none has.
QString FindHelpManual(const QStringList& folders, const QString& language);

// The languages the window offers, in the order of its language items.
inline constexpr std::array<const char*, 3> WindowLanguages{"de", "en", "fr"};

// The compiled help file of one of those languages (BRQDEU.CHM ...), looked
// for in the current folder; empty for any other language.
QString CompiledHelpFile(const QString& language);
