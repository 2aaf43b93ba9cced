#include "app/window/PortMenu.h"

#include "serial/TCOMManager.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <set>

TPortMenu::TPortMenu(QMenu& menu, QActionGroup& group, QObject& owner,
                     std::function<void(QAction*)> chosen)
    : FMenu(menu), FGroup(group), FOwner(owner), FChosen(std::move(chosen)) {}

QList<QAction*> TPortMenu::Items() const {
    return FMenu.actions().mid(FirstComItem);
}

QAction* TPortMenu::Make(int port) {
    const QString name = QStringLiteral("COM%1").arg(port);
    auto* item = new QAction(name, &FOwner);
    item->setObjectName(name);
    item->setProperty("Tag", port);
    item->setCheckable(true);
    item->setProperty("gnugettextIgnore", QStringList{QStringLiteral("*")}); // not a design text
    FGroup.addAction(item);
    QObject::connect(item, &QAction::triggered, &FOwner, [this, item] { FChosen(item); });
    return item;
}

QAction* TPortMenu::Append(int port) {
    QAction* item = Make(port);
    FMenu.addAction(item);
    return item;
}

bool TPortMenu::Follow(const TCOMManager& manager, int highest, int chosen, bool serial,
                       const std::function<bool(int port)>& opens) {
    std::set<int> listed;
    for (QAction* item : Items()) {
        const int port = item->property("Tag").toInt();
        if (manager.HasPort(port) || port == chosen)
            listed.insert(port);
        else
            delete item;
    }
    bool added = false;
    for (int i = 0; i < manager.Count(); ++i) {
        const int port = manager.Entry(i).Port;
        if (port > highest || listed.count(port) != 0 || !opens(port))
            continue;
        added = true;
        QAction* item = Make(port);
        item->setEnabled(serial);
        item->setChecked(serial && port == chosen);
        QAction* before = nullptr; // in ascending order
        for (QAction* other : Items())
            if (other->property("Tag").toInt() > port) {
                before = other;
                break;
            }
        FMenu.insertAction(before, item);
    }
    return added;
}

void TPortMenu::Show(bool serial, int chosen) {
    for (QAction* item : Items()) {
        item->setEnabled(serial);
        // A port without an item (chosen in the settings dialog) leaves no
        // other port looking chosen.
        item->setChecked(serial && item->property("Tag").toInt() == chosen);
    }
}
