#pragma once

// A peer of the infrared listener's IrCOMM service socket, as an IrDA
// bridge is: it connects to the socket file in the runtime folder and sends
// raw bytes, with no line protocol in between.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstddef>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class TServicePeer {
public:
    TServicePeer() : FFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path =
            QFile::encodeName(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/Brisquell/IrCOMM");
        if (FFd < 0 || path.size() >= static_cast<qsizetype>(sizeof address.sun_path))
            return;
        std::copy(path.begin(), path.end(), address.sun_path);
        Connected =
            ::connect(FFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~TServicePeer() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TServicePeer(const TServicePeer&) = delete;
    TServicePeer& operator=(const TServicePeer&) = delete;

    // All of the bytes, waiting while the socket is full.
    void Send(const char* bytes, std::size_t count) const {
        for (std::size_t sent = 0; sent < count;) {
            const ssize_t n = ::write(FFd, bytes + sent, count - sent);
            if (n <= 0)
                return;
            sent += static_cast<std::size_t>(n);
        }
    }

    bool Connected = false;

private:
    int FFd;
};
