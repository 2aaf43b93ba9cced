#include "i18n/QtClassRules.h"

#include "i18n/TGnuGettextInstance.h"

#include <QAction>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDockWidget>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace gnugettext {

namespace {

struct TIgnoredProperties {
    const QMetaObject* Class;
    std::initializer_list<const char*> Names;
};

// An action's tool tip and icon text are its text without "&" and "..."
// until they are set. A value equal to that is handed back to Qt (set
// empty), so it follows the translated text; translating it would freeze it
// ("Speichern unter..." gives "Speichern unter", which no catalog holds).
void FollowText(QAction* action, const char* property, QSet<QString>& ignored) {
    QAction probe;
    probe.setText(action->text());
    if (action->property(property) != probe.property(property))
        return;
    action->setProperty(property, QString());
    ignored.insert(QString::fromLatin1(property).toUpper());
}

// Qt's private helpers that hold an editor's contents as properties.
constexpr const char* ContentControls[] = {"QWidgetTextControl", "QWidgetLineControl"};

} // namespace

void RegisterQtClassRules(TGnuGettextInstance& engine) {
    const TIgnoredProperties rules[] = {
        {&QWidget::staticMetaObject, {"styleSheet", "windowFilePath", "accessibleName"}},
        // The editor holds the user's readings; they never reach the engine.
        {&QPlainTextEdit::staticMetaObject, {"plainText", "documentTitle"}},
        {&QTextEdit::staticMetaObject, {"plainText", "html", "markdown", "documentTitle"}},
        {&QTextBrowser::staticMetaObject, {"searchPaths"}},
        {&QLineEdit::staticMetaObject, {"text", "inputMask"}},
        {&QComboBox::staticMetaObject, {"currentText"}},
        {&QDateTimeEdit::staticMetaObject, {"displayFormat"}},
    };
    for (const TIgnoredProperties& rule : rules)
        for (const char* name : rule.Names)
            engine.TP_GlobalIgnoreClassProperty(rule.Class, QString::fromLatin1(name));
    engine.TP_GlobalIgnoreClass(&QTextDocument::staticMetaObject);
}

bool QtObjectRules(QObject* object, QSet<QString>& ignored) {
    // Qt's own helpers (viewports, extension buttons) carry no design texts.
    if (object->objectName().startsWith(QLatin1String("qt_")))
        return true;
    const QVariant marks = object->property(IgnorePropertyName);
    if (marks.isValid()) {
        const QStringList names = marks.toStringList();
        if (names.contains(QStringLiteral("*")))
            return true;
        for (const QString& name : names)
            ignored.insert(name.toUpper());
    }
    if (const auto* button = qobject_cast<QToolButton*>(object)) {
        if (button->defaultAction() != nullptr)
            ignored.unite({QStringLiteral("TEXT"), QStringLiteral("TOOLTIP"),
                           QStringLiteral("STATUSTIP"), QStringLiteral("WHATSTHIS")});
    }
    for (const char* control : ContentControls)
        if (object->inherits(control))
            return true;
    if (auto* action = qobject_cast<QAction*>(object)) {
        FollowText(action, "toolTip", ignored);
        FollowText(action, "iconText", ignored);
    }
    return false;
}

QList<QObject*> QtFollowers(QObject* object) {
    if (const auto* menu = qobject_cast<QMenu*>(object))
        return {menu->menuAction()};
    if (const auto* bar = qobject_cast<QToolBar*>(object))
        return {bar->toggleViewAction()};
    if (const auto* dock = qobject_cast<QDockWidget*>(object))
        return {dock->toggleViewAction()};
    return {};
}

} // namespace gnugettext
