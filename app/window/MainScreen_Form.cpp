// The main window's form: every component with its design values.
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"
#include "app/capture/Profiles.h"
#include "app/document/DocumentEditor.h"
#include "app/window/FormParts.h"
#include "app/window/ImageList.h"
#include "serial/TSerial.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

// No font is set on the window: it keeps the desktop's interface font, which
// plays the part of the system dialog font the layout was drawn with, at a
// size users can read.
void TMainScreen::BuildForm() {
    setObjectName(QStringLiteral("MainScreen"));
    setWindowTitle(QStringLiteral("Brisquell"));
    MarkRunTimeTexts(this, {QStringLiteral("windowTitle")}); // the document's name
    FGeometry.SetMinimumOuterSize({430, 220});
    ImageList1 = new TImageList(QStringLiteral("ImageList1"), MakeActionImages(), this);
    ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    PromptTime = new QTimer(this);
    PromptTime->setObjectName(QStringLiteral("PromptTime"));
    PromptTime->setInterval(500);
    connect(PromptTime, &QTimer::timeout, this,
            [this] { RunGuarded([this] { PromptTimeTimer(PromptTime); }); });
    FPromptCycle =
        std::make_unique<TPromptCycle>(*PromptTime, static_cast<TPromptCycleSink&>(*this));
    FConnection = std::make_unique<TConnectionControl>(*FPromptCycle);
    OpenDialog =
        new TFileDialogInfo(QStringLiteral("OpenDialog"),
                            QStringLiteral("Text (*:TXT)|*.TXT|Alle Dateien (*.*)|*.*"), this);
    SaveDialog =
        new TFileDialogInfo(QStringLiteral("SaveDialog"),
                            QStringLiteral("Text (*.TXT)|*.TXT|Alle Dateien (*.*)|*.*"), this);
    PrintDialog = new QObject(this);
    PrintDialog->setObjectName(QStringLiteral("PrintDialog"));
    PrinterSetupDialog = new QObject(this);
    PrinterSetupDialog->setObjectName(QStringLiteral("PrinterSetupDialog"));
    FQtFileDialogs = std::make_unique<TQtFileDialogs>(this);
    FFileDialogs = FQtFileDialogs.get();
    BuildSerial();
    BuildInfrared();
    BuildUsb();
    BuildReconnect();
    BuildActions();
    BuildEditor();
    BuildMenus();
    ::BuildToolBar(*this, PopupOpen);
    FStatusBar = std::make_unique<TStatusBarView>(*this);
    BuildCapture();
}

void TMainScreen::BuildSerial() {
    Serial1 = new TSerial(this);
    Serial1->setObjectName(QStringLiteral("Serial1"));
    ApplyDesignValues(*Serial1);
    Serial1->OnRxChar = [this](QObject* sender) { RunGuarded([&] { Serial1RxChar(sender); }); };
    Serial1->OnCOMRemoved = [this](QObject* sender) {
        RunGuarded([&] { Serial1COMRemoved(sender); });
    };
    SetReceptionSource(Serial1);
    FSerialLink = std::make_unique<TSerialLink>(*Serial1);
    FConnection->SetLink(TLinkKind::Serial, FSerialLink.get());
}

void TMainScreen::BuildActions() {
    struct TRow {
        TActionDesign Design;
        void (TMainScreen::*Handler)(QObject*);
    };
    const QKeyCombination none = QKeyCombination::fromCombined(0);
    const TRow rows[] = {
        {{"act_file_new", "Neu", Qt::CTRL | Qt::Key_N, 0}, &TMainScreen::act_file_newExecute},
        {{"act_file_open", "Öffnen", Qt::CTRL | Qt::Key_O, 1}, &TMainScreen::act_file_openExecute},
        {{"act_file_save", "Speichern", Qt::CTRL | Qt::Key_S, 2},
         &TMainScreen::act_file_saveExecute},
        {{"act_file_saveas", "Speichern unter...", none, 3}, &TMainScreen::act_file_saveasExecute},
        {{"act_file_printersetup", "Drucker einstellen", none, -1},
         &TMainScreen::act_file_printersetupExecute},
        {{"act_file_print", "Drucken", Qt::CTRL | Qt::Key_P, 4},
         &TMainScreen::act_file_printExecute},
        {{"act_file_exit", "Beenden", Qt::ALT | Qt::Key_F4, -1},
         &TMainScreen::act_file_exitExecute},
        {{"act_edit_undo", "Rückgängig", Qt::CTRL | Qt::Key_Z, 8},
         &TMainScreen::act_edit_undoExecute},
        {{"act_edit_cut", "Ausschneiden", Qt::CTRL | Qt::Key_X, 5},
         &TMainScreen::act_edit_cutExecute},
        {{"act_edit_copy", "Kopieren", Qt::CTRL | Qt::Key_C, 6},
         &TMainScreen::act_edit_copyExecute},
        {{"act_edit_paste", "Einfügen", Qt::CTRL | Qt::Key_V, 7},
         &TMainScreen::act_edit_pasteExecute},
        {{"act_edit_markall", "Alles markieren", Qt::CTRL | Qt::Key_A, -1},
         &TMainScreen::act_edit_markallExecute},
        {{"act_edit_clear", "Anzeige löschen", none, 9}, &TMainScreen::act_edit_clearExecute},
        // Both stay enabled until the first status-bar refresh.
        {{"act_interface_conneced", "Verbinden", none, 10},
         &TMainScreen::act_interface_connecedExecute},
        {{"act_interface_disconneced", "Trennen", none, 11},
         &TMainScreen::act_interface_disconnecedExecute},
    };
    for (const TRow& row : rows)
        Bind(MakeAction(*this, row.Design, ActionList1, *ImageList1), row.Handler);
    act_interface_conneced = Action("act_interface_conneced");
    act_interface_disconneced = Action("act_interface_disconneced");
}

