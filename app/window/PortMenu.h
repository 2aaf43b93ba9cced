#pragma once

#include <QList>

#include <functional>

class QAction;
class QActionGroup;
class QMenu;
class QObject;
class TCOMManager;

// The COM items of the port menu "Schnittstelle": one radio item per port,
// tag = port number, in ascending order behind the menu's fixed items
// (connect, disconnect, separator, infrared, USB), so the first COM item
// stands at position 5.
class TPortMenu {
public:
    static constexpr int FirstComItem = 5;

    // The items belong to owner, join the link items' radio group, and
    // call chosen with themselves when clicked.
    TPortMenu(QMenu& menu, QActionGroup& group, QObject& owner,
              std::function<void(QAction*)> chosen);

    // An item for the port behind the last one.
    QAction* Append(int port);
    // The items follow the manager's list: an item whose port is gone goes
    // (the chosen port's stays while it is away), a port up to highest that
    // has none and opens gets one (enabled on the serial link, checked when
    // chosen). Whether a new item was made.
    bool Follow(const TCOMManager& manager, int highest, int chosen, bool serial,
                const std::function<bool(int port)>& opens);
    // Enabled on the serial link; the chosen port's item checked, others not.
    void Show(bool serial, int chosen);

private:
    QList<QAction*> Items() const;
    QAction* Make(int port);

    QMenu& FMenu;
    QActionGroup& FGroup;
    QObject& FOwner;
    std::function<void(QAction*)> FChosen;
};
