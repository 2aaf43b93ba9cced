// The main window's form: every component with its design values.
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"
#include "app/document/DocumentEditor.h"
#include "app/window/FormParts.h"
#include "app/window/ImageList.h"
#include "app/window/MainMenu.h"
#include "serial/TSerial.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>

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
    for (const char* name : {"PrintDialog", "PrinterSetupDialog"})
        (new QObject(this))->setObjectName(QLatin1String(name));
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
    const TMainMenu menu = BuildMainMenu(*this);
    Device1 = menu.Device;
    Schnittstelle1 = menu.Ports;
    Infrarot1 = menu.Infrared;
    USB1 = menu.Usb;
    Hilfe1 = menu.Help;
    HelpAbout1 = menu.HelpAbout;
    FLanguageItems = menu.Languages;
    PopupOpen = menu.PopupOpen;
    FileItems = menu.FileItems;
    for (QAction* item : menu.DeviceItems)
        connect(item, &QAction::triggered, this,
                [this, item] { RunGuarded([&] { SetupDevice(item); }); });
    for (QAction* item : FileItems)
        connect(item, &QAction::triggered, this,
                [this, item] { RunGuarded([&] { DropDownFileOpen(item); }); });
    FPortMenu =
        std::make_unique<TPortMenu>(*Schnittstelle1, *menu.Links, *this, [this](QAction* item) {
            RunGuarded([&] { ChangeComPort(item); });
        });
    BindHelpMenu(menu.Info);
}
