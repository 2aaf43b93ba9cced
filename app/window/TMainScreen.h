#pragma once

#include "app/capture/CaptureSession.h"
#include "app/capture/ConnectionControl.h"
#include "app/capture/Links.h"
#include "app/capture/PromptCycle.h"
#include "app/capture/UsbLink.h"
#include "app/dialogs/FileDialogs.h"
#include "app/window/DocumentPrinter.h"
#include "app/window/PortMenu.h"
#include "app/window/QtTranslations.h"
#include "app/window/Reconnector.h"
#include "app/window/RunState.h"
#include "app/window/SeriesView.h"
#include "app/window/Settings.h"
#include "app/window/StatusBarView.h"
#include "app/window/WedgeView.h"
#include "app/window/WindowGeometry.h"
#include "usb/D2XXUnit.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QCloseEvent;
class QMenu;
class QWidget;
class QPlainTextEdit;
class QTimer;
class TByteSource;
class TDocumentJournal;
class TEditorInserter;
class TImageList;
class TIrDAListener;
class TSerial;
class TSerialDialog;
class TSerialDialogSeam;
class TShell;
namespace platform {
class TDialogs;
struct TFileError;
} // namespace platform
namespace journal {
struct TContents;
} // namespace journal

// The main window shows and commands; it does not take readings apart.
//
// - The capture session (app/capture/CaptureSession.h) turns what the three
//   links deliver into document text and finished lines. The window builds
//   it and subscribes the editor inserter, the journal and the series view;
//   its reception handlers (Serial1RxChar, AddReceivedText, IrDAEvent) only
//   hand bytes on.
// - State lives in plain objects: the settings (profile, port, rate) in
//   Settings, the run-time flags in State, the connection in FConnection,
//   the prompt cycle in FPromptCycle. Menus and the status bar show them.
// - The handlers keep the names of the form they were designed on
//   (FormCreate, act_file_saveExecute, Serial1RxChar ...); each is short and
//   calls the plain object that does the work. Commands run through their
//   actions, never by calling the handler, so that exactly one of connect
//   and disconnect is enabled at any time.
// - The implementation is split by concern into window/MainScreen_*.cpp:
//   Startup, Form, Connection, Reconnect, Reception (the USB converter's
//   link too), Infrared, Document, Journal, Language, Status.
//
// Tests drive the plain objects without a window and find the window's
// components by object name.
class TMainScreen : public QMainWindow, private TPromptCycleSink {
    Q_OBJECT
public:
    explicit TMainScreen(platform::TDialogs& dialogs, QWidget* parent = nullptr);
    // d2xxLibrary: the converter library's file name (tests name another).
    TMainScreen(platform::TDialogs& dialogs, const std::string& d2xxLibrary,
                QWidget* parent = nullptr);
    ~TMainScreen() override;

    // Start-up, first show and shut-down (Startup).
    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormDestroy(QObject* Sender);
    void FormClose(QObject* Sender);
    void GetIniParam();
    void PutIniParam();

    // The document (Document). CheckFileSave asks whether unsaved changes
    // are to be saved; it raises a silent abort when the caller must not go
    // on (Cancel, or the text was not saved).
    void SetFileName(const QString& name, bool addToRecent);
    void UpdateCaption();
    void CheckFileSave();
    void PerformFileOpen(const QString& name);
    void DropDownFileOpen(QObject* Sender);
    void PrintClick(QObject* Sender);
    // Set by SetFileName: the document has no name of its own yet. Kept as
    // a flag, so it survives a change of the untitled name's language.
    bool FUntitled = true;

    // Reception (Reception, Infrared): hands the links' bytes to the session.
    void Serial1RxChar(QObject* Sender);
    void AddReceivedText(const QByteArray& text);
    void InsertInfraredChunk(QByteArrayView chunk);
    void OpenIrDAListener();
    void IrDAEvent(uintptr_t wParam, intptr_t lParam);
    void CloseIrDAListener();

    // Instrument profiles and connection (Connection). EnableComMenu enables
    // the port menu's items of a link kind and checks the one in use.
    void CheckComPort();
    void SetupDevice(QObject* Sender);
    void EnableComMenu(TLinkKind kind);
    void ChangeComPort(QObject* Sender);
    // Pauses (true) or resumes (false) the link around modal work.
    void ConnectHalt(bool halt);

