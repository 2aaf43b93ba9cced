#pragma once

// The socket calls of the infrared listener, with the calls, values and
// records of the Windows socket interface. Linux has no IrDA stack: the
// IrCOMM service offered here is a Unix-domain stream socket "IrCOMM" in the
// user's runtime folder, which an IrDA bridge or the gauge simulator connects
// to. Main thread only.

#include <QEvent>
#include <QPointer>

#include <array>
#include <cstdint>
#include <string_view>

// Linux names its own IrDA family number and its non-blocking request like
// the values here: taken out, so every user of this header gets these.
#include <sys/ioctl.h>
#include <sys/socket.h>
#undef AF_IRDA
#undef FIONBIO

class QObject;

namespace wsock {

// A socket handle; valid only when greater than 0.
using SOCKET = int32_t;
inline constexpr SOCKET INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;

inline constexpr int AF_IRDA = 26;
inline constexpr int SOCK_STREAM = 1;
inline constexpr int SOL_IRLMP = 255;
inline constexpr int IRLMP_IAS_SET = 17;
inline constexpr int IRLMP_9WIRE_MODE = 22;
inline constexpr uint32_t IAS_ATTRIB_OCTETSEQ = 2;
inline constexpr uint32_t FIONBIO = 0x8004667E;

// Event codes of the asynchronous select; an error rides in the high word.
inline constexpr long FD_READ = 1;
inline constexpr long FD_ACCEPT = 8;
inline constexpr long FD_CLOSE = 32;

inline constexpr unsigned WM_USER = 0x0400;

// Error codes (WSAGetLastError).
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAENOPROTOOPT = 10042;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAENAMETOOLONG = 10063;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;

inline constexpr uint16_t MAKEWORD(uint8_t low, uint8_t high) {
    return static_cast<uint16_t>(low | (high << 8));
}

struct WSADATA {
    uint16_t wVersion = 0;
    uint16_t wHighVersion = 0;
    std::array<char, 257> szDescription{};
    std::array<char, 129> szSystemStatus{};
};

// The IAS record (IAS_SET) as the stack takes it, 1352 bytes.
struct IAS_SET {
    std::array<char, 64> irdaClassName;
    std::array<char, 256> irdaAttribName;
    uint32_t irdaAttribType;
    uint16_t Len; // of the octet sequence
    std::array<uint8_t, 1024> OctetSeq;
    std::array<uint8_t, 2> padding; // to the record's 4-byte alignment
};
static_assert(sizeof(IAS_SET) == 1352);

// The IrDA socket address (SOCKADDR_IRDA), 32 bytes.
struct SOCKADDR_IRDA {
    uint16_t irdaAddressFamily;
    std::array<uint8_t, 4> irdaDeviceID;
    std::array<char, 25> irdaServiceName;
    uint8_t padding;
};
static_assert(sizeof(SOCKADDR_IRDA) == 32);

// The one service this layer offers.
inline constexpr std::string_view IrCOMMService = "IrDA:IrCOMM";

// The IAS record announcing the IrCOMM service: class "IrDA:IrCOMM",
// attribute "Parameters", the parameter triples service type 3-wire cooked
// and 9-wire, port type serial.
IAS_SET IrCOMMIasRecord();
// The address of the IrCOMM service: family AF_IRDA, any device.
SOCKADDR_IRDA IrCOMMAddress();

// The message the asynchronous select posts to its window.
class TSocketMessage : public QEvent {
public:
    TSocketMessage(unsigned msg, SOCKET socket, long event, int error);
    // The event type of every socket message.
    static QEvent::Type EventType();

    unsigned Msg;
    uintptr_t WParam; // the socket
    intptr_t LParam;  // event code in the low word, error code in the high word
};

// The folder of the service socket: $XDG_RUNTIME_DIR/Brisquell when that is
// an absolute path, else /tmp/brisquell-<uid>. Empty when it cannot be made
// or is not the user's own with mode 0700.
std::string ServiceFolder();

int WSAStartup(uint16_t versionRequested, WSADATA* data);
int WSACleanup();
int WSAGetLastError();

SOCKET socket(int af, int type, int protocol);
int setsockopt(SOCKET s, int level, int optname, const void* optval, int optlen);
int bind(SOCKET s, const void* name, int namelen);
// A backlog of 0 pauses the listener: new peers are refused until a later
// listen with a backlog above 0.
int listen(SOCKET s, int backlog);
// Posts msg to window for the events in mask; the socket turns non-blocking,
// and sockets accepted from it inherit window, msg and mask. A read event is
// posted again after each recv while data remains; the close event comes
// after the data that came before it. Events of a socket closed meanwhile
// are not delivered.
int WSAAsyncSelect(SOCKET s, QObject* window, unsigned msg, long events);
int ioctlsocket(SOCKET s, long cmd, uint32_t* argp);
SOCKET accept(SOCKET s, void* addr, int* addrlen);
int recv(SOCKET s, char* buf, int len, int flags);
int closesocket(SOCKET s);

} // namespace wsock
