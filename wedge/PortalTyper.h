#pragma once

#include "wedge/KeyTyper.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <set>

namespace wedge {

// Types through the desktop's remote-desktop portal on the session bus:
// CreateSession, SelectDevices (the keyboard), Start (the desktop asks the
// user once), then a key event for each character's keysym. The session is
// kept until the typer ends, which closes it.
//
// The portal cannot tell which keysyms the compositor's layout has. A
// character is taken as untypable when the portal answers its key event
// with an invalid-argument error: that reading stops there, and later
// readings holding the character are not typed at all. A compositor that
// drops such a key silently cannot be told from one that types it.
class TPortalTyper : public QObject, public TKeyTyper {
    Q_OBJECT
public:
    TPortalTyper();
    ~TPortalTyper() override;

    void Open() override;
    std::optional<TWedgeReport> Type(const TKeystrokes& keystrokes) override;

private slots:
    void OnResponse(uint response, const QVariantMap& results);
    void OnClosed(const QVariantMap& details);

private:
    enum class TStep { CreateSession, SelectDevices, Start };
    // Calls a method that answers through a Request object, listening on
    // that object first; false (and Opened told why) when the call failed.
    bool Request(TStep step, const QString& method, QList<QVariant> arguments, QVariantMap options);
    void StopListening();
    // A key event; the error's name and text when the portal refused it.
    std::optional<std::pair<QString, QString>> Key(quint32 keysym, bool pressed);
    void Fail(const TWedgeReport& report);

    QString FName;
    QDBusConnection FBus;
    TStep FStep = TStep::CreateSession;
    QString FRequest; // the Request object answered next
    QString FSession; // the session, once created
    bool FStarted = false;
    unsigned FTokens = 0;
    std::set<char32_t> FUntypable;
};

} // namespace wedge
