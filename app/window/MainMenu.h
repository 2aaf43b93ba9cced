#pragma once

#include <array>
#include <vector>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;

// The main menu as designed, and the recent-files drop-down. The items are
// made here; the window binds its handlers to them.
struct TMainMenu {
    QMenu* Device = nullptr; // "Device1": one radio item per instrument profile
    std::vector<QAction*> DeviceItems;
    QMenu* Ports = nullptr; // "Schnittstelle1"; the COM items follow USB
    QActionGroup* Links = nullptr;
    QAction* Infrared = nullptr;
    QAction* Usb = nullptr;
    QMenu* Help = nullptr; // "Hilfe1"
    QAction* HelpAbout = nullptr;
    std::array<QAction*, 3> Languages{}; // German, English, French
    QAction* Info = nullptr;
    QMenu* PopupOpen = nullptr;
    std::array<QAction*, 5> FileItems{}; // File1..File5, hidden until named
};

// The position in the device menu of the first item whose tag is the
// profile's; separators count as tag 0 but stand after "Manuell", so a
// profile without an item gives "Manuell"'s.
int ProfileItemPosition(const QMenu& device, int tag);

// Builds the menu bar "MainMenu1" with the window's actions (made before)
// in the file, edit and port menus.
TMainMenu BuildMainMenu(QMainWindow& window);
