#include "i18n/FormTranslation.h"

#include "i18n/GnuGettextErrors.h"
#include "i18n/QtClassRules.h"
#include "i18n/TGnuGettextInstance.h"

#include "platform/Dialogs.h"

#include <QMetaProperty>

namespace gnugettext {

namespace {

QString UpperName(const char* name) {
    return QString::fromLatin1(name).toUpper();
}

bool IsStringList(const QMetaProperty& property) {
    return property.metaType().id() == QMetaType::QStringList;
}

bool IsText(const QMetaProperty& property) {
    return property.metaType().id() == QMetaType::QString;
}

bool IsObjectReference(const QMetaProperty& property) {
    return (property.metaType().flags() & QMetaType::PointerToQObject) != 0;
}

// Empties the one-shot lists and ends the recording, however the walk ends.
class TWalkCleanup {
public:
    explicit TWalkCleanup(TGnuGettextInstance& engine) : FEngine(engine) {}
    ~TWalkCleanup() {
        FEngine.ClassRulesOnce.clear();
        FEngine.IgnoreOnce.clear();
        FEngine.ActiveRetranslator = nullptr;
    }
    TWalkCleanup(const TWalkCleanup&) = delete;
    TWalkCleanup& operator=(const TWalkCleanup&) = delete;

private:
    TGnuGettextInstance& FEngine;
};

// Walks one rule list; true when a whole-object rule matched (then the
// object went to its handler, if it has one).
bool ApplyRules(const std::vector<TClassMode>& rules, QObject* object, QSet<QString>& ignored) {
    const QMetaObject* meta = object->metaObject();
    for (const TClassMode& rule : rules) {
        if (!meta->inherits(rule.TargetClass))
            continue;
        if (rule.IgnoredProperties.isEmpty()) {
            if (rule.Handler)
                rule.Handler(object);
            return true;
        }
        ignored.unite(rule.IgnoredProperties);
    }
    return false;
}

} // namespace

TGnuGettextComponentMarker::TGnuGettextComponentMarker() {
    setObjectName(QLatin1String(MarkerName));
}

TGnuGettextComponentMarker::~TGnuGettextComponentMarker() = default;

TGnuGettextComponentMarker* FindMarker(const QObject* component) {
    if (component == nullptr)
        return nullptr;
    return component->findChild<TGnuGettextComponentMarker*>(QLatin1String(MarkerName),
                                                             Qt::FindDirectChildrenOnly);
}

void TTP_Retranslator::Remember(QObject* target, const QString& propertyName, const QString& text) {
    Items.push_back({target, propertyName, text, {}, false});
}

void TTP_Retranslator::RememberLines(QObject* target, const QString& propertyName,
                                     const QStringList& lines) {
    Items.push_back({target, propertyName, {}, lines, true});
}

void TTP_Retranslator::Run() {
    if (FRunning)
        return; // a form whose items lead back to itself
    FRunning = true;
    try {
        for (const TTP_RetranslatorItem& item : Items)
            RunItem(item);
    } catch (...) {
        FRunning = false;
        throw;
    }
    FRunning = false;
}

void TTP_Retranslator::RunItem(const TTP_RetranslatorItem& item) {
    QObject* target = item.Target.data();
    if (target == nullptr)
        return;
    if (TGnuGettextComponentMarker* marker = FindMarker(target)) {
        if (marker->FormRetranslator && marker->FormRetranslator.get() != this) {
            marker->FormRetranslator->Run();
            return;
        }
    }
    const QByteArray name = item.PropertyName.toLatin1();
    if (target->metaObject()->indexOfProperty(name.constData()) < 0)
        return;
    if (item.IsStringList) {
        QStringList lines = item.UntranslatedLines;
        Engine->TranslateStringList(lines, DomainName);
        target->setProperty(name.constData(), lines);
        return;
    }
    // Also when the text equals the current one: back in the source language
    // this restores the design texts.
    target->setProperty(name.constData(),
                        Engine->TranslateInDomain(DomainName, item.UntranslatedText));
}

void TGnuGettextInstance::TranslateComponent(QObject* component, const QString& domain) {
    if (component == nullptr)
        return; // no form to hold a marker
    TGnuGettextComponentMarker* marker = FindMarker(component);
    if (marker == nullptr) {
        auto created = std::make_unique<TGnuGettextComponentMarker>();
        auto retranslator = std::make_unique<TTP_Retranslator>(this);
        ActiveRetranslator = retranslator.get();
        created->FormRetranslator = std::move(retranslator);
        TranslateObjectTree(component, domain);
        // Inserted after the walk, so the walk does not see it.
        marker = created.release();
        marker->setParent(component);
    } else if (marker->TranslatedLanguage != LanguageCode) {
        Dialogs().MessageBox(
            QStringLiteral("This application tried to switch the language, but in an incorrect "
                           "way. The programmer needs to replace a call to TranslateComponent "
                           "with a call to RetranslateComponent(). The programmer should see "
                           "the changelog of gnugettext for more information."),
            QStringLiteral("Error"), platform::MB_OK);
    }
    marker->TranslatedLanguage = LanguageCode;
}

void TGnuGettextInstance::RetranslateComponent(QObject* component) {
    TGnuGettextComponentMarker* marker = FindMarker(component);
    if (marker == nullptr)
        throw EGGProgrammingError(
            QStringLiteral("Retranslate was called on an object that has not been translated "
                           "before. Please use TranslateComponent() before "
                           "RetranslateComponent()."));
    if (marker->TranslatedLanguage != LanguageCode && marker->FormRetranslator)
        marker->FormRetranslator->Run();
    marker->TranslatedLanguage = LanguageCode;
}

void TGnuGettextInstance::TranslateObjectTree(QObject* root, const QString& domain) {
    const TWalkCleanup cleanup(*this);
    const QString walkDomain = domain.isEmpty() ? DefaultDomain : domain;
    if (ActiveRetranslator != nullptr)
        ActiveRetranslator->DomainName = walkDomain;

    TWorkQueue queue;
    queue.emplace_back(QString(), root);
    QSet<const QObject*> visited;
    while (!queue.empty()) {
        const auto [name, pointer] = queue.front();
        queue.pop_front();
        QObject* object = pointer.data();
        if (object == nullptr || visited.contains(object))
            continue;
        visited.insert(object);
        // Objects that follow another one (a menu's own action) are not
        // design texts of their own.
        for (QObject* follower : QtFollowers(object))
            visited.insert(follower);
        TranslateOneObject(name, object, walkDomain, queue);
    }
}

// Steps for one object of the walk: rules, properties, owned components.
void TGnuGettextInstance::TranslateOneObject(const QString& name, QObject* object,
                                             const QString& domain, TWorkQueue& queue) {
    QSet<QString> ignored;
    if (CollectIgnoredProperties(object, ignored))
        return;

    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!IsText(property) && !IsStringList(property) && !IsObjectReference(property))
            continue;
        const QString propertyName = UpperName(property.name());
        if (IgnoreOnce.contains(name + QLatin1Char('.') + propertyName) ||
            ignored.contains(propertyName))
            continue;
        TranslateOneProperty(object, property, domain, queue);
    }

    for (QObject* child : object->children()) {
        const QString childName = child->objectName().toUpper();
        if (IgnoreOnce.contains(childName) || FindMarker(child) != nullptr)
            continue;
        queue.emplace_back(childName, child);
    }
}

