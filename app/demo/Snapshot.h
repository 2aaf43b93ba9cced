#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

// For demonstrations without a screen: after a while, saves a picture of the
// window as the screen shows it and the document's text beside it
// (PREFIX.png, PREFIX.txt), and the series panel when it shows
// (PREFIX-series.png), says where on standard output, and ends the program.
class TSnapshot : public QObject {
    Q_OBJECT
public:
    TSnapshot(QWidget& window, QString prefix, int seconds);

    // Writes both files; false when one could not be written.
    bool Take();

private:
    QWidget& FWindow;
    QString FPrefix;
    QTimer FTimer;
};
