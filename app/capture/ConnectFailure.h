#pragma once

#include <QString>

// Who owns a device file, and who runs the program: what a user needs to be
// given access to a port.
struct TDeviceAccess {
    QString Group; // the device's group, e.g. "dialout"
    QString User;  // the user running the program
};

TDeviceAccess DeviceAccess(const QString& devicePath);

// Why a connect to a port failed, in plain words for panel 0's tooltip:
// error is the errno of the failed open.
QString ConnectFailureText(int error, const QString& portName, const QString& devicePath,
                           const TDeviceAccess& access);
