#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

class QMenu;

// For demonstrations: chooses the given instrument profiles one after the
// other from the Device menu, as a user's clicks would, one every interval.
class TProfileTour : public QObject {
    Q_OBJECT
public:
    TProfileTour(QMenu& deviceMenu, QList<int> tags, int seconds);

private:
    void Next();

    QMenu& FDeviceMenu;
    QList<int> FTags;
    QTimer FTimer;
};
