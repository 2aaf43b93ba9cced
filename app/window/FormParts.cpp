#include "app/window/FormParts.h"

#include "app/window/ImageList.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace {

QString Text(const char* german) {
    return QString::fromUtf8(german);
}

} // namespace

void MarkRunTimeTexts(QObject* object, const QStringList& properties) {
    object->setProperty("gnugettextIgnore", properties);
}

QMenu* MakeMenu(QWidget* parent, const char* name, const char* caption) {
    auto* menu = new QMenu(Text(caption), parent);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* MakeItem(QMenu* menu, const char* name, const char* caption, int tag) {
    auto* item = new QAction(Text(caption), menu);
    item->setObjectName(QString::fromLatin1(name));
    item->setProperty("Tag", tag);
    menu->addAction(item);
    return item;
}

QAction* MakeAction(QObject& owner, const TActionDesign& design, QObject* actionList,
                    const TImageList& images) {
    auto* action = new QAction(Text(design.Caption), &owner);
    action->setObjectName(QString::fromLatin1(design.Name));
    action->setToolTip(Text(design.Caption));
    action->setStatusTip(Text(design.Caption));
    if (design.Key.toCombined() != 0)
        action->setShortcut(QKeySequence(design.Key));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setProperty("ActionList", QVariant::fromValue(actionList));
    if (design.Image >= 0)
        action->setIcon(images.Image(design.Image));
    action->setProperty("ImageIndex", design.Image);
    action->setEnabled(false);
    return action;
}

void AddActions(const QObject& owner, QWidget* target, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (name[0] != '-')
            target->addAction(
                owner.findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly));
        else if (auto* menu = qobject_cast<QMenu*>(target))
            menu->addSeparator();
        else
            static_cast<QToolBar*>(target)->addSeparator();
    }
}

void BuildToolBar(QMainWindow& window, QMenu* openMenu) {
    auto* tools = new QToolBar(&window);
    tools->setObjectName(QStringLiteral("ToolBar1"));
    tools->setMovable(false);
    tools->setIconSize(QSize(16, 16));
    tools->setToolButtonStyle(Qt::ToolButtonIconOnly);
    window.addToolBar(Qt::TopToolBarArea, tools);
    AddActions(window, tools, {"act_file_new", "act_file_open"});
    QAction* open = tools->actions().constLast();
    if (auto* button = qobject_cast<QToolButton*>(tools->widgetForAction(open))) {
        button->setMenu(openMenu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    AddActions(window, tools,
               {"-", "act_file_save", "act_file_saveas", "-", "act_file_print", "-", "act_edit_cut",
                "act_edit_copy", "act_edit_paste", "act_edit_undo", "-", "act_edit_clear"});
    auto* gap = new QWidget(tools);
    gap->setObjectName(QStringLiteral("ToolButtonGap"));
    gap->setFixedWidth(26);
    tools->addWidget(gap);
    AddActions(window, tools, {"act_interface_conneced", "act_interface_disconneced"});
    for (QToolButton* button : tools->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        button->setFixedHeight(23);
}

void ApplyEditorDesign(QPlainTextEdit& editor) {
    // "Courier New" is asked for; the platform substitutes its nearest fixed font.
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    editor.setFont(font);
    editor.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    editor.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor.setUndoRedoEnabled(true);
    MarkRunTimeTexts(&editor, {QStringLiteral("*")});
}
