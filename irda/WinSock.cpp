#include "irda/WinSock.h"

#include "oskit/Fd.h"
#include "oskit/Folders.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace wsock {
namespace {

constexpr std::array<uint8_t, 6> kIrCOMMParameters = {0x00, 0x01, 0x06, 0x01, 0x01, 0x01};
constexpr std::string_view kIasAttribute = "Parameters";
// The service's socket file: without the colon of the service name, which
// tools that take addresses (socat among them) would split the path at.
constexpr std::string_view kServiceFile = "IrCOMM";
// The name older versions gave it.
constexpr std::string_view kOldServiceFile = "IrDA:IrCOMM";
constexpr uint16_t kHighestVersion = MAKEWORD(2, 2);

thread_local int tLastError = 0;

int Fail(int error) {
    tLastError = error;
    return SOCKET_ERROR;
}

// A fixed-size text field: the text before the first NUL, or the whole field.
template <size_t N> std::string_view Field(const std::array<char, N>& field) {
    return {field.data(), ::strnlen(field.data(), N)};
}

template <size_t N> void SetField(std::array<char, N>& field, std::string_view text) {
    std::copy_n(text.data(), std::min(text.size(), N - 1), field.begin());
}

int ErrorOf(int error) {
    switch (error) {
    case EAGAIN:
        return WSAEWOULDBLOCK;
    case ECONNRESET:
    case EPIPE:
        return WSAECONNRESET;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case ENOTCONN:
        return WSAENOTCONN;
    case EINTR:
        return WSAEINTR;
    default:
        return WSAECONNABORTED;
    }
}

enum class TRole { Fresh, Listening, Peer };

struct TSocket {
    ~TSocket() {
        Notifier.reset();
        // The file goes while the lock is still held, so no other instance
        // ever finds a file of ours it might take for a stale one.
        if (!Path.empty())
            ::unlink(Path.c_str());
    }

    TRole Role = TRole::Fresh;
    oskit::TFd Fd;
    oskit::TFd Lock;  // the service's lock file, held while bound
    std::string Path; // the socket file made by bind
    bool IasSet = false;
    bool NineWire = false;
    bool NonBlocking = false;
    bool Paused = false;      // listening with a backlog of 0
    bool CloseSeen = false;   // the peer's end was reported
    QPointer<QObject> Window; // the asynchronous select's target
    unsigned Msg = 0;
    long Mask = 0;
    std::unique_ptr<QSocketNotifier> Notifier;
};

// One event of a socket on its way to the window, checked on arrival.
class TPendingEvent : public QEvent {
public:
    TPendingEvent(SOCKET socket, long event, int error)
        : QEvent(Type()), Socket(socket), Event(event), Error(error) {}
    static QEvent::Type Type() {
        static const int type = QEvent::registerEventType();
        return static_cast<QEvent::Type>(type);
    }
    SOCKET Socket;
    long Event;
    int Error;
};

// The state behind the calls, from the first start to the last cleanup.
// Events go through it on their way to the window, so one posted before its
// socket was closed is dropped instead of reaching a newer socket's owner.
class TLayer : public QObject {
public:
    TSocket* Find(SOCKET s) {
        const auto found = Sockets.find(s);
        return found == Sockets.end() ? nullptr : found->second.get();
    }
    SOCKET Add(std::unique_ptr<TSocket> socket) {
        const SOCKET handle = Next;
        Next = Next == INT32_MAX ? 1 : Next + 1;
        Sockets.emplace(handle, std::move(socket));
        return handle;
    }
    void Post(SOCKET s, long event, int error = 0) {
        QCoreApplication::postEvent(this, new TPendingEvent(s, event, error));
    }
    void Arm(SOCKET s);
    void Readable(SOCKET s);

    int Starts = 0;
    std::map<SOCKET, std::unique_ptr<TSocket>> Sockets;

protected:
    void customEvent(QEvent* event) override;

private:
    void ListenerReadable(SOCKET s, TSocket& socket);
    void PeerReadable(SOCKET s, TSocket& socket);

