// The status bar and the instrument profile choice.
#include "app/TMainScreen.h"

#include "app/ImageList.h"
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

} // namespace

void TMainScreen::RefreshStatusBar() {
    const int device = Settings.Device;
    SetText(StatusPanels[0], State.Connected ? Translated("Verbunden...") : Translated("Getrennt"));
    const int icon = State.Connected ? 1 : 0;
    if (StatusIcon->property("StateIcon").toInt() != icon || StatusIcon->pixmap().isNull()) {
        StatusIcon->setPixmap(StatusImageList->Image(icon).pixmap(16, 16));
        StatusIcon->setProperty("StateIcon", icon);
        StatusIcon->setAccessibleDescription(StatusPanels[0]->text());
    }
    QString link;
    if (device == 9)
        link = QStringLiteral("IrDA");
    else if (device == 2)
        link = QStringLiteral("USB");
    else
        link = Settings.Port == 0 ? QStringLiteral("Com--")
                                  : QStringLiteral("Com%1").arg(Settings.Port);
    SetText(StatusPanels[1], link);
    SetText(StatusPanels[2], device == 9 || device == 2
                                 ? QString()
                                 : QStringLiteral("%1 Baud").arg(Serial1->Baudrate()));
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
    State.EchoBack = Settings.Device == 6;
    RefreshStatusBar();
}
