#include "irda/wsocket.h"

#include "irda/WinSock.h"

#include <QLoggingCategory>

// The socket layer's diagnostics: off unless asked for, e.g. with
// QT_LOGGING_RULES="brisquell.irda.debug=true".
Q_LOGGING_CATEGORY(IrdaLog, "brisquell.irda", QtWarningMsg)

void WSocketModuleStart() {
    wsock::WSADATA data;
    if (wsock::WSAStartup(wsock::MAKEWORD(1, 1), &data) != 0)
        throw ESocketError("WSAStartup");
    qCDebug(IrdaLog, "wsocket: sockets started, version %d.%d", data.wVersion & 0xFF,
            data.wVersion >> 8);
}

void WSocketModuleEnd() {
    if (wsock::WSACleanup() != 0)
        throw ESocketError("WSACleanup");
}
