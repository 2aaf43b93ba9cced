#pragma once

#include <QString>

class TIrDAListener;
class TSerial;

// One of the program's links (serial port, USB converter, infrared
// listener) as the connection control drives it.
class TLink {
public:
    virtual ~TLink() = default;
    // True when the link is connected afterwards.
    virtual bool Connect() = 0;
    virtual void Disconnect() = 0;
    // Around modal work. What a pause does is the link's own: the serial
    // port lets go of its device and takes it up again; the USB converter
    // stays open (its readings keep arriving); the infrared listener keeps
    // its peer and refuses new ones.
    virtual void Pause() = 0;
    // False when the link could not be taken up again (its device vanished).
    virtual bool Resume() = 0;
    // After a failed Connect: why, in plain words; empty when unknown.
    virtual QString FailureNote() const { return {}; }
};

// The design values of the window's serial component (9600 baud, 8N1, no
// handshake, event character CR, events handled on the main thread).
void ApplyDesignValues(TSerial& serial);

// Whether a port opens now, tried as the start-up scan tries it, but on a
// component of its own: the window's may be connected to another port.
bool PortOpens(int port);

// The serial port: connected while it is open.
class TSerialLink : public TLink {
public:
    explicit TSerialLink(TSerial& serial) : FSerial(serial) {}

    bool Connect() override;
    void Disconnect() override;
    void Pause() override;
    bool Resume() override;
    QString FailureNote() const override;

private:
    TSerial& FSerial;
};

// The infrared profile's link: connecting only lets the listener's data
// through, since the listener runs from start to end; pausing refuses new
// peers.
class TInfraredLink : public TLink {
public:
    explicit TInfraredLink(TIrDAListener& listener) : FListener(listener) {}

    bool Connect() override;
    void Disconnect() override {} // the listener and its peer stay
    void Pause() override;
    bool Resume() override;

private:
    TIrDAListener& FListener;
};
