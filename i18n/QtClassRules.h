#pragma once

#include <QList>
#include <QSet>
#include <QString>

class QObject;

namespace gnugettext {

class TGnuGettextInstance;

// The dynamic property by which a window marks texts it sets at run time: a
// QStringList of Qt property names the walk skips for that object, or "*"
// to skip the object with everything it owns.
inline constexpr char IgnorePropertyName[] = "gnugettextIgnore";

// Registers the class rules that keep Qt's non-texts out of the walk
// (style sheets, editor contents, file paths, accessible names, ...).
void RegisterQtClassRules(TGnuGettextInstance& engine);

// Per-object rules that class rules cannot express: the gnugettextIgnore
// marks, Qt's internal children, tool buttons and tool tips that follow
// an action. Adds upper-case property names to ignored; true when the
// object is skipped whole.
bool QtObjectRules(QObject* object, QSet<QString>& ignored);

// Objects whose texts follow this one and must not be walked on their own
// (a menu's own action carries the menu title, a tool bar's toggle action
// its window title).
QList<QObject*> QtFollowers(QObject* object);

} // namespace gnugettext