// True when the object is skipped whole.
bool TGnuGettextInstance::CollectIgnoredProperties(QObject* object, QSet<QString>& ignored) const {
    if (ApplyRules(ClassRulesOnce, object, ignored) ||
        ApplyRules(ClassRulesGlobal, object, ignored))
        return true;
    return QtObjectRules(object, ignored);
}

void TGnuGettextInstance::TranslateOneProperty(QObject* object, const QMetaProperty& property,
                                               const QString& domain, TWorkQueue& queue) {
    try {
        TranslateProperty(object, property, domain, queue);
    } catch (const std::exception& error) {
        const QString reason = dynamic_cast<const EGnuGettext*>(&error) != nullptr
                                   ? static_cast<const EGnuGettext&>(error).Message()
                                   : QString::fromUtf8(error.what());
        const QString name = QString::fromLatin1(property.name());
        throw EGGComponentError(
            QStringLiteral("Property cannot be translated.\r\nAdd TP_GlobalIgnoreClassProperty(") +
            QString::fromLatin1(object->metaObject()->className()) + QStringLiteral(",'") + name +
            QStringLiteral("') to your source code or use\r\nTP_Ignore (self,'.") + name +
            QStringLiteral("') to prevent this message.\r\nReason: ") + reason);
    }
}

void TGnuGettextInstance::TranslateProperty(QObject* object, const QMetaProperty& property,
                                            const QString& domain, TWorkQueue& queue) {
    if (IsObjectReference(property)) {
        QObject* referenced = property.read(object).value<QObject*>();
        if (referenced != nullptr && FindMarker(referenced) == nullptr)
            queue.emplace_back(QString(), referenced);
        return;
    }
    const QString name = QString::fromLatin1(property.name());
    if (IsStringList(property)) {
        const QStringList lines = property.read(object).toStringList();
        if (lines.join(QString()).isEmpty() || !property.isWritable())
            return;
        if (ActiveRetranslator != nullptr)
            ActiveRetranslator->RememberLines(object, name, lines);
        QStringList translated = lines;
        TranslateStringList(translated, domain);
        if (translated != lines && !property.write(object, translated))
            throw EGnuGettext(QStringLiteral("The property refused the translated lines."));
        return;
    }
    const QString value = property.read(object).toString();
    if (value.isEmpty() || !property.isWritable())
        return;
    if (ActiveRetranslator != nullptr)
        ActiveRetranslator->Remember(object, name, value);
    const QString translated = TranslateInDomain(domain, value);
    if (translated != value && !object->setProperty(property.name(), translated))
        throw EGnuGettext(QStringLiteral("The property refused the translated text."));
}

