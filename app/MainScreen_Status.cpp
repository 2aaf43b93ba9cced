// The status bar and the instrument profile choice.
#include "app/TMainScreen.h"

#include "app/ImageList.h"
#include "app/Profiles.h"
#include "app/Texts.h"
#include "serial/TSerial.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

namespace {

void SetText(QLabel* label, const QString& text) {
    // Touch a panel only when its text changes: this runs once per received byte.
    if (label->text() != text)
        label->setText(text);
}

QString LinkText(TLinkKind link, int port) {
    switch (link) {
    case TLinkKind::Infrared:
        return QStringLiteral("IrDA");
    case TLinkKind::Usb:
        return QStringLiteral("USB");
    case TLinkKind::Serial:
        break;
    }
    return port == 0 ? QStringLiteral("Com--") : QStringLiteral("Com%1").arg(port);
}

} // namespace

void TMainScreen::RefreshStatusBar() {
    const TLinkKind link = ProfileFor(Settings.Device).Link;
    SetText(StatusPanels[0], State.Connected ? Translated("Verbunden...") : Translated("Getrennt"));
    const int icon = State.Connected ? 1 : 0;
    if (StatusIcon->property("StateIcon").toInt() != icon || StatusIcon->pixmap().isNull()) {
        StatusIcon->setPixmap(StatusImageList->Image(icon).pixmap(16, 16));
        StatusIcon->setProperty("StateIcon", icon);
        StatusIcon->setAccessibleDescription(StatusPanels[0]->text());
    }
    SetText(StatusPanels[1], LinkText(link, Settings.Port));
    SetText(StatusPanels[2], link == TLinkKind::Serial
                                 ? QStringLiteral("%1 Baud").arg(Serial1->Baudrate())
                                 : QString());
    const QList<QAction*> items = Device1->actions();
    const int index = State.DeviceMenuIndex;
    SetText(StatusPanels[3], index >= 0 && index < items.size() ? items[index]->text() : QString());
}

void TMainScreen::SetupDevice(QObject* Sender) {
    auto* item = qobject_cast<QAction*>(Sender);
    if (item == nullptr)
        return;
    const int tag = item->property("Tag").toInt();
    if (tag != Settings.Device) {
        State.DeviceMenuIndex = static_cast<int>(Device1->actions().indexOf(item));
        Settings.Device = tag;
    }
    State.EchoBack = ProfileFor(Settings.Device).Echo;
    RefreshStatusBar();
}
