// Language switching, the help file and the about box.
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"

#include "app/dialogs/HelpManual.h"
#include "app/dialogs/InfoDlg.h"
#include "app/dialogs/Shell.h"
#include "app/texts/Texts.h"
#include "i18n/gnugettext.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QUrl>

#include <array>
#include <exception>

// The help file belongs to the application, as the language does.
constexpr const char* kHelpFileProperty = "HelpFile";

void TMainScreen::BindHelpMenu(QAction* info) {
    connect(Hilfe1, &QMenu::aboutToShow, this,
            [this] { RunGuarded([this] { Hilfe1Click(Hilfe1); }); });
    Bind(HelpAbout1, &TMainScreen::HelpAbout1Click);
    HelpAbout1->setEnabled(false); // until a language with a help file is chosen
    for (QAction* item : FLanguageItems)
        Bind(item, &TMainScreen::SwitchLanguage);
    Bind(info, &TMainScreen::Info1Click);
}

void TMainScreen::SetShell(TShell* shell) {
    FShell = shell != nullptr ? shell : FDesktopShell.get();
}

QString TMainScreen::HelpFile() {
    return qApp->property(kHelpFileProperty).toString();
}

void TMainScreen::SwitchLanguage(QObject* Sender) {
    // Retranslating walks the window; the readings go in before it.
    FInserter->Flush();
    const std::array<QAction*, 3> items = FLanguageItems;
    for (size_t i = 0; i < items.size(); ++i)
        if (Sender == items[i])
            Settings.Language = QString::fromLatin1(WindowLanguages[i]);
    for (size_t i = 0; i < items.size(); ++i)
        items[i]->setChecked(Settings.Language == QLatin1String(WindowLanguages[i]));
    const QString helpFile = CompiledHelpFile(Settings.Language);
    qApp->setProperty(kHelpFileProperty, helpFile);

    // A catalog that cannot be read is reported once, but the status bar
    // and the link are still looked after.
    std::exception_ptr failure;
    HelpAbout1->setEnabled(!helpFile.isEmpty());
    if (!helpFile.isEmpty()) {
        try {
            gnugettext::SelectLanguage(Settings.Language);
            FQtTranslations.Select(Settings.Language);
            RetranslateWindow();
            // An untitled document shows the untitled name of the new
            // language; any other name stays as the program last set it.
            if (FUntitled) {
                CurrentFileName = UntitledName();
                UpdateCaption();
            }
        } catch (...) {
            failure = std::current_exception();
        }
    }
    RefreshStatusBar();
    ConnectHalt(false);
    if (failure)
        std::rethrow_exception(failure);
}

void TMainScreen::SelectSavedLanguage() {
    FQtTranslations.Select(Settings.Language);
    // A language without a catalog keeps the environment's. A damaged
    // catalog raises at its first use, which the window's first translation
    // guards, and is not read again.
    if (!CompiledHelpFile(Settings.Language).isEmpty())
        gnugettext::SelectLanguage(Settings.Language);
}

void TMainScreen::RetranslateWindow() {
    // A window whose first translation failed (a damaged catalog) carries no
    // mark; it is translated afresh instead of refusing every later switch.
    if (gnugettext::IsTranslated(this))
        gnugettext::RetranslateComponent(this);
    else
        gnugettext::TranslateComponent(this);
}

void TMainScreen::HelpAbout1Click(QObject*) {
    const TLinkPause paused(*this);
    // A compiled help file in the current folder is opened as it always
    // was; without one, the manual that ships with the program. With
    // neither, the help file's name goes to the desktop, which says nothing.
    const QString helpFile = HelpFile();
    const QString manual = FindHelpManual(FHelpFolders, Settings.Language);
    if (!QFileInfo::exists(helpFile) && !manual.isEmpty())
        FShell->Open(QUrl::fromLocalFile(manual).toString());
    else
        FShell->Open(helpFile);
}

void TMainScreen::Hilfe1Click(QObject*) {}

void TMainScreen::Info1Click(QObject*) {
    auto* about = new TAbout(*FShell, this);
    gnugettext::RetranslateComponent(about);
    FShell->ShowModal(*about);
}
