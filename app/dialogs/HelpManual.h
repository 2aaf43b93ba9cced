#pragma once

#include <QString>
#include <QStringList>

// The manuals that ship with Brisquell, one HTML page a language
// (brisquell-de.html, brisquell-en.html, brisquell-fr.html).

// Where the manuals of the program in programFolder are: beside it in the
// build tree (help/), or in the tree it is installed in
// (bin/../share/brisquell/help/, /usr/share/brisquell/help/ for the package).
QStringList HelpManualFolders(const QString& programFolder);

// The manual of the language in the first of the folders that has it, as an
// absolute path; empty when none has.
QString FindHelpManual(const QStringList& folders, const QString& language);
