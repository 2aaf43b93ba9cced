#include "irda/wsocket.h"

#include "irda/WinSock.h"

#include <QDebug>

void WSocketModuleStart() {
    wsock::WSADATA data;
    if (wsock::WSAStartup(wsock::MAKEWORD(1, 1), &data) != 0)
        throw ESocketError("WSAStartup");
    qDebug("wsocket: sockets started, version %d.%d", data.wVersion & 0xFF, data.wVersion >> 8);
}

void WSocketModuleEnd() {
    if (wsock::WSACleanup() != 0)
        throw ESocketError("WSACleanup");
}
