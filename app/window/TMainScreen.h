#pragma once

#include "app/capture/CaptureSession.h"
#include "app/capture/ConnectionControl.h"
#include "app/capture/Links.h"
#include "app/capture/PromptCycle.h"
#include "app/capture/Reconnect.h"
#include "app/capture/UsbLink.h"
#include "app/dialogs/FileDialogs.h"
#include "app/window/QtTranslations.h"
#include "app/window/RunState.h"
#include "app/window/SeriesView.h"
#include "app/window/Settings.h"
#include "app/window/WindowGeometry.h"
#include "usb/D2XXUnit.h"

#include <QMainWindow>
#include <QPointer>
#include <QPrinter>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QCloseEvent;
class QDockWidget;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QStatusBar;
class QTimer;
class QToolBar;
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
class TOrphan;
struct TSeriesLine;
} // namespace journal

// The main window: the editor that collects the readings, its menus, tool
// bar and status bar, the settings of the run and the reception of readings.
// It is a large class: it owns every component of the window, the run-time
// state and the documented handlers, and its implementation is split into
// files by concern (window/MainScreen_*.cpp, one room each). The rules that
// need no widget live in the plain classes it holds (line reception, editor
// insertion, connection control, prompt cycle, reconnect, journal, settings,
// recent files, profile table); tests drive those without a window and find
// the window's components by object name.
class TMainScreen : public QMainWindow, private TPromptCycleSink {
    Q_OBJECT
public:
    explicit TMainScreen(platform::TDialogs& dialogs, QWidget* parent = nullptr);
    // d2xxLibrary: the converter library's file name (tests name another).
    TMainScreen(platform::TDialogs& dialogs, const std::string& d2xxLibrary,
                QWidget* parent = nullptr);
    ~TMainScreen() override;

    // Start-up, first show and shut-down.
    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormDestroy(QObject* Sender);
    void FormClose(QObject* Sender);
    void GetIniParam();
    void PutIniParam();

    // Document name, caption and recent-files drop-down.
    void SetFileName(const QString& name, bool addToRecent);
    // The caption from the document's name.
    void UpdateCaption();
    // Asks whether unsaved changes are to be saved; raises a silent abort
    // when the caller must not go on (Cancel, or the text was not saved).
    void CheckFileSave();
    void PerformFileOpen(const QString& name);
    void DropDownFileOpen(QObject* Sender);
    void PrintClick(QObject* Sender);
    // Seam: where the file, print and printer set-up dialogs come from.
    void SetFileDialogs(TFileDialogs* dialogs) { FFileDialogs = dialogs; }
    // Set by SetFileName: the document has no name of its own yet. Kept as
    // a flag, so it survives a change of the untitled name's language.
    bool FUntitled = true;

    // Reception from the three links: each hands its bytes to the capture
    // session.
    void Serial1RxChar(QObject* Sender);
    void AddReceivedText(const QByteArray& text);
    void InsertInfraredChunk(QByteArrayView chunk);

    // The infrared listener: set up at creation, closed at shut-down; its
    // socket messages arrive as custom events.
    void OpenIrDAListener();
    void IrDAEvent(uintptr_t wParam, intptr_t lParam);
    void CloseIrDAListener();

    // Instrument profiles and connection control.
    void CheckComPort();
    // The clicked Device menu item chooses the instrument profile.
    void SetupDevice(QObject* Sender);
    // Enables the port menu's items of a link kind (the kinds' codes 0
    // serial, 1 infrared, 2 USB) and checks the one in use.
    void EnableComMenu(TLinkKind kind);
    // The clicked COM item chooses the port and connects it.
    void ChangeComPort(QObject* Sender);
    // Pauses (true) or resumes (false) the link around modal work.
    void ConnectHalt(bool halt);
    // The port settings dialog of the manual profile and how it is shown;
    // without one, choosing "Manuell" shows nothing.
    void SetSerialDialog(TSerialDialog* dialog, TSerialDialogSeam* seam);

    // Help menu: language items, help file and about box.
    void SwitchLanguage(QObject* Sender);
    void HelpAbout1Click(QObject* Sender);
    void Hilfe1Click(QObject* Sender);
    void Info1Click(QObject* Sender);
    // The help file of the current language, empty for other languages.
    static QString HelpFile();

