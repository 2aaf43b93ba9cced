#include "wedge/PortalTyper.h"

#include "wedge/Keysyms.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFileInfo>

namespace wedge {

namespace {

const QString Service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString DesktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString RemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString SessionInterface = QStringLiteral("org.freedesktop.portal.Session");
constexpr uint KeyboardDevice = 1;
// Calls that the portal answers at once (the user is asked later, through
// the Request's Response).
constexpr int CallTimeoutMs = 5000;
// Closing waits less: the queue's owner may be waiting for it at exit.
constexpr int CloseTimeoutMs = 1000;

// The session bus from the environment; without an address, the bus in the
// runtime folder. Never an auto-launched one: that would start a bus for
// a session that has none.
QDBusConnection ConnectToSessionBus(const QString& name) {
    QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        const QString socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") || !QFileInfo::exists(socket))
            return QDBusConnection(name);
        address = QStringLiteral("unix:path=") + socket;
    }
    return QDBusConnection::connectToBus(address, name);
}

QString PathOf(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>())
        return qvariant_cast<QDBusObjectPath>(value).path();
    return value.toString();
}

bool MeansSessionGone(const QString& error) {
    static const QStringList gone = {
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
        QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
    };
    return gone.contains(error);
}

bool MeansInvalidArgument(const QString& error) {
    return error == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs") ||
           error == QLatin1String("org.freedesktop.portal.Error.InvalidArgument");
}

} // namespace

TPortalTyper::TPortalTyper()
    : FName(QStringLiteral("brisquell-typing-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)),
      FBus(ConnectToSessionBus(FName)) {}

TPortalTyper::~TPortalTyper() {
    StopListening();
    // A question still open is withdrawn, a session ended: the desktop
    // then stops showing that something types for us.
    if (FBus.isConnected()) {
        const QString open = !FRequest.isEmpty() ? FRequest : FSession;
        const QString interface = !FRequest.isEmpty() ? RequestInterface : SessionInterface;
        if (!open.isEmpty())
            FBus.call(
                QDBusMessage::createMethodCall(Service, open, interface, QStringLiteral("Close")),
                QDBus::Block, CallTimeoutMs);
    }
    QDBusConnection::disconnectFromBus(FName);
}

void TPortalTyper::Open() {
    if (!FBus.isConnected()) {
        Opened(TWedgeReport{TWedgeReason::Unavailable, QStringLiteral("no D-Bus session bus")});
        return;
    }
    QDBusMessage version = QDBusMessage::createMethodCall(
        Service, DesktopPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    version << RemoteDesktop << QStringLiteral("version");
    const QDBusMessage reply = FBus.call(version, QDBus::Block, CallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        Opened(TWedgeReport{TWedgeReason::Unavailable,
                            QStringLiteral("no remote desktop portal: ") + reply.errorMessage()});
        return;
    }
    Request(TStep::CreateSession, QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), QStringLiteral("brisquell")}});
}

bool TPortalTyper::Request(TStep step, const QString& method, QList<QVariant> arguments,
                           QVariantMap options) {
    // The answer can come before the call returns: listen on the object the
    // portal will use (named after our connection and a token of ours).
    const QString token = QStringLiteral("brisquell%1").arg(++FTokens);
    QString sender = FBus.baseService().mid(1);
    sender.replace(u'.', u'_');
    FStep = step;
    FRequest = DesktopPath + QStringLiteral("/request/") + sender + u'/' + token;
    FBus.connect(Service, FRequest, RequestInterface, QStringLiteral("Response"), this,
                 SLOT(OnResponse(uint, QVariantMap)));
    options.insert(QStringLiteral("handle_token"), token);
    arguments << options;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, DesktopPath, RemoteDesktop, method);
    call.setArguments(arguments);
    const QDBusMessage reply = FBus.call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        StopListening();
        Fail({TWedgeReason::Failed, method + QStringLiteral(": ") + reply.errorMessage()});
        return false;
    }
    // An older portal names the object itself.
    if (const QString named = PathOf(reply.arguments().constFirst()); named != FRequest) {
        StopListening();
        FRequest = named;
        FBus.connect(Service, FRequest, RequestInterface, QStringLiteral("Response"), this,
                     SLOT(OnResponse(uint, QVariantMap)));
    }
    return true;
}

