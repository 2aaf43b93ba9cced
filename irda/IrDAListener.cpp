#include "irda/IrDAListener.h"

#include <array>

namespace ws = wsock;

TIrDAListener::TIrDAListener(TSink sink, QObject* parent)
    : QObject(parent), FSink(std::move(sink)) {
    setObjectName(QStringLiteral("IrDAListener"));
}

TIrDAListener::~TIrDAListener() {
    Close();
}

bool TIrDAListener::Open(QObject* window) {
    // This start is never matched: the socket module ends the sockets once
    // at program end.
    if (ws::WSAStartup(ws::MAKEWORD(2, 0), &FData) != 0)
        return false;
    FListenSocket = ws::socket(ws::AF_IRDA, ws::SOCK_STREAM, 0);
    if (FListenSocket == ws::INVALID_SOCKET)
        return false;
    const ws::IAS_SET record = ws::IrCOMMIasRecord();
    if (ws::setsockopt(FListenSocket, ws::SOL_IRLMP, ws::IRLMP_IAS_SET, &record, sizeof record) !=
        0)
        return false;
    const int32_t nineWire = 1;
    if (ws::setsockopt(FListenSocket, ws::SOL_IRLMP, ws::IRLMP_9WIRE_MODE, &nineWire,
                       sizeof nineWire) != 0)
        return false;
    const ws::SOCKADDR_IRDA address = ws::IrCOMMAddress();
    if (ws::bind(FListenSocket, &address, sizeof address) != 0)
        return false;
    if (ws::listen(FListenSocket, Backlog) != 0)
        return false;
    if (ws::WSAAsyncSelect(FListenSocket, window, Message,
                           ws::FD_READ | ws::FD_ACCEPT | ws::FD_CLOSE) != 0)
        return false;
    uint32_t nonBlocking = 1;
    if (ws::ioctlsocket(FListenSocket, ws::FIONBIO, &nonBlocking) != 0)
        return false;
    FReady = true;
    return true;
}

void TIrDAListener::Event(intptr_t lParam) {
    switch (lParam) {
    case ws::FD_READ:
        Read();
        break;
    case ws::FD_ACCEPT:
        Accept();
        break;
    case ws::FD_CLOSE:
        PeerClosed();
        break;
    default:
        break;
    }
}

// One recv per event; the layer posts another while data remains.
int TIrDAListener::Read() {
    std::array<char, ChunkSize + 1> buffer{};
    const int n = ws::recv(FPeerSocket, buffer.data(), ChunkSize, 0);
    if (n > 0 && FSink.Received)
        FSink.Received(QByteArrayView(buffer.data(), n));
    return n;
}

// A gauge that sent its reading just before the next one arrived is replaced
// before the read events of that reading come: what it sent is taken first.
// Bounded, so a peer that keeps sending cannot hold the window.
void TIrDAListener::DrainPeer() {
    for (int taken = 0; taken < DrainLimit;) {
        const int n = Read();
        if (n <= 0)
            return;
        taken += n;
    }
}

void TIrDAListener::Accept() {
    const bool replacing = FPeerSocket > 0;
    if (replacing) {
        DrainPeer();
        ws::closesocket(FPeerSocket);
    }
    FPeerSocket = ws::accept(FListenSocket, nullptr, nullptr);
    if (FPeerSocket > 0) {
        FPeerConnected = true;
        uint32_t nonBlocking = 1;
        ws::ioctlsocket(FPeerSocket, ws::FIONBIO, &nonBlocking);
    } else if (replacing) {
        // The old peer is gone all the same; saying "connected" would lie.
        FPeerConnected = false;
    } else {
        return;
    }
    if (FSink.PeerChanged)
        FSink.PeerChanged();
}

void TIrDAListener::PeerClosed() {
    if (FPeerSocket > 0)
        ws::closesocket(FPeerSocket);
    FPeerSocket = 0;
    FPeerConnected = false;
    if (FSink.PeerChanged)
        FSink.PeerChanged();
}

void TIrDAListener::Listen(int backlog) {
    if (FReady)
        ws::listen(FListenSocket, backlog);
}

void TIrDAListener::Close() {
    if (FListenSocket > 0)
        ws::closesocket(FListenSocket);
    if (FPeerSocket > 0)
        ws::closesocket(FPeerSocket);
    FListenSocket = 0;
    FPeerSocket = 0;
    FPeerConnected = false;
    FReady = false;
}
