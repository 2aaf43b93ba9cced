#include "tests/wedge/StandInPortal.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
#include <QStandardPaths>

#include <ostream>

#include <csignal>

namespace {

const QString DesktopPath = QStringLiteral("/org/freedesktop/portal/desktop");

QVariantMap MapOf(const QVariant& value) {
    return qdbus_cast<QVariantMap>(value);
}

// The sender's unique name as the portal puts it into object paths.
QString SenderPart(const QDBusMessage& message) {
    QString sender = message.service().mid(1);
    return sender.replace(u'.', u'_');
}

} // namespace

TPrivateBus::TPrivateBus() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty() || !FFolder.isValid())
        return;
    const QString socket = FFolder.path() + QStringLiteral("/bus");
    QFile config(FFolder.path() + QStringLiteral("/bus.conf"));
    if (!config.open(QIODevice::WriteOnly))
        return;
    config.write(
        QStringLiteral(
            R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
            .arg(socket)
            .toUtf8());
    config.close();
    FDaemon = std::make_unique<TChildProcess>(
        daemon, QStringList{QStringLiteral("--config-file=") + config.fileName(),
                            QStringLiteral("--nofork"), QStringLiteral("--nopidfile")});
    // The socket's file is there before the daemon listens on it.
    const QString address = QStringLiteral("unix:path=") + socket;
    const auto listening = [&] {
        const QString probe = QStringLiteral("private-bus-probe");
        const bool connected =
            QFile::exists(socket) && QDBusConnection::connectToBus(address, probe).isConnected();
        QDBusConnection::disconnectFromBus(probe);
        return connected;
    };
    if (FDaemon->Started() && testing_support::WaitFor(listening, 60000))
        FAddress = address;
}

TPrivateBus::~TPrivateBus() {
    if (FDaemon && FDaemon->Started())
        ::kill(FDaemon->Pid(), SIGTERM);
}

QString TPrivateBus::Errors() const {
    if (!FDaemon)
        return QStringLiteral("no dbus-daemon");
    return QString::fromLocal8Bit(FDaemon->Errors());
}

TStandInPortal::TStandInPortal(const QString& address)
    : FName(QStringLiteral("stand-in-portal-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)),
      FBus(QDBusConnection::connectToBus(address, FName)) {
    FRegistered = FBus.isConnected() &&
                  FBus.registerVirtualObject(DesktopPath, this, QDBusConnection::SubPath) &&
                  FBus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

TStandInPortal::~TStandInPortal() {
    FBus.unregisterObject(DesktopPath);
    QDBusConnection::disconnectFromBus(FName);
}

void TStandInPortal::CloseSession() {
    QDBusMessage closed = QDBusMessage::createSignal(
        FSession, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"));
    closed << QVariantMap();
    FSession.clear();
    FBus.send(closed);
}

bool TStandInPortal::IsSession(const QVariant& path) const {
    return !FSession.isEmpty() && qvariant_cast<QDBusObjectPath>(path).path() == FSession;
}

void TStandInPortal::Respond(const QDBusMessage& call, const QVariantMap& options, uint response,
                             const QVariantMap& results) {
    const QString request = DesktopPath + QStringLiteral("/request/") + SenderPart(call) + u'/' +
                            options.value(QStringLiteral("handle_token")).toString();
    FBus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(request))));
    QDBusMessage signal = QDBusMessage::createSignal(
        request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
    signal << response << results;
    FBus.send(signal);
}

bool TStandInPortal::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    const QString member = message.member();
    const QList<QVariant> arguments = message.arguments();
    const auto refuse = [&](const char* error) {
        FBus.send(message.createErrorReply(QString::fromLatin1(error), member));
        return true;
    };
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
        if (member != QLatin1String("Get") ||
            arguments.value(0) != "org.freedesktop.portal.RemoteDesktop")
            return refuse("org.freedesktop.DBus.Error.UnknownProperty");
        FBus.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(2)))));
        return true;
    }
    if (message.interface() == QLatin1String("org.freedesktop.portal.Session")) {
        ClosedByClient << message.path();
        if (message.path() == FSession)
            FSession.clear();
        FBus.send(message.createReply());
        return true;
    }
    if (message.interface() == QLatin1String("org.freedesktop.portal.Request")) {
        FBus.send(message.createReply());
        return true;
    }
    if (message.interface() != QLatin1String("org.freedesktop.portal.RemoteDesktop") ||
        arguments.isEmpty())
        return refuse("org.freedesktop.DBus.Error.UnknownMethod");
    if (member == QLatin1String("NotifyKeyboardKeysym")) {
        if (arguments.size() != 4 || !IsSession(arguments[0]))
            return refuse("org.freedesktop.DBus.Error.AccessDenied");
        const TKey key{arguments[2].toInt(), arguments[3].toUInt()};
        if (key.State == 1 && Refused.contains(key.Keysym))
            return refuse("org.freedesktop.DBus.Error.InvalidArgs");
        Keys.push_back(key);
        FBus.send(message.createReply());
        return true;
    }
    const QVariantMap options = MapOf(arguments.back());
    Calls << member;
    Options << options;
    if (member == QLatin1String("CreateSession")) {
        FSession = DesktopPath + QStringLiteral("/session/") + SenderPart(message) + u'/' +
                   options.value(QStringLiteral("session_handle_token")).toString();
        Respond(message, options, 0, {{QStringLiteral("session_handle"), FSession}});
        return true;
    }
    if (!IsSession(arguments[0]))
        return refuse("org.freedesktop.DBus.Error.AccessDenied");
    if (member == QLatin1String("SelectDevices")) {
        Respond(message, options, 0, {});
        return true;
    }
    if (member == QLatin1String("Start")) {
        Respond(message, options, StartResponse, {{QStringLiteral("devices"), uint(1)}});
        return true;
    }
    return refuse("org.freedesktop.DBus.Error.UnknownMethod");
}

void PrintTo(const TStandInPortal::TKey& key, std::ostream* out) {
    *out << "0x" << std::hex << key.Keysym << std::dec << (key.State ? " down" : " up");
}