void TPortalTyper::StopListening() {
    if (FRequest.isEmpty())
        return;
    FBus.disconnect(Service, FRequest, RequestInterface, QStringLiteral("Response"), this,
                    SLOT(OnResponse(uint, QVariantMap)));
    FRequest.clear();
}

void TPortalTyper::Fail(const TWedgeReport& report) {
    if (FStarted) {
        FStarted = false;
        Lost(report);
    } else {
        Opened(report);
    }
}

void TPortalTyper::OnResponse(uint response, const QVariantMap& results) {
    StopListening();
    if (response == 1) {
        Fail({TWedgeReason::PermissionDenied, QStringLiteral("declined")});
        return;
    }
    if (response != 0) {
        Fail({TWedgeReason::PermissionDenied, QStringLiteral("refused by the desktop")});
        return;
    }
    const QVariantMap none;
    switch (FStep) {
    case TStep::CreateSession:
        FSession = PathOf(results.value(QStringLiteral("session_handle")));
        FBus.connect(Service, FSession, SessionInterface, QStringLiteral("Closed"), this,
                     SLOT(OnClosed(QVariantMap)));
        Request(TStep::SelectDevices, QStringLiteral("SelectDevices"),
                {QVariant::fromValue(QDBusObjectPath(FSession))},
                {{QStringLiteral("types"), KeyboardDevice}});
        break;
    case TStep::SelectDevices:
        Request(TStep::Start, QStringLiteral("Start"),
                {QVariant::fromValue(QDBusObjectPath(FSession)), QString()}, {});
        break;
    case TStep::Start:
        if ((results.value(QStringLiteral("devices")).toUInt() & KeyboardDevice) == 0) {
            Fail({TWedgeReason::PermissionDenied, QStringLiteral("no keyboard granted")});
            return;
        }
        FStarted = true;
        Opened(std::nullopt);
        break;
    }
}

void TPortalTyper::OnClosed(const QVariantMap&) {
    FBus.disconnect(Service, FSession, SessionInterface, QStringLiteral("Closed"), this,
                    SLOT(OnClosed(QVariantMap)));
    FSession.clear();
    Fail({TWedgeReason::SessionEnded, QStringLiteral("closed by the desktop")});
}

std::optional<std::pair<QString, QString>> TPortalTyper::Key(quint32 keysym, bool pressed) {
    QDBusMessage call = QDBusMessage::createMethodCall(Service, DesktopPath, RemoteDesktop,
                                                       QStringLiteral("NotifyKeyboardKeysym"));
    call << QVariant::fromValue(QDBusObjectPath(FSession)) << QVariantMap()
         << static_cast<qint32>(keysym) << static_cast<uint>(pressed ? 1 : 0);
    const QDBusMessage reply = FBus.call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return std::nullopt;
    return std::pair{reply.errorName(), reply.errorMessage()};
}

std::optional<TWedgeReport> TPortalTyper::Type(const TKeystrokes& keystrokes) {
    if (!FStarted || FSession.isEmpty())
        return TWedgeReport{TWedgeReason::SessionEnded, QStringLiteral("no session")};
    const std::u32string characters = CodePoints(keystrokes.Text);
    for (const char32_t character : characters)
        if (FUntypable.contains(character))
            return TWedgeReport{TWedgeReason::UntypableCharacter, CharacterName(character)};
    std::vector<std::pair<quint32, char32_t>> keys;
    for (const char32_t character : characters)
        keys.emplace_back(KeysymOf(character), character);
    if (const TKeysym key = KeysymOf(keystrokes.Key); key != NoKeysym)
        keys.emplace_back(key, U'\0');
    for (const auto& [keysym, character] : keys) {
        for (const bool pressed : {true, false}) {
            const auto error = Key(keysym, pressed);
            if (!error)
                continue;
            if (character != U'\0' && pressed && MeansInvalidArgument(error->first)) {
                FUntypable.insert(character);
                return TWedgeReport{TWedgeReason::UntypableCharacter, CharacterName(character)};
            }
            FStarted = false;
            if (MeansSessionGone(error->first))
                return TWedgeReport{TWedgeReason::SessionEnded, error->second};
            return TWedgeReport{TWedgeReason::Failed, error->second};
        }
    }
    return std::nullopt;
}

} // namespace wedge