    // Prompt cycle and status bar.
    void RefreshStatusBar();
    // Panel 0's tooltip shows the newest note, with its time: why the last
    // connect failed, that a vanished port's link was re-established, and the like.
    enum class TStatusNote { None, ConnectFailure, Journal, Reconnected };
    void ShowStatusNote(TStatusNote kind, const QString& text);
    void ClearStatusNote(TStatusNote kind);
    void PromptTimeTimer(QObject* Sender);
    void RestartPromptTimer();

    // Runs a command or handler so that an exception it raises is shown in
    // the error box instead of leaving the event loop (a silent abort is not
    // shown).
    void RunGuarded(const std::function<void()>& command);

    // Seams: where serial bytes come from, and the user's decimal separator
    // (the system's regional setting unless replaced).
    void SetReceptionSource(TByteSource* source) { FReceptionSource = source; }
    void SetDecimalSeparatorSource(std::function<QString()> source) {
        FSession.SetDecimalSeparatorSource(std::move(source));
    }
    // Where help files, mail links and the about box go; none: the desktop.
    void SetShell(TShell* shell);
    // Where the manuals that ship with the program are looked for (by
    // default beside the running program, see HelpManualFolders).
    void SetHelpFolders(const QStringList& folders) { FHelpFolders = folders; }
    TEditorInserter& Inserter() { return *FInserter; }
    // The readings received since the series began, shown in the panel.
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

    // The form as designed: components, menus, tool bar, status bar.
    void BuildForm();
    void BuildActions();
    void BuildMenus();
    void BuildDeviceMenu();
    void BuildToolBar();
    void BuildEditor();
    void BuildStatusBar();
    void BuildSerial();
    void BuildInfrared();
    void BuildUsb();
    QAction* MakeAction(const char* name, const char* caption, const QKeySequence& shortcut,
                        int image);
    void Bind(QAction* action, void (TMainScreen::*handler)(QObject*));
    void ApplyGeometry();
    void ApplyProfile(const TProfile& profile);
    QAction* MakeComItem(int port);
    // The COM items follow the port manager's list while the program runs.
    void FollowComPorts();
    void BindHelpMenu();
    std::array<QAction*, 3> LanguageItems() const;
    void RetranslateWindow();
    // The saved language for what the start says before the first show.
    void SelectSavedLanguage();
    const TProfile& ChosenProfile() const { return ProfileFor(Settings.Device); }
    // The manual profile's dialog; its choices become the saved rate and port.
    void ShowSerialDialog();

    // Connect and disconnect, run only through their actions.
    void act_interface_connecedExecute(QObject* Sender);
    void act_interface_disconnecedExecute(QObject* Sender);
    // The connected port vanished from the system.
    void Serial1COMRemoved(QObject* Sender);

    // Takes the links up again as they were before a close was refused.
    void RestartLinks(bool connect, bool listen);

    // Connecting again when the vanished port returns.
    void BuildReconnect();
    static void PortsChanged(void* window);
    void ReconnectWhenBack();
    void TryReconnect();
    // The USB converter of the link's connect number connection was pulled
    // out; a notice about an earlier connect is dropped.
    void UsbConverterLost(uint64_t connection);
    // The link's port or converter vanished: the line it was sending ends.
    void EndVanishedLine(TLinkKind link);

    // Edit commands that act on the editor and its clipboard.
    void act_edit_undoExecute(QObject* Sender);
    void act_edit_cutExecute(QObject* Sender);
    void act_edit_copyExecute(QObject* Sender);
    void act_edit_pasteExecute(QObject* Sender);
    void act_edit_markallExecute(QObject* Sender);
    void act_edit_clearExecute(QObject* Sender);
    void act_file_exitExecute(QObject* Sender);

    // Document commands.
    void act_file_newExecute(QObject* Sender);
    void act_file_openExecute(QObject* Sender);
    void act_file_saveExecute(QObject* Sender);
    void act_file_saveasExecute(QObject* Sender);
    void act_file_printersetupExecute(QObject* Sender);
    void act_file_printExecute(QObject* Sender);
    void PrintDocument(int indent);
    void WriteDocument(const QString& name);
    QPrinter& Printer();

    // Serial bytes arrived: the prompt cycle restarts.
    void SerialByteReceived();

    // TPromptCycleSink
    void SendPromptRequest() override;
    void PromptStateChanged() override;

    // The capture journal: kept from creation to shut-down, offered back at
    // the first show when a run before ended without shutting down.
    void StartJournal();
    void RecoverJournal();
    void OfferOrphan(journal::TOrphan& orphan);
    void KeepOrphanAside(journal::TOrphan& orphan);
    void PassOrphan(journal::TOrphan& orphan, const platform::TFileError& error);
    void JournalFailed(const QString& path, const platform::TFileError& error);

