#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <memory>
#include <set>
#include <vector>

class TChildProcess;

// A session bus of the test's own: a dbus-daemon on a socket in a
// temporary folder, with no services to start (a portal installed on the
// machine is never reached).
class TPrivateBus {
public:
    TPrivateBus();
    ~TPrivateBus();
    TPrivateBus(const TPrivateBus&) = delete;
    TPrivateBus& operator=(const TPrivateBus&) = delete;

    // Empty when the daemon did not come up; the reason is in Errors.
    const QString& Address() const { return FAddress; }
    QString Errors() const;

private:
    QTemporaryDir FFolder;
    std::unique_ptr<TChildProcess> FDaemon;
    QString FAddress;
};

// The desktop's remote-desktop portal as far as typing uses it, on its own
// connection to a bus: CreateSession, SelectDevices, Start answered through
// Request objects, key events recorded, sessions closed either way. It runs
// on the test's main thread, so the typer must never wait for the main
// thread while it talks to the portal.
class TStandInPortal : public QDBusVirtualObject {
public:
    struct TKey {
        qint32 Keysym = 0;
        uint State = 0;
        bool operator==(const TKey&) const = default;
    };

    explicit TStandInPortal(const QString& address);
    ~TStandInPortal() override;

    bool Registered() const { return FRegistered; }
    // Ends the session from the desktop's side (its Closed signal).
    void CloseSession();

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString&) const override { return {}; }

    // The methods called, in order, with the options each was given.
    QStringList Calls;
    QList<QVariantMap> Options;
    std::vector<TKey> Keys;
    // Sessions the typer closed.
    QStringList ClosedByClient;
    // The answer to Start: 0 granted, 1 the user declined.
    uint StartResponse = 0;
    // Keysyms whose key press is answered with an invalid-argument error.
    std::set<qint32> Refused;

private:
    void Respond(const QDBusMessage& call, const QVariantMap& options, uint response,
                 const QVariantMap& results);
    bool IsSession(const QVariant& path) const;

    QString FName;
    QDBusConnection FBus;
    QString FSession;
    bool FRegistered = false;
};

// "0x..." keysyms as the portal records them, for readable failures.
void PrintTo(const TStandInPortal::TKey& key, std::ostream* out);
