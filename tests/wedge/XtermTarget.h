#pragma once

#include "tests/support/ChildProcess.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// Another program to type into: an xterm on the X server of DISPLAY whose
// shell writes what it is typed into a file, given the keyboard focus as a
// click would give it.
class TXtermTarget {
public:
    TXtermTarget();
    // Ends the xterm.
    ~TXtermTarget();
    TXtermTarget(const TXtermTarget&) = delete;
    TXtermTarget& operator=(const TXtermTarget&) = delete;

    // Empty when the xterm runs and has the focus, else what went wrong.
    const QString& Failure() const { return FFailure; }
    // Gives the xterm the focus again, as a click would; false when it cannot.
    bool Focus() const;
    // What the xterm was typed so far (each line once Enter ended it).
    QByteArray Typed() const;
    qint64 TypedSize() const;

    // The server's whole keyboard map, as `xmodmap -pke` prints it.
    static QByteArray KeyboardMap();

private:
    QTemporaryDir FFolder;
    QString FFile;
    std::unique_ptr<TChildProcess> FXterm;
    QString FFailure;
    unsigned long FWindow = 0;
};