    SOCKET Next = 1;
};

std::unique_ptr<TLayer>& Layer() {
    static std::unique_ptr<TLayer> layer;
    return layer;
}

void TLayer::customEvent(QEvent* event) {
    if (event->type() != TPendingEvent::Type())
        return;
    const auto& pending = static_cast<const TPendingEvent&>(*event);
    TSocket* socket = Find(pending.Socket);
    if (socket == nullptr || socket->Window.isNull())
        return;
    TSocketMessage message(socket->Msg, pending.Socket, pending.Event, pending.Error);
    QCoreApplication::sendEvent(socket->Window, &message);
}

// Watches a listening or connected socket that has a window to report to.
void TLayer::Arm(SOCKET s) {
    TSocket* socket = Find(s);
    if (socket == nullptr || socket->Window.isNull() || socket->Mask == 0 ||
        socket->Role == TRole::Fresh || socket->CloseSeen) {
        if (socket != nullptr)
            socket->Notifier.reset();
        return;
    }
    if (!socket->Notifier) {
        socket->Notifier =
            std::make_unique<QSocketNotifier>(socket->Fd.Get(), QSocketNotifier::Read);
        QObject::connect(socket->Notifier.get(), &QSocketNotifier::activated, this,
                         [this, s] { Readable(s); });
    }
    socket->Notifier->setEnabled(true);
}

void TLayer::Readable(SOCKET s) {
    TSocket* socket = Find(s);
    if (socket == nullptr || !socket->Notifier)
        return;
    if (socket->Role == TRole::Listening)
        ListenerReadable(s, *socket);
    else
        PeerReadable(s, *socket);
}

void TLayer::ListenerReadable(SOCKET s, TSocket& socket) {
    if (socket.Paused) {
        // The kernel queues peers whatever the backlog; a paused listener
        // sends them away at once.
        for (int fd; (fd = ::accept4(socket.Fd.Get(), nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
            ::close(fd);
        return;
    }
    // One accept event until the next accept call.
    socket.Notifier->setEnabled(false);
    if ((socket.Mask & FD_ACCEPT) != 0)
        Post(s, FD_ACCEPT);
}

void TLayer::PeerReadable(SOCKET s, TSocket& socket) {
    // One read event until the next recv, which looks again.
    socket.Notifier->setEnabled(false);
    int waiting = 0;
    if (::ioctl(socket.Fd.Get(), FIONREAD, &waiting) == 0 && waiting > 0) {
        if ((socket.Mask & FD_READ) != 0)
            Post(s, FD_READ);
        return;
    }
    // Readable with nothing to read: the peer has gone, after its last data.
    socket.CloseSeen = true;
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(socket.Fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length);
    if ((socket.Mask & FD_CLOSE) != 0)
        Post(s, FD_CLOSE, error == 0 ? 0 : ErrorOf(error));
}

// The socket of a call, or nothing with the call's error set.
TSocket* Lookup(SOCKET s) {
    if (!Layer() || Layer()->Starts == 0) {
        tLastError = WSANOTINITIALISED;
        return nullptr;
    }
    TSocket* socket = Layer()->Find(s);
    if (socket == nullptr)
        tLastError = WSAENOTSOCK;
    return socket;
}

int SetNonBlocking(TSocket& socket, bool on) {
    const int flags = ::fcntl(socket.Fd.Get(), F_GETFL);
    if (flags < 0 ||
        ::fcntl(socket.Fd.Get(), F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) != 0)
        return Fail(WSAEINVAL);
    socket.NonBlocking = on;
    return 0;
}

int SetIas(TSocket& socket, const void* value, int length) {
    if (length != static_cast<int>(sizeof(IAS_SET)))
        return Fail(WSAEFAULT);
    IAS_SET record;
    std::memcpy(&record, value, sizeof record);
    const bool valid =
        Field(record.irdaClassName) == IrCOMMService &&
        Field(record.irdaAttribName) == kIasAttribute &&
        record.irdaAttribType == IAS_ATTRIB_OCTETSEQ && record.Len == kIrCOMMParameters.size() &&
        std::equal(kIrCOMMParameters.begin(), kIrCOMMParameters.end(), record.OctetSeq.begin());
    if (!valid)
        return Fail(WSAEINVAL);
    socket.IasSet = true;
    return 0;
}

// A socket file of an older version goes once no instance of it runs: the
// lock beside it is free. One held, or a file that is not a socket, stays.
void RemoveOldServiceFile(const std::string& folder) {
    const std::string path = folder + "/" + std::string(kOldServiceFile);
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) != 0 || !S_ISSOCK(existing.st_mode))
        return;
    const oskit::TFd lock(::open((path + ".lock").c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    // No lock file: no instance ever held one.
    if (lock.Get() < 0 ? errno != ENOENT : ::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0)
        return;
    ::unlink(path.c_str());
}

// Takes the service's lock and makes its socket file; the error code, or 0.
int BindService(TSocket& socket) {
    const std::string folder = ServiceFolder();
    if (folder.empty())
        return WSAEACCES;
    const std::string path = folder + "/" + std::string(kServiceFile);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return WSAENAMETOOLONG;
    std::copy(path.begin(), path.end(), address.sun_path);

    // The lock tells a live instance from a file left by a crashed one.
    oskit::TFd lock(
        ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (lock.Get() < 0)
        return WSAEACCES;
    if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0)
        return WSAEADDRINUSE;
    RemoveOldServiceFile(folder);
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode))
            return WSAEADDRINUSE; // not ours to remove
        ::unlink(path.c_str());
    }
    if (::bind(socket.Fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return errno == EADDRINUSE ? WSAEADDRINUSE : WSAEACCES;
    // The folder (0700) keeps others out meanwhile.
    ::chmod(path.c_str(), 0600);
    socket.Path = path;
    socket.Lock.Reset(lock.Release());
    return 0;
}

} // namespace

IAS_SET IrCOMMIasRecord() {
    IAS_SET record{};
    SetField(record.irdaClassName, IrCOMMService);
    SetField(record.irdaAttribName, kIasAttribute);
    record.irdaAttribType = IAS_ATTRIB_OCTETSEQ;
    record.Len = kIrCOMMParameters.size();
    std::copy(kIrCOMMParameters.begin(), kIrCOMMParameters.end(), record.OctetSeq.begin());
    return record;
}

SOCKADDR_IRDA IrCOMMAddress() {
    SOCKADDR_IRDA address{};
    address.irdaAddressFamily = AF_IRDA;
    SetField(address.irdaServiceName, IrCOMMService);
    return address;
}

TSocketMessage::TSocketMessage(unsigned msg, SOCKET socket, long event, int error)
    : QEvent(EventType()), Msg(msg), WParam(static_cast<uintptr_t>(socket)),
      LParam(static_cast<intptr_t>((static_cast<uint32_t>(error) << 16) |
                                   (static_cast<uint32_t>(event) & 0xFFFF))) {}

QEvent::Type TSocketMessage::EventType() {
    static const int type = QEvent::registerEventType();
    return static_cast<QEvent::Type>(type);
}

std::string ServiceFolder() {
    return oskit::RuntimeFolder().string();
}

int WSAStartup(uint16_t versionRequested, WSADATA* data) {
    if (data == nullptr)
        return WSAEFAULT;
    const int major = versionRequested & 0xFF;
    const int minor = versionRequested >> 8;
    if (major < 1 || (major == 1 && minor < 1))
        return WSAVERNOTSUPPORTED;
    *data = WSADATA{};
    data->wVersion = major > 2 || (major == 2 && minor > 2) ? kHighestVersion : versionRequested;
    data->wHighVersion = kHighestVersion;
    SetField(data->szDescription, "Brisquell IrCOMM sockets");
    SetField(data->szSystemStatus, "Running");
    if (!Layer())
        Layer() = std::make_unique<TLayer>();
    ++Layer()->Starts;
    return 0;
}

int WSACleanup() {
    if (!Layer() || Layer()->Starts == 0)
        return Fail(WSANOTINITIALISED);
    if (--Layer()->Starts == 0)
        Layer().reset(); // closes every socket left
    return 0;
}

int WSAGetLastError() {
    return tLastError;
}

SOCKET socket(int af, int type, int protocol) {
    if (!Layer() || Layer()->Starts == 0)
        return Fail(WSANOTINITIALISED);
    if (af != AF_IRDA)
        return Fail(WSAEAFNOSUPPORT);
    if (type != SOCK_STREAM)
        return Fail(WSAESOCKTNOSUPPORT);
    if (protocol != 0)
        return Fail(WSAEPROTONOSUPPORT);
    auto created = std::make_unique<TSocket>();
    created->Fd.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (created->Fd.Get() < 0)
        return Fail(WSAEMFILE);
    return Layer()->Add(std::move(created));
}

int setsockopt(SOCKET s, int level, int optname, const void* optval, int optlen) {
    TSocket* socket = Lookup(s);
    if (socket == nullptr)
        return SOCKET_ERROR;
    if (optval == nullptr)
        return Fail(WSAEFAULT);
    if (level != SOL_IRLMP)
        return Fail(WSAEINVAL);
    if (optname == IRLMP_IAS_SET)
        return SetIas(*socket, optval, optlen);
    if (optname == IRLMP_9WIRE_MODE) {
        if (optlen != static_cast<int>(sizeof(int32_t)))
            return Fail(WSAEFAULT);
        int32_t on = 0;
        std::memcpy(&on, optval, sizeof on);
        socket->NineWire = on != 0;
        return 0;
    }
    return Fail(WSAENOPROTOOPT);
}

int bind(SOCKET s, const void* name, int namelen) {
    TSocket* socket = Lookup(s);
    if (socket == nullptr)
        return SOCKET_ERROR;
    if (name == nullptr || namelen != static_cast<int>(sizeof(SOCKADDR_IRDA)))
        return Fail(WSAEFAULT);
    SOCKADDR_IRDA address;
    std::memcpy(&address, name, sizeof address);
    if (address.irdaAddressFamily != AF_IRDA)
        return Fail(WSAEAFNOSUPPORT);
    if (Field(address.irdaServiceName) != IrCOMMService)
        return Fail(WSAEADDRNOTAVAIL);
    if (!socket->Path.empty() || socket->Role != TRole::Fresh)
        return Fail(WSAEINVAL);
    const int error = BindService(*socket);
    return error == 0 ? 0 : Fail(error);
}

int listen(SOCKET s, int backlog) {
    TSocket* socket = Lookup(s);
    if (socket == nullptr)
        return SOCKET_ERROR;
    if (socket->Path.empty() || socket->Role == TRole::Peer)
        return Fail(WSAEINVAL);
    if (socket->Role == TRole::Fresh) {
        if (::listen(socket->Fd.Get(), std::max(backlog, 1)) != 0)
            return Fail(WSAEINVAL);
        socket->Role = TRole::Listening;
    }
    socket->Paused = backlog <= 0;
    Layer()->Arm(s);
    return 0;
}

int WSAAsyncSelect(SOCKET s, QObject* window, unsigned msg, long events) {
    TSocket* socket = Lookup(s);
    if (socket == nullptr)
        return SOCKET_ERROR;
    socket->Window = window;
    socket->Msg = msg;
    socket->Mask = window != nullptr ? events : 0;
    if (SetNonBlocking(*socket, true) != 0)
        return SOCKET_ERROR;
    Layer()->Arm(s);
    return 0;
}

int ioctlsocket(SOCKET s, long cmd, uint32_t* argp) {
    TSocket* socket = Lookup(s);
    if (socket == nullptr)
        return SOCKET_ERROR;
    if (static_cast<uint32_t>(cmd) != FIONBIO)
        return Fail(WSAEINVAL);
    if (argp == nullptr)
        return Fail(WSAEFAULT);
    // A socket that reports to a window stays non-blocking.
    if (*argp == 0 && socket->Mask != 0)
        return Fail(WSAEINVAL);
    return SetNonBlocking(*socket, *argp != 0);
}

SOCKET accept(SOCKET s, void* addr, int* addrlen) {
    TSocket* listener = Lookup(s);
    if (listener == nullptr)
        return INVALID_SOCKET;
    if (listener->Role != TRole::Listening)
        return Fail(WSAEINVAL);
    if (addr != nullptr || addrlen != nullptr)
        return Fail(WSAEFAULT); // an IrDA peer's address is not known here
    int fd;
    do
        fd = ::accept4(listener->Fd.Get(), nullptr, nullptr,
                       SOCK_CLOEXEC | (listener->NonBlocking ? SOCK_NONBLOCK : 0));
    while (fd < 0 && errno == EINTR);
    const int error = errno;
    // Another accept event comes while peers are still waiting.
    Layer()->Arm(s);
    if (fd < 0)
        return Fail(ErrorOf(error));
    auto peer = std::make_unique<TSocket>();
    peer->Fd.Reset(fd);
    peer->Role = TRole::Peer;
    peer->NonBlocking = listener->NonBlocking;
    peer->Window = listener->Window;
    peer->Msg = listener->Msg;
    peer->Mask = listener->Mask;
    const SOCKET handle = Layer()->Add(std::move(peer));
    Layer()->Arm(handle);
    return handle;
}

int recv(SOCKET s, char* buf, int len, int flags) {
    TSocket* socket = Lookup(s);
    if (socket == nullptr)
        return SOCKET_ERROR;
    if (socket->Role != TRole::Peer)
        return Fail(WSAENOTCONN);
    if (buf == nullptr || len < 0)
        return Fail(WSAEFAULT);
    if (flags != 0)
        return Fail(WSAEOPNOTSUPP);
    ssize_t n;
    do
        n = ::recv(socket->Fd.Get(), buf, static_cast<size_t>(len),
                   socket->NonBlocking ? MSG_DONTWAIT : 0);
    while (n < 0 && errno == EINTR);
    const int error = errno;
    // Looks again: data left gives the next read event, an end the close.
    Layer()->Arm(s);
    if (n < 0)
        return Fail(ErrorOf(error));
    return static_cast<int>(n);
}

int closesocket(SOCKET s) {
    if (Lookup(s) == nullptr)
        return SOCKET_ERROR;
    Layer()->Sockets.erase(s);
    return 0;
}

} // namespace wsock