    // Help menu (Language).
    void SwitchLanguage(QObject* Sender);
    void HelpAbout1Click(QObject* Sender);
    void Hilfe1Click(QObject* Sender);
    void Info1Click(QObject* Sender);
    // The help file of the current language, empty for other languages.
    static QString HelpFile();

    // Prompt cycle and status bar (Status).
    void RefreshStatusBar();
    void PromptTimeTimer(QObject* Sender);
    void RestartPromptTimer();

    // Runs a command or handler so that an exception it raises is shown in
    // the error box instead of leaving the event loop (a silent abort is not
    // shown).
    void RunGuarded(const std::function<void()>& command);

    // Seams for tests and the program: where serial bytes come from, the
    // user's decimal separator (the system's unless replaced), the file and
    // print dialogs, the port settings dialog of the manual profile (without
    // one, choosing "Manuell" shows nothing), the shell (none: the desktop)
    // and the folders the shipped manuals are looked for in.
    void SetReceptionSource(TByteSource* source) { FReceptionSource = source; }
    void SetDecimalSeparatorSource(std::function<QString()> source) {
        FSession.SetDecimalSeparatorSource(std::move(source));
    }
    void SetFileDialogs(TFileDialogs* dialogs) { FFileDialogs = dialogs; }
    void SetSerialDialog(TSerialDialog* dialog, TSerialDialogSeam* seam);
    void SetShell(TShell* shell);
    void SetHelpFolders(const QStringList& folders) { FHelpFolders = folders; }
    TEditorInserter& Inserter() { return *FInserter; }
    // Typing readings into other programs.
    TWedgeView& WedgeView() { return *FWedgeView; }
    const series::TSeries& Series() const { return FSeriesView->Series(); }

protected:
    void showEvent(QShowEvent* event) override;
    void customEvent(QEvent* event) override;
    // The links stop, then unsaved changes are offered for saving; Cancel
    // refuses the close and takes the links up again.
    void closeEvent(QCloseEvent* event) override;

private:
    // Pauses the link (ConnectHalt) while it lives. Pauses nest: the link
    // resumes when the outermost one ends, however the command ends, so a
    // dialog inside another never lets readings in under the outer one.
    class TLinkPause {
    public:
        explicit TLinkPause(TMainScreen& window);
        ~TLinkPause();
        TLinkPause(const TLinkPause&) = delete;
        TLinkPause& operator=(const TLinkPause&) = delete;

    private:
        TMainScreen& FWindow;
    };

    // The form as designed (Form): components, actions from a table, menus,
    // tool bar; the capture session and its subscribers (Reception).
    void BuildForm();
    void BuildSerial();
    void BuildInfrared();
    void BuildUsb();
    void BuildActions();
    // Runs the handler when the action is triggered, with the readings
    // received so far in the document.
    void Bind(QAction* action, void (TMainScreen::*handler)(QObject*));
    QAction* Action(const char* name) const;
    void BuildEditor();
    // The main menu and the open drop-down, bound to the handlers.
    void BuildMenus();
    void BindHelpMenu(QAction* info);
    void BuildCapture();

    // Start-up and languages (Startup, Language).
    void ApplyGeometry();
    void RetranslateWindow();
    // The saved language for what the start says before the first show.
    void SelectSavedLanguage();

    // Profiles, ports and links (Connection).
    const TProfile& ChosenProfile() const { return ProfileFor(Settings.Device); }
    void ApplyProfile(const TProfile& profile);
    // The COM items follow the port manager's list while the program runs.
    void FollowComPorts();
    // The manual profile's dialog; its choices become the saved rate and port.
    void ShowSerialDialog();
    // Connect and disconnect, run only through their actions.
    void act_interface_connecedExecute(QObject* Sender);
    void act_interface_disconnecedExecute(QObject* Sender);
    // The connected port vanished from the system.
    void Serial1COMRemoved(QObject* Sender);
    // Takes the links up again as they were before a close was refused.
    void RestartLinks(bool connect, bool listen);
    // Serial bytes arrived: the prompt cycle restarts.
    void SerialByteReceived();
    // TPromptCycleSink
    void SendPromptRequest() override;
    void PromptStateChanged() override;

    // Connecting again when a vanished port or converter returns (Reconnect).
    void BuildReconnect();
    static void PortsChanged(void* window);
    void ReconnectWhenBack();
    // The converter of connect number connection was pulled out; a notice
    // about an earlier connect is dropped.
    void UsbConverterLost(uint64_t connection);

