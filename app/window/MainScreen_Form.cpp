// The main window's form: every component with its design values.
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"
#include "app/capture/Profiles.h"
#include "app/document/DocumentEditor.h"
#include "app/window/ElidedLabel.h"
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

namespace {

QString Text(const char* german) {
    return QString::fromUtf8(german);
}

// Texts set at run time are kept out of the translation walk, so that a
// language switch renews only design texts.
void MarkRunTimeTexts(QObject* object, const QStringList& properties) {
    object->setProperty("gnugettextIgnore", properties);
}

QAction* MakeItem(QMenu* menu, const char* name, const char* caption, int tag = 0) {
    auto* item = new QAction(Text(caption), menu);
    item->setObjectName(QString::fromLatin1(name));
    item->setProperty("Tag", tag);
    menu->addAction(item);
    return item;
}

QMenu* MakeMenu(QWidget* parent, const char* name, const char* caption) {
    auto* menu = new QMenu(Text(caption), parent);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

} // namespace

void TMainScreen::BuildForm() {
    setObjectName(QStringLiteral("MainScreen"));
    setWindowTitle(QStringLiteral("Brisquell"));
    MarkRunTimeTexts(this, {QStringLiteral("windowTitle")}); // the document's name
    FGeometry.SetMinimumOuterSize({430, 220});
    // The window keeps the desktop's interface font: it plays the part of the
    // system dialog font the layout was drawn with, at a size users can read.
    ImageList1 = new TImageList(QStringLiteral("ImageList1"), MakeActionImages(), this);
    StatusImageList = new TImageList(QStringLiteral("StatusImageList"), MakeStatusImages(), this);
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
    OpenDialog = new TFileDialogInfo(QStringLiteral("OpenDialog"),
                                     Text("Text (*:TXT)|*.TXT|Alle Dateien (*.*)|*.*"), this);
    SaveDialog = new TFileDialogInfo(QStringLiteral("SaveDialog"),
                                     Text("Text (*.TXT)|*.TXT|Alle Dateien (*.*)|*.*"), this);
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
    BuildToolBar();
    BuildStatusBar();
    BuildCapture();
}

void TMainScreen::BuildSerial() {
    // The design values, applied in the component's property order: the
    // receive buffer before the XOn/XOff limits, which it would pull in.
    Serial1 = new TSerial(this);
    Serial1->setObjectName(QStringLiteral("Serial1"));
    Serial1->SetCOMPort(1);
    Serial1->SetThreadPriority(TThreadPriority::tpNormal);
    Serial1->SetBaudrate(9600);
    Serial1->SetDataBits(TDataBits::db_8);
    Serial1->SetParityBit(TParityBit::none);
    Serial1->SetStopBits(TStopBits::sb_1);
    Serial1->SetBufSizeTrm(4096);
    Serial1->SetBufSizeRec(4096);
    Serial1->SetHandshakeRtsCts(false);
    Serial1->SetHandshakeDtrDsr(false);
    Serial1->SetHandshakeXOnXOff(false);
    Serial1->SetRTSActive(true);
    Serial1->SetDTRActive(true);
    Serial1->SetXOnChar('\x11');
    Serial1->SetXOffChar('\x13');
    Serial1->SetXOffLimit(1600);
    Serial1->SetXOnLimit(400);
    Serial1->SetErrorChar('?');
    Serial1->SetEofChar('\x1A');
    Serial1->SetEventChar('\r');
    Serial1->SetDataSize(0);
    Serial1->SetContinueOnXOff(false);
    Serial1->SetUseErrorChar(false);
    Serial1->SetEliminateNullChar(false);
    Serial1->SetAbortOnError(false);
    Serial1->SetRecTimeOut(0);
    Serial1->SetTrmTimeOut(0);
    Serial1->SetSyncEventHandling(true);
    Serial1->SetEnableEvents(true);
    Serial1->SetSyncWait(true);
    Serial1->OnRxChar = [this](QObject* sender) { RunGuarded([&] { Serial1RxChar(sender); }); };
    Serial1->OnCOMRemoved = [this](QObject* sender) {
        RunGuarded([&] { Serial1COMRemoved(sender); });
    };
    SetReceptionSource(Serial1);
    FSerialLink = std::make_unique<TSerialLink>(*Serial1);
    FConnection->SetLink(TLinkKind::Serial, FSerialLink.get());
}

QAction* TMainScreen::MakeAction(const char* name, const char* caption,
                                 const QKeySequence& shortcut, int image) {
    auto* action = new QAction(Text(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(Text(caption)); // the hint equals the caption
    action->setStatusTip(Text(caption));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setProperty("ActionList", QVariant::fromValue(ActionList1));
    if (image >= 0)
        action->setIcon(ImageList1->Image(image));
    action->setProperty("ImageIndex", image);
    // An action without a command stays disabled until one is bound to it.
    action->setEnabled(false);
    return action;
}

void TMainScreen::BuildActions() {
    act_file_new = MakeAction("act_file_new", "Neu", QKeySequence(Qt::CTRL | Qt::Key_N), 0);
    act_file_open = MakeAction("act_file_open", "Öffnen", QKeySequence(Qt::CTRL | Qt::Key_O), 1);
    act_file_save = MakeAction("act_file_save", "Speichern", QKeySequence(Qt::CTRL | Qt::Key_S), 2);
    act_file_saveas = MakeAction("act_file_saveas", "Speichern unter...", QKeySequence(), 3);
    act_file_printersetup =
        MakeAction("act_file_printersetup", "Drucker einstellen", QKeySequence(), -1);
    act_file_print = MakeAction("act_file_print", "Drucken", QKeySequence(Qt::CTRL | Qt::Key_P), 4);
    act_file_exit = MakeAction("act_file_exit", "Beenden", QKeySequence(Qt::ALT | Qt::Key_F4), -1);
    act_edit_undo =
        MakeAction("act_edit_undo", "Rückgängig", QKeySequence(Qt::CTRL | Qt::Key_Z), 8);
    act_edit_cut =
        MakeAction("act_edit_cut", "Ausschneiden", QKeySequence(Qt::CTRL | Qt::Key_X), 5);
    act_edit_copy = MakeAction("act_edit_copy", "Kopieren", QKeySequence(Qt::CTRL | Qt::Key_C), 6);
    act_edit_paste =
        MakeAction("act_edit_paste", "Einfügen", QKeySequence(Qt::CTRL | Qt::Key_V), 7);
    act_edit_markall =
        MakeAction("act_edit_markall", "Alles markieren", QKeySequence(Qt::CTRL | Qt::Key_A), -1);
    act_edit_clear = MakeAction("act_edit_clear", "Anzeige löschen", QKeySequence(), 9);
    act_interface_conneced = MakeAction("act_interface_conneced", "Verbinden", QKeySequence(), 10);
    act_interface_disconneced =
        MakeAction("act_interface_disconneced", "Trennen", QKeySequence(), 11);

    Bind(act_edit_undo, &TMainScreen::act_edit_undoExecute);
    Bind(act_edit_cut, &TMainScreen::act_edit_cutExecute);
    Bind(act_edit_copy, &TMainScreen::act_edit_copyExecute);
    Bind(act_edit_paste, &TMainScreen::act_edit_pasteExecute);
    Bind(act_edit_markall, &TMainScreen::act_edit_markallExecute);
    Bind(act_edit_clear, &TMainScreen::act_edit_clearExecute);
    Bind(act_file_new, &TMainScreen::act_file_newExecute);
    Bind(act_file_open, &TMainScreen::act_file_openExecute);
    Bind(act_file_save, &TMainScreen::act_file_saveExecute);
    Bind(act_file_saveas, &TMainScreen::act_file_saveasExecute);
    Bind(act_file_printersetup, &TMainScreen::act_file_printersetupExecute);
    Bind(act_file_print, &TMainScreen::act_file_printExecute);
    Bind(act_file_exit, &TMainScreen::act_file_exitExecute);
    // Both stay enabled until the first status-bar refresh.
    Bind(act_interface_conneced, &TMainScreen::act_interface_connecedExecute);
    Bind(act_interface_disconneced, &TMainScreen::act_interface_disconnecedExecute);
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
    // "Courier New" is asked for; the platform substitutes its nearest fixed font.
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    Editor->setFont(font);
    Editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Editor->setUndoRedoEnabled(true);
    MarkRunTimeTexts(Editor, {QStringLiteral("*")});
    setCentralWidget(Editor);
    FInserter = new TEditorInserter(Editor);

    PopupMenu = MakeMenu(this, "PopupMenu", "");
    for (QAction* action : {act_edit_cut, act_edit_copy, act_edit_paste, act_edit_markall})
        PopupMenu->addAction(action);
    PopupMenu->addSeparator();
    QAction* print = MakeItem(PopupMenu, "Drucken1", "Drucken");
    connect(print, &QAction::triggered, this,
            [this, print] { RunGuarded([&] { PrintClick(print); }); });
    Editor->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Editor, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu->popup(Editor->mapToGlobal(at)); });
}

void TMainScreen::BuildMenus() {
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    setMenuBar(MainMenu1);

    Datei1 = MakeMenu(MainMenu1, "Datei1", "Datei");
    Datei1->addActions({act_file_new, act_file_open, act_file_save, act_file_saveas});
    Datei1->addSeparator();
    Datei1->addActions({act_file_printersetup, act_file_print});
    Datei1->addSeparator();
    Datei1->addAction(act_file_exit);

    Bearbeiten1 = MakeMenu(MainMenu1, "Bearbeiten1", "Bearbeiten");
    Bearbeiten1->addAction(act_edit_undo);
    Bearbeiten1->addSeparator();
    Bearbeiten1->addActions({act_edit_cut, act_edit_copy, act_edit_paste});
    Bearbeiten1->addSeparator();
    Bearbeiten1->addActions({act_edit_markall, act_edit_clear});

    BuildDeviceMenu();

    Schnittstelle1 = MakeMenu(MainMenu1, "Schnittstelle1", "Schnittstelle");
    Schnittstelle1->addActions({act_interface_conneced, act_interface_disconneced});
    Schnittstelle1->addSeparator();
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

    Hilfe1 = MakeMenu(MainMenu1, "Hilfe1", "Hilfe");
    HelpAbout1 = MakeItem(Hilfe1, "HelpAbout1", "Hilfe zu Brisquell");
    HelpAbout1->setEnabled(false); // enabled once a language with a help file is chosen
    Hilfe1->addSeparator();
    // The submenu's object name is "Lanuage", spelt as the form has always
    // named it: object names are how tests and tools find the components.
    Lanuage = MakeMenu(Hilfe1, "Lanuage", "Sprache");
    Hilfe1->addMenu(Lanuage);
    LanguageGerman = MakeItem(Lanuage, "LanguageGerman", "Deutsch", 0);
    LanguageEnglish = MakeItem(Lanuage, "LanguageEnglish", "Englisch", 1);
    LanguageFrench = MakeItem(Lanuage, "LanguageFrench", "Französisch", 2);
    for (QAction* item : {LanguageGerman, LanguageEnglish, LanguageFrench})
        item->setCheckable(true); // checked by the language switch, not by the click
    Info1 = MakeItem(Hilfe1, "Info1", "Info");
    BindHelpMenu();

    for (QMenu* menu : {Datei1, Bearbeiten1, Device1, Schnittstelle1, Hilfe1})
        MainMenu1->addMenu(menu);

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

void TMainScreen::BuildDeviceMenu() {
    // One radio item per instrument profile, tag = profile number.
    Device1 = MakeMenu(MainMenu1, "Device1", "Gerät");
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

void TMainScreen::BuildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    ToolBar1->addAction(act_file_new);
    ToolBar1->addAction(act_file_open);
    if (auto* open = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(act_file_open))) {
        open->setMenu(PopupOpen);
        open->setPopupMode(QToolButton::MenuButtonPopup);
    }
    ToolBar1->addSeparator();
    ToolBar1->addActions({act_file_save, act_file_saveas});
    ToolBar1->addSeparator();
    ToolBar1->addAction(act_file_print);
    ToolBar1->addSeparator();
    ToolBar1->addActions({act_edit_cut, act_edit_copy, act_edit_paste, act_edit_undo});
    ToolBar1->addSeparator();
    ToolBar1->addAction(act_edit_clear);
    auto* gap = new QWidget(ToolBar1);
    gap->setObjectName(QStringLiteral("ToolButtonGap"));
    gap->setFixedWidth(26);
    ToolBar1->addWidget(gap);
    ToolBar1->addActions({act_interface_conneced, act_interface_disconneced});
    for (QToolButton* button : ToolBar1->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        button->setFixedHeight(23);
}

void TMainScreen::BuildStatusBar() {
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setFixedHeight(20);
    setStatusBar(StatusBar);
    static constexpr int kWidths[4] = {170, 50, 80, 50};
    static constexpr const char* kRoles[4] = {"Verbindungszustand", "Schnittstelle", "Baudrate",
                                              "Gerät"};
    for (int i = 0; i < 4; ++i) {
        // The last panel's caption, the instrument's name, may not fit.
        auto* panel = i == 3 ? new TElidedLabel(StatusBar) : new QLabel(StatusBar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setAccessibleDescription(Text(kRoles[i]));
        // The role follows the language; the panel's state texts do not.
        MarkRunTimeTexts(panel, {QStringLiteral("text"), QStringLiteral("toolTip")});
        StatusPanels[static_cast<size_t>(i)] = panel;
    }
    // Panel 0 carries the state icon in front of its text.
    auto* first = new QWidget(StatusBar);
    first->setObjectName(QStringLiteral("StatusPanel0Frame"));
    first->setFixedWidth(kWidths[0]);
    auto* layout = new QHBoxLayout(first);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(4);
    StatusIcon = new QLabel(first);
    StatusIcon->setObjectName(QStringLiteral("StatusIcon"));
    StatusIcon->setFixedSize(16, 16);
    MarkRunTimeTexts(StatusIcon, {QStringLiteral("*")});
    layout->addWidget(StatusIcon);
    StatusPanels[0]->setParent(first);
    layout->addWidget(StatusPanels[0], 1);
    StatusBar->addWidget(first);
    for (int i = 1; i < 3; ++i) {
        StatusPanels[static_cast<size_t>(i)]->setFixedWidth(kWidths[i]);
        StatusBar->addWidget(StatusPanels[static_cast<size_t>(i)]);
    }
    // The last panel reaches the window's right edge.
    StatusPanels[3]->setTextFormat(Qt::PlainText);
    StatusPanels[3]->setMinimumWidth(kWidths[3]);
    StatusBar->addWidget(StatusPanels[3], 1);
}
