#include "irda/IrDAListener.h"

#include <array>

using namespace wsock;

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
    if (WSAStartup(MAKEWORD(2, 0), &FData) != 0)
        return false;
    FListenSocket = socket(AF_IRDA, SOCK_STREAM, 0);
    if (FListenSocket == INVALID_SOCKET)
        return false;
    const IAS_SET record = IrCOMMIasRecord();
    if (setsockopt(FListenSocket, SOL_IRLMP, IRLMP_IAS_SET, &record, sizeof record) != 0)
        return false;
    const int32_t nineWire = 1;
    if (setsockopt(FListenSocket, SOL_IRLMP, IRLMP_9WIRE_MODE, &nineWire, sizeof nineWire) != 0)
        return false;
    const SOCKADDR_IRDA address = IrCOMMAddress();
    if (bind(FListenSocket, &address, sizeof address) != 0)
        return false;
    if (listen(FListenSocket, Backlog) != 0)
        return false;
    if (WSAAsyncSelect(FListenSocket, window, Message, FD_READ | FD_ACCEPT | FD_CLOSE) != 0)
        return false;
    uint32_t nonBlocking = 1;
    if (ioctlsocket(FListenSocket, FIONBIO, &nonBlocking) != 0)
        return false;
    FReady = true;
    return true;
}

void TIrDAListener::Event(intptr_t lParam) {
    switch (lParam) {
    case FD_READ:
        Read();
        break;
    case FD_ACCEPT:
        Accept();
        break;
    case FD_CLOSE:
        PeerClosed();
        break;
    default:
        break;
    }
}

// One recv per event; the layer posts another while data remains.
void TIrDAListener::Read() {
    std::array<char, ChunkSize + 1> buffer{};
    const int n = recv(FPeerSocket, buffer.data(), ChunkSize, 0);
    if (n > 0 && FSink.Received)
        FSink.Received(QByteArrayView(buffer.data(), n));
}

void TIrDAListener::Accept() {
    const bool replacing = FPeerSocket > 0;
    if (replacing)
        closesocket(FPeerSocket);
    FPeerSocket = accept(FListenSocket, nullptr, nullptr);
    if (FPeerSocket > 0) {
        FPeerConnected = true;
        uint32_t nonBlocking = 1;
        ioctlsocket(FPeerSocket, FIONBIO, &nonBlocking);
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
        closesocket(FPeerSocket);
    FPeerSocket = 0;
    FPeerConnected = false;
    if (FSink.PeerChanged)
        FSink.PeerChanged();
}

void TIrDAListener::Listen(int backlog) {
    if (FReady)
        listen(FListenSocket, backlog);
}

void TIrDAListener::Close() {
    if (FListenSocket > 0)
        closesocket(FListenSocket);
    if (FPeerSocket > 0)
        closesocket(FPeerSocket);
    FListenSocket = 0;
    FPeerSocket = 0;
    FPeerConnected = false;
    FReady = false;
}
