#pragma once

#include <QKeyCombination>
#include <QString>
#include <QStringList>

#include <initializer_list>

class QAction;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QObject;
class QWidget;
class TImageList;

// The pieces the main window's form is built from. Captions are the German
// design texts, which the translation walk renews.

// Texts set at run time are kept out of the translation walk, so that a
// language switch renews only design texts.
void MarkRunTimeTexts(QObject* object, const QStringList& properties);
QMenu* MakeMenu(QWidget* parent, const char* name, const char* caption);
// An item appended to the menu, its tag in the property "Tag".
QAction* MakeItem(QMenu* menu, const char* name, const char* caption, int tag = 0);

struct TActionDesign {
    const char* Name;
    const char* Caption;
    QKeyCombination Key; // QKeyCombination::fromCombined(0): none
    int Image;           // in the action image list; -1: none
};
// An action of owner: the hint equals the caption, the shortcut works in
// the window, and it stays disabled until a command is bound to it.
QAction* MakeAction(QObject& owner, const TActionDesign& design, QObject* actionList,
                    const TImageList& images);
// Adds owner's actions of these names to a menu or tool bar; "-" is a
// separator.
void AddActions(const QObject& owner, QWidget* target, std::initializer_list<const char*> names);

// The tool bar "ToolBar1" of the window's actions; the open button drops
// down openMenu, the recent files.
void BuildToolBar(QMainWindow& window, QMenu* openMenu);
// The editor's design: a fixed font, wrapped lines, the vertical scroll
// bar always shown; its text is the document, not a design text.
void ApplyEditorDesign(QPlainTextEdit& editor);
