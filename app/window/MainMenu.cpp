#include "app/window/MainMenu.h"

#include "app/capture/Profiles.h"
#include "app/window/FormParts.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

void BuildDeviceMenu(QMenuBar& bar, TMainMenu& menu) {
    // One radio item per instrument profile, tag = profile number.
    menu.Device = MakeMenu(&bar, "Device1", "Gerät");
    auto* profiles = new QActionGroup(menu.Device);
    profiles->setObjectName(QStringLiteral("DeviceGroup"));
    for (const TProfile& profile : Profiles()) {
        QAction* item = MakeItem(menu.Device, profile.Name, profile.Caption, profile.Tag);
        item->setCheckable(true);
        profiles->addAction(item);
        menu.DeviceItems.push_back(item);
        if (profile.SeparatorAfter)
            menu.Device->addSeparator();
    }
}

void BuildPortMenu(QMainWindow& window, QMenuBar& bar, TMainMenu& menu) {
    menu.Ports = MakeMenu(&bar, "Schnittstelle1", "Schnittstelle");
    AddActions(window, menu.Ports, {"act_interface_conneced", "act_interface_disconneced", "-"});
    menu.Infrared = MakeItem(menu.Ports, "Infrarot1", "Infrarot");
    menu.Usb = MakeItem(menu.Ports, "USB1", "USB");
    // The link items, the COM items among them, are radio items: a click on
    // the checked one leaves it checked.
    menu.Links = new QActionGroup(menu.Ports);
    menu.Links->setObjectName(QStringLiteral("LinkGroup"));
    for (QAction* item : {menu.Infrared, menu.Usb}) {
        item->setCheckable(true);
        item->setEnabled(false);
        menu.Links->addAction(item);
    }
}

void BuildHelpMenu(QMenuBar& bar, TMainMenu& menu) {
    menu.Help = MakeMenu(&bar, "Hilfe1", "Hilfe");
    menu.HelpAbout = MakeItem(menu.Help, "HelpAbout1", "Hilfe zu Brisquell");
    menu.HelpAbout->setEnabled(false); // enabled once a language with a help file is chosen
    menu.Help->addSeparator();
    // The submenu's object name is "Lanuage", spelt as the form has always
    // named it: object names are how tests and tools find the components.
    QMenu* languages = MakeMenu(menu.Help, "Lanuage", "Sprache");
    menu.Help->addMenu(languages);
    const char* const names[] = {"LanguageGerman", "LanguageEnglish", "LanguageFrench"};
    const char* const captions[] = {"Deutsch", "Englisch", "Französisch"};
    for (int i = 0; i < 3; ++i) {
        QAction* item = MakeItem(languages, names[i], captions[i], i);
        item->setCheckable(true); // checked by the language switch, not by the click
        menu.Languages[static_cast<size_t>(i)] = item;
    }
    menu.Info = MakeItem(menu.Help, "Info1", "Info");
}

void BuildOpenDropDown(QMainWindow& window, TMainMenu& menu) {
    menu.PopupOpen = MakeMenu(&window, "PopupOpen", "");
    for (int i = 0; i < 5; ++i) {
        const QByteArray name = "File" + QByteArray::number(i + 1);
        QAction* item = MakeItem(menu.PopupOpen, name.constData(), "", i);
        item->setVisible(false);
        MarkRunTimeTexts(item, {QStringLiteral("*")}); // the recent files' names
        menu.FileItems[static_cast<size_t>(i)] = item;
    }
}

} // namespace

int ProfileItemPosition(const QMenu& device, int tag) {
    const QList<QAction*> items = device.actions();
    for (int position = 0; position < items.size(); ++position)
        if (items[position]->property("Tag").toInt() == tag)
            return position;
    return 0;
}

TMainMenu BuildMainMenu(QMainWindow& window) {
    TMainMenu menu;
    auto* bar = new QMenuBar(&window);
    bar->setObjectName(QStringLiteral("MainMenu1"));
    window.setMenuBar(bar);
    QMenu* file = MakeMenu(bar, "Datei1", "Datei");
    AddActions(window, file,
               {"act_file_new", "act_file_open", "act_file_save", "act_file_saveas", "-",
                "act_file_printersetup", "act_file_print", "-", "act_file_exit"});
    QMenu* edit = MakeMenu(bar, "Bearbeiten1", "Bearbeiten");
    AddActions(window, edit,
               {"act_edit_undo", "-", "act_edit_cut", "act_edit_copy", "act_edit_paste", "-",
                "act_edit_markall", "act_edit_clear"});
    BuildDeviceMenu(*bar, menu);
    BuildPortMenu(window, *bar, menu);
    BuildHelpMenu(*bar, menu);
    for (QMenu* each : {file, edit, menu.Device, menu.Ports, menu.Help})
        bar->addMenu(each);
    BuildOpenDropDown(window, menu);
    return menu;
}