    // Edit and document commands (Startup, Document).
    void act_edit_undoExecute(QObject* Sender);
    void act_edit_cutExecute(QObject* Sender);
    void act_edit_copyExecute(QObject* Sender);
    void act_edit_pasteExecute(QObject* Sender);
    void act_edit_markallExecute(QObject* Sender);
    void act_edit_clearExecute(QObject* Sender);
    void act_file_exitExecute(QObject* Sender);
    void act_file_newExecute(QObject* Sender);
    void act_file_openExecute(QObject* Sender);
    void act_file_saveExecute(QObject* Sender);
    void act_file_saveasExecute(QObject* Sender);
    void act_file_printersetupExecute(QObject* Sender);
    void act_file_printExecute(QObject* Sender);
    void WriteDocument(const QString& name);

    // The capture journal (Journal): kept from creation to shut-down; what a
    // run that did not shut down left is offered back at the first show.
    void StartJournal();
    void RecoverJournal();
    bool RestoreDocument(const journal::TContents& contents);
    void JournalFailed(const QString& path, const platform::TFileError& error);

    // Settings of the run and run-time state.
    TSettings Settings;
    TRunState State;
    QString IniPath;
    QString CurrentFileName;
    // The document came from a UTF-8 file, or holds text that needs one.
    bool FUtf8Document = false;

    // Components of the form that the code uses after building it; the rest
    // are found by object name.
    QPlainTextEdit* Editor = nullptr;
    TImageList* ImageList1 = nullptr;
    QObject* ActionList1 = nullptr;
    TSerial* Serial1 = nullptr;
    QTimer* PromptTime = nullptr;
    TFileDialogInfo* OpenDialog = nullptr;
    TFileDialogInfo* SaveDialog = nullptr;
    QMenu* PopupOpen = nullptr;
    std::array<QAction*, 5> FileItems{}; // File1..File5
    QMenu* Device1 = nullptr;
    QMenu* Schnittstelle1 = nullptr;
    std::unique_ptr<TPortMenu> FPortMenu;
    QMenu* Hilfe1 = nullptr;
    QAction* Infrarot1 = nullptr;
    QAction* USB1 = nullptr;
    QAction* HelpAbout1 = nullptr;
    std::array<QAction*, 3> FLanguageItems{}; // German, English, French
    QAction* act_interface_conneced = nullptr;
    QAction* act_interface_disconneced = nullptr;

    // Capture: the session, the links and the connection control.
    platform::TDialogs& FDialogs;
    TEditorInserter* FInserter = nullptr;
    TCaptureSession FSession;
    TByteSource* FReceptionSource = nullptr;
    std::unique_ptr<TSerialLink> FSerialLink;
    std::unique_ptr<TPromptCycle> FPromptCycle;
    std::unique_ptr<TConnectionControl> FConnection;
    TIrDAListener* FIrDA = nullptr;
    std::unique_ptr<TLink> FInfraredLink;
    std::unique_ptr<TD2xxUnit> FD2xx; // outlives the link, which reads through it
    std::unique_ptr<TUsbLink> FUsbLink;
    int FLinkPauses = 0; // TLinkPause objects alive
    // Closing stopped the links: nothing connects by itself.
    bool FLinksStopped = false;

    // Reconnecting.
    std::unique_ptr<TReconnector> FReconnector;
    bool FComItemsDue = false;           // FollowComPorts is on its way
    std::shared_ptr<void> FPortListener; // leaves the port manager's listeners

    // Views, dialogs and the shell.
    std::unique_ptr<TStatusBarView> FStatusBar;
    using TStatusNote = TStatusBarView::TNote;
    QPointer<TSerialDialog> SerialDialog; // made by the program after the window
    TSerialDialogSeam* FSerialDialogSeam = nullptr;
    TQtTranslations FQtTranslations;
    std::unique_ptr<TShell> FDesktopShell;
    TShell* FShell = nullptr;
    QStringList FHelpFolders;
    std::unique_ptr<TFileDialogs> FQtFileDialogs;
    TFileDialogs* FFileDialogs = nullptr;
    TDocumentPrinter FPrinter;
    TWindowGeometry FGeometry{*this};
    bool FDestroyed = false;
    std::unique_ptr<TSeriesView> FSeriesView;
    std::unique_ptr<TWedgeView> FWedgeView;
    std::unique_ptr<TDocumentJournal> FJournal;
};
