#pragma once

#include "irda/WinSock.h"

#include <QByteArrayView>
#include <QObject>

#include <functional>

// The infrared listener: offers the IrCOMM service from the window's creation
// to its destruction, whatever instrument is chosen, accepts one peer at a
// time (a new one replaces the old, once what the old one sent is taken) and
// hands what the peer sends to its owner in chunks of at most ChunkSize
// bytes. The socket events go to the window as message Message; the window
// passes their lParam to Event.
class TIrDAListener : public QObject {
    Q_OBJECT
    Q_PROPERTY(int ListenSocket READ ListenSocket)
    Q_PROPERTY(int PeerSocket READ PeerSocket)
    Q_PROPERTY(bool IrDAPeerConnected READ PeerConnected)
public:
    static constexpr unsigned Message = wsock::WM_USER + 1;
    static constexpr int ChunkSize = 101;
    static constexpr int Backlog = 2;
    // At most this much of a replaced peer's data is still handed over: more
    // than its socket holds.
    static constexpr int DrainLimit = 1 << 20;

    struct TSink {
        std::function<void(QByteArrayView chunk)> Received;
        std::function<void()> PeerChanged; // connected or gone
    };

    explicit TIrDAListener(TSink sink, QObject* parent = nullptr);
    ~TIrDAListener() override;
    TIrDAListener(const TIrDAListener&) = delete;
    TIrDAListener& operator=(const TIrDAListener&) = delete;

    // The set-up; true when listening. A failing step ends it silently and
    // leaves a socket already made open until Close.
    bool Open(QObject* window);
    // One socket event, the message's whole lParam: an event that carries an
    // error code matches none and is ignored.
    void Event(intptr_t lParam);
    // Pause (0: new peers are refused) and resume (Backlog); only when ready.
    void Listen(int backlog);
    // Closes both sockets (shut-down).
    void Close();

    bool Ready() const { return FReady; }
    wsock::SOCKET ListenSocket() const { return FListenSocket; }
    wsock::SOCKET PeerSocket() const { return FPeerSocket; }
    bool PeerConnected() const { return FPeerConnected; }

private:
    // One recv from the peer, handed over; its result.
    int Read();
    void DrainPeer();
    void Accept();
    void PeerClosed();

    TSink FSink;
    wsock::WSADATA FData;
    wsock::SOCKET FListenSocket = 0;
    wsock::SOCKET FPeerSocket = 0;
    bool FPeerConnected = false;
    bool FReady = false;
};
