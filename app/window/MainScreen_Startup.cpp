// Start-up, settings file and shut-down of the main window.
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"
#include "app/dialogs/HelpManual.h"
#include "app/dialogs/Shell.h"
#include "app/journal/DocumentJournal.h"
#include "app/texts/FileTexts.h"
#include "app/texts/Texts.h"
#include "app/window/Abort.h"
#include "app/window/MainMenu.h"
#include "i18n/gnugettext.h"
#include "platform/Dialogs.h"
#include "platform/ShellFolders.h"
#include "serial/TSerial.h"

#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShowEvent>

#include <exception>

TMainScreen::TMainScreen(platform::TDialogs& dialogs, QWidget* parent)
    : TMainScreen(dialogs, TD2xxUnit::LibraryName, parent) {}

TMainScreen::TMainScreen(platform::TDialogs& dialogs, const std::string& d2xxLibrary,
                         QWidget* parent)
    : QMainWindow(parent), FDialogs(dialogs),
      FSession({.SerialActivity = [this] { SerialByteReceived(); }}),
      FD2xx(std::make_unique<TD2xxUnit>(dialogs, d2xxLibrary)),
      FDesktopShell(std::make_unique<TDesktopShell>()), FShell(FDesktopShell.get()),
      FHelpFolders(HelpManualFolders(QCoreApplication::applicationDirPath())),
      FPrinter([this]() -> TFileDialogs& { return *FFileDialogs; },
               [this] { FInserter->Flush(); }) {
    BuildForm();
    RunGuarded([this] { FormCreate(this); });
}

TMainScreen::~TMainScreen() {
    if (!FDestroyed)
        RunGuarded([this] { FormDestroy(this); });
}

void TMainScreen::RunGuarded(const std::function<void()>& command) {
    ::RunGuarded(FDialogs, command);
}

void TMainScreen::FormCreate(QObject*) {
    IniPath = MakeIniPath(platform::GetSpecialFolder(platform::CSIDL_APPDATA));
    State = TRunState{};
    GetIniParam();
    // Boxes of the start (the port scan's among them) already speak the
    // saved language.
    SelectSavedLanguage();
    // A catalog that cannot be read costs one error box, not the rest of the
    // start: the window goes on in its design texts.
    std::exception_ptr translationFailure;
    try {
        gnugettext::TranslateComponent(this);
    } catch (...) {
        translationFailure = std::current_exception();
    }
    SetFileName(UntitledName(), false);
    StartJournal();
    CheckComPort(); // may already connect the first usable port
    // Without an infrared stack the rest of the program works all the same:
    // nothing below depends on the outcome.
    OpenIrDAListener();
    // Whatever the infrared set-up gives: the converter does not need it.
    State.USBReady = FD2xx->D2xx_Load();
    if (translationFailure)
        std::rethrow_exception(translationFailure);
}

void TMainScreen::FormShow(QObject*) {
    if (!State.Starting)
        return;
    // A saved language whose catalog cannot be read costs one error box, not
    // the rest of the start: without it no profile choice would connect.
    std::exception_ptr languageFailure;
    try {
        SwitchLanguage(this);
    } catch (...) {
        languageFailure = std::current_exception();
    }
    // Before any link connects: the question speaks the saved language.
    RecoverJournal();
    const QList<QAction*> items = Device1->actions();
    State.DeviceMenuIndex = ProfileItemPosition(*Device1, Settings.Device);
    // While starting, the click applies the profile quietly.
    const int openedAt = Serial1->Baudrate();
    items[State.DeviceMenuIndex]->trigger();
    // The port scan may have connected before the profile set its rate: a
    // port left open at another rate than the one shown would garble every
    // reading, so it is opened again.
    if (FConnection->Connected() && ChosenProfile().Link == TLinkKind::Serial &&
        Serial1->Baudrate() != openedAt) {
        act_interface_disconneced->trigger();
        act_interface_conneced->trigger();
    }
    if (Settings.AutoConnect)
        act_interface_conneced->trigger();
    State.Starting = false;
    if (languageFailure)
        std::rethrow_exception(languageFailure);
}

void TMainScreen::FormDestroy(QObject*) {
    FDestroyed = true;
    CloseIrDAListener();
    // Disconnect first, so the settings hold the rate in force at the end.
    act_interface_disconneced->trigger();
    FInserter->Flush();
    FSeriesView->SetJournal(nullptr);
    FJournal.reset(); // a clean end leaves no journal behind
    PutIniParam();
    // The disconnect above is not offered while nothing is connected; no
    // receive thread may still run in the library when it goes.
    FUsbLink->Disconnect();
    FD2xx->D2xx_Unload();
}

void TMainScreen::FormClose(QObject*) {}

void TMainScreen::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (State.Starting && !event->spontaneous()) {
        ApplyGeometry();
        RunGuarded([this] { FormShow(this); });
    }
}

void TMainScreen::GetIniParam() {
    const QString executableFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    ReadSettings(TIniFileAccess(IniPath), Settings, EngineLanguageCode(), executableFolder);
    OpenDialog->InitialDir = Settings.WorkDir;
    SaveDialog->InitialDir = Settings.WorkDir;
    SaveDialog->FileName.clear();
    // A hand-edited file may hold any numbers: the window goes where the
    // user can reach it, at a size the screens can show, and only that is
    // written back.
    const QRect fitted = FitToScreens(Settings.Left, Settings.Top, Settings.Width, Settings.Height,
                                      FGeometry.MinimumOuterSize());
    Settings.Left = fitted.x();
    Settings.Top = fitted.y();
    Settings.Width = fitted.width();
    Settings.Height = fitted.height();
    move(Settings.Left, Settings.Top);
    resize(Settings.Width, Settings.Height);
    FSeriesView->LoadSettings(IniPath);
    FWedgeView->LoadSettings(IniPath);
}

void TMainScreen::ApplyGeometry() {
    FGeometry.Apply(QRect(Settings.Left, Settings.Top, Settings.Width, Settings.Height));
}

void TMainScreen::PutIniParam() {
    const QRect frame = FGeometry.Outer();
    Settings.Left = frame.x();
    Settings.Top = frame.y();
    Settings.Height = frame.height();
    Settings.Width = frame.width();
    // Only a name chosen in the Save dialog during this run gives a folder.
    Settings.WorkDir = SaveDialog->FileName.isEmpty()
                           ? QString()
                           : QFileInfo(SaveDialog->FileName).absolutePath() + QLatin1Char('/');
    // The rate in force at the end, which a fixed-rate profile may have set.
    TSettings written = Settings;
    written.Baud = Serial1->Baudrate();
    WriteSettings(TIniFileAccess(IniPath), written);
    FSeriesView->SaveSettings(IniPath);
    FWedgeView->SaveSettings(IniPath);
}

void TMainScreen::act_edit_undoExecute(QObject*) {
    Editor->undo();
}
void TMainScreen::act_edit_cutExecute(QObject*) {
    Editor->cut();
}
void TMainScreen::act_edit_copyExecute(QObject*) {
    Editor->copy();
}
void TMainScreen::act_edit_pasteExecute(QObject*) {
    Editor->paste();
}
void TMainScreen::act_edit_markallExecute(QObject*) {
    Editor->selectAll();
}
void TMainScreen::act_file_exitExecute(QObject*) {
    close();
}
