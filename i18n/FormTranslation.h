#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace gnugettext {

class TGnuGettextInstance;

// A class rule of the form walk: for objects of TargetClass (descendants
// included) either hand them to Handler, skip the named properties (upper
// case), or, with neither, skip the whole object.
struct TClassMode {
    const QMetaObject* TargetClass = nullptr;
    std::function<void(QObject*)> Handler;
    QSet<QString> IgnoredProperties;
};

// Something a marker can run to renew its form's texts.
class TExecutable {
public:
    virtual ~TExecutable() = default;
    virtual void Run() = 0;
};

// One remembered untranslated value. A QStringList property keeps its lines.
struct TTP_RetranslatorItem {
    QPointer<QObject> Target; // not owned; a deleted target is skipped
    QString PropertyName;
    QString UntranslatedText;
    QStringList UntranslatedLines;
    bool IsStringList = false;
};

// Replays the untranslated values recorded while a form was translated
// through the engine in its current language.
class TTP_Retranslator : public TExecutable {
public:
    explicit TTP_Retranslator(TGnuGettextInstance* engine) : Engine(engine) {}

    void Remember(QObject* target, const QString& propertyName, const QString& text);
    void RememberLines(QObject* target, const QString& propertyName, const QStringList& lines);
    void Run() override;

    QString DomainName;
    TGnuGettextInstance* Engine;
    std::vector<TTP_RetranslatorItem> Items;

private:
    void RunItem(const TTP_RetranslatorItem& item);
    bool FRunning = false;
};

// Inserted into each translated form: in which language it was last
// translated, and the retranslator that renews it.
class TGnuGettextComponentMarker : public QObject {
    Q_OBJECT
public:
    TGnuGettextComponentMarker();
    ~TGnuGettextComponentMarker() override;

    QString TranslatedLanguage;
    std::unique_ptr<TExecutable> FormRetranslator;
};

// The marker name, and the marker a component owns directly (or none).
inline constexpr char MarkerName[] = "GNUgettextMarker";
TGnuGettextComponentMarker* FindMarker(const QObject* component);

} // namespace gnugettext