QAction* TMainScreen::Action(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void TMainScreen::Bind(QAction* action, void (TMainScreen::*handler)(QObject*)) {
    // A command acts on the document with every reading received so far.
    connect(action, &QAction::triggered, this, [this, action, handler] {
        RunGuarded([&] {
            FInserter->Flush();
            (this->*handler)(action);
        });
    });
    action->setEnabled(true);
}

void TMainScreen::BuildEditor() {
    Editor = new TDocumentEditor(this);
    Editor->setObjectName(QStringLiteral("Editor"));
    ApplyEditorDesign(*Editor);
    setCentralWidget(Editor);
    FInserter = new TEditorInserter(Editor);

    QMenu* popup = MakeMenu(this, "PopupMenu", "");
    AddActions(*this, popup,
               {"act_edit_cut", "act_edit_copy", "act_edit_paste", "act_edit_markall", "-"});
    QAction* print = MakeItem(popup, "Drucken1", "Drucken");
    connect(print, &QAction::triggered, this,
            [this, print] { RunGuarded([&] { PrintClick(print); }); });
    Editor->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Editor, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& at) { popup->popup(Editor->mapToGlobal(at)); });
}

void TMainScreen::BuildMenus() {
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("MainMenu1"));
    setMenuBar(bar);
    QMenu* file = MakeMenu(bar, "Datei1", "Datei");
    AddActions(*this, file,
               {"act_file_new", "act_file_open", "act_file_save", "act_file_saveas", "-",
                "act_file_printersetup", "act_file_print", "-", "act_file_exit"});
    QMenu* edit = MakeMenu(bar, "Bearbeiten1", "Bearbeiten");
    AddActions(*this, edit,
               {"act_edit_undo", "-", "act_edit_cut", "act_edit_copy", "act_edit_paste", "-",
                "act_edit_markall", "act_edit_clear"});
    BuildDeviceMenu(*bar);
    BuildPortMenu(*bar);
    BuildHelpMenu(*bar);
    for (QMenu* menu : {file, edit, Device1, Schnittstelle1, Hilfe1})
        bar->addMenu(menu);
    PopupOpen = MakeMenu(this, "PopupOpen", "");
    for (int i = 0; i < 5; ++i) {
        const QByteArray name = "File" + QByteArray::number(i + 1);
        QAction* item = MakeItem(PopupOpen, name.constData(), "", i);
        item->setVisible(false);
        MarkRunTimeTexts(item, {QStringLiteral("*")});
        FileItems[static_cast<size_t>(i)] = item;
        connect(item, &QAction::triggered, this,
                [this, item] { RunGuarded([&] { DropDownFileOpen(item); }); });
    }
}

void TMainScreen::BuildPortMenu(QMenuBar& bar) {
    Schnittstelle1 = MakeMenu(&bar, "Schnittstelle1", "Schnittstelle");
    AddActions(*this, Schnittstelle1, {"act_interface_conneced", "act_interface_disconneced", "-"});
    Infrarot1 = MakeItem(Schnittstelle1, "Infrarot1", "Infrarot");
    USB1 = MakeItem(Schnittstelle1, "USB1", "USB");
    // The link items, the COM items among them, are radio items: a click on
    // the checked one leaves it checked.
    auto* links = new QActionGroup(Schnittstelle1);
    links->setObjectName(QStringLiteral("LinkGroup"));
    for (QAction* item : {Infrarot1, USB1}) {
        item->setCheckable(true);
        item->setEnabled(false);
        links->addAction(item);
    }
    FPortMenu = std::make_unique<TPortMenu>(*Schnittstelle1, *links, *this, [this](QAction* item) {
        RunGuarded([&] { ChangeComPort(item); });
    });
}

void TMainScreen::BuildHelpMenu(QMenuBar& bar) {
    Hilfe1 = MakeMenu(&bar, "Hilfe1", "Hilfe");
    HelpAbout1 = MakeItem(Hilfe1, "HelpAbout1", "Hilfe zu Brisquell");
    HelpAbout1->setEnabled(false); // enabled once a language with a help file is chosen
    Hilfe1->addSeparator();
    // The submenu's object name is "Lanuage", spelt as the form has always
    // named it: object names are how tests and tools find the components.
    QMenu* languages = MakeMenu(Hilfe1, "Lanuage", "Sprache");
    Hilfe1->addMenu(languages);
    const char* const names[] = {"LanguageGerman", "LanguageEnglish", "LanguageFrench"};
    const char* const captions[] = {"Deutsch", "Englisch", "Französisch"};
    for (int i = 0; i < 3; ++i) {
        QAction* item = MakeItem(languages, names[i], captions[i], i);
        item->setCheckable(true); // checked by the language switch, not by the click
        FLanguageItems[static_cast<size_t>(i)] = item;
    }
    QAction* info = MakeItem(Hilfe1, "Info1", "Info");
    BindHelpMenu(info);
}

void TMainScreen::BuildDeviceMenu(QMenuBar& bar) {
    // One radio item per instrument profile, tag = profile number.
    Device1 = MakeMenu(&bar, "Device1", "Gerät");
    auto* profiles = new QActionGroup(Device1);
    profiles->setObjectName(QStringLiteral("DeviceGroup"));
    for (const TProfile& profile : Profiles()) {
        QAction* item = MakeItem(Device1, profile.Name, profile.Caption, profile.Tag);
        item->setCheckable(true);
        profiles->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, item] { RunGuarded([&] { SetupDevice(item); }); });
        if (profile.SeparatorAfter)
            Device1->addSeparator();
    }
}