void TGnuGettextInstance::TranslateStringList(QStringList& lines, const QString& domain) {
    for (QString& line : lines) {
        if (!line.isEmpty())
            line = TranslateInDomain(domain, line);
    }
}

void TGnuGettextInstance::TP_GlobalIgnoreClassProperty(const QMetaObject* targetClass,
                                                       const QString& propertyName) {
    const QString name = propertyName.toUpper();
    for (auto it = ClassRulesGlobal.begin(); it != ClassRulesGlobal.end(); ++it) {
        if (it->TargetClass == targetClass) {
            if (it->Handler)
                throw EGGProgrammingError(QStringLiteral(
                    "You cannot ignore a class property for a class that has a handler set."));
            // A rule without names skips the whole object already; a name
            // added to it would turn it into a rule for that name only.
            if (!it->IgnoredProperties.isEmpty())
                it->IgnoredProperties.insert(name);
            return;
        }
        if (targetClass->inherits(it->TargetClass)) {
            ClassRulesGlobal.insert(it, TClassMode{targetClass, {}, {name}});
            return;
        }
    }
    ClassRulesGlobal.push_back(TClassMode{targetClass, {}, {name}});
}

void TGnuGettextInstance::TP_GlobalIgnoreClass(const QMetaObject* targetClass) {
    auto it = ClassRulesGlobal.begin();
    while (it != ClassRulesGlobal.end() && !targetClass->inherits(it->TargetClass))
        ++it;
    ClassRulesGlobal.insert(it, TClassMode{targetClass, {}, {}});
}

void TGnuGettextInstance::TP_Ignore(const QString& key) {
    IgnoreOnce.insert(key.toUpper());
}

} // namespace gnugettext
