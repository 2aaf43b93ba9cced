#include "app/demo/ProfileTour.h"

#include <QAction>
#include <QMenu>

TProfileTour::TProfileTour(QMenu& deviceMenu, QList<int> tags, int seconds)
    : FDeviceMenu(deviceMenu), FTags(std::move(tags)) {
    FTimer.setInterval(seconds * 1000);
    connect(&FTimer, &QTimer::timeout, this, &TProfileTour::Next);
    FTimer.start();
}

void TProfileTour::Next() {
    if (FTags.isEmpty()) {
        FTimer.stop();
        return;
    }
    const int tag = FTags.takeFirst();
    for (QAction* item : FDeviceMenu.actions())
        if (!item->isSeparator() && item->property("Tag").toInt() == tag) {
            item->trigger();
            return;
        }
}