    // The capture session, its subscribers and the series view.
    void BuildCapture();

    // Settings of the run and run-time state.
    TSettings Settings;
    TRunState State;
    QString IniPath;
    QString CurrentFileName;

    // Components.
    QMenuBar* MainMenu1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QPlainTextEdit* Editor = nullptr;
    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 4> StatusPanels{};
    QLabel* StatusIcon = nullptr;
    TImageList* ImageList1 = nullptr;
    TImageList* StatusImageList = nullptr;
    QObject* ActionList1 = nullptr;
    TSerial* Serial1 = nullptr;
    QTimer* PromptTime = nullptr;
    TFileDialogInfo* OpenDialog = nullptr;
    TFileDialogInfo* SaveDialog = nullptr;
    QObject* PrintDialog = nullptr;
    QObject* PrinterSetupDialog = nullptr;
    QMenu* PopupMenu = nullptr;
    QMenu* PopupOpen = nullptr;
    std::array<QAction*, 5> FileItems{}; // File1..File5

    QMenu* Datei1 = nullptr;
    QMenu* Bearbeiten1 = nullptr;
    QMenu* Device1 = nullptr;
    QMenu* Schnittstelle1 = nullptr;
    QMenu* Hilfe1 = nullptr;
    QMenu* Lanuage = nullptr;
    QAction* Infrarot1 = nullptr;
    QAction* USB1 = nullptr;
    QAction* HelpAbout1 = nullptr;
    QAction* LanguageGerman = nullptr;
    QAction* LanguageEnglish = nullptr;
    QAction* LanguageFrench = nullptr;
    QAction* Info1 = nullptr;

    QAction* act_file_new = nullptr;
    QAction* act_file_open = nullptr;
    QAction* act_file_save = nullptr;
    QAction* act_file_saveas = nullptr;
    QAction* act_file_printersetup = nullptr;
    QAction* act_file_print = nullptr;
    QAction* act_file_exit = nullptr;
    QAction* act_edit_undo = nullptr;
    QAction* act_edit_cut = nullptr;
    QAction* act_edit_copy = nullptr;
    QAction* act_edit_paste = nullptr;
    QAction* act_edit_markall = nullptr;
    QAction* act_edit_clear = nullptr;
    QAction* act_interface_conneced = nullptr;
    QAction* act_interface_disconneced = nullptr;

    platform::TDialogs& FDialogs;
    TEditorInserter* FInserter = nullptr;
    TCaptureSession FSession;
    std::unique_ptr<TSerialLink> FSerialLink;
    std::unique_ptr<TPromptCycle> FPromptCycle;
    std::unique_ptr<TConnectionControl> FConnection;
    TIrDAListener* FIrDA = nullptr;
    std::unique_ptr<TLink> FInfraredLink;
    std::unique_ptr<TD2xxUnit> FD2xx; // outlives the link, which reads through it
    std::unique_ptr<TUsbLink> FUsbLink;
    TByteSource* FReceptionSource = nullptr;
    QPointer<TSerialDialog> SerialDialog; // made by the program after the window
    TSerialDialogSeam* FSerialDialogSeam = nullptr;
    TQtTranslations FQtTranslations;
    TStatusNote FStatusNote = TStatusNote::None;
    TReconnect FReconnect;
    QTimer* ReconnectTime = nullptr;
    bool FAutoConnecting = false;        // the connect is the reconnect's own
    bool FComItemsDue = false;           // FollowComPorts is on its way
    std::shared_ptr<void> FPortListener; // leaves the port manager's listeners
    std::unique_ptr<TShell> FDesktopShell;
    TShell* FShell = nullptr;
    QStringList FHelpFolders;
    bool FDestroyed = false;
    int FLinkPauses = 0; // TLinkPause objects alive
    // Closing stopped the links: nothing connects by itself.
    bool FLinksStopped = false;
    // The document came from a UTF-8 file, or holds text that needs one.
    bool FUtf8Document = false;
    std::unique_ptr<TFileDialogs> FQtFileDialogs;
    TFileDialogs* FFileDialogs = nullptr;
    std::unique_ptr<QPrinter> FPrinter;
    TWindowGeometry FGeometry{*this};
    std::unique_ptr<TSeriesView> FSeriesView;
    std::unique_ptr<TDocumentJournal> FJournal;
    // Journals of this start that could be neither kept aside nor removed.
    QStringList FPassedOrphans;
};
