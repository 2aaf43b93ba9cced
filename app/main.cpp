// Program entry: modules start, the main window runs, modules end in reverse.
#include "app/demo/ProfileTour.h"
#include "app/demo/Snapshot.h"
#include "app/texts/ProgramResourceStrings.h"
#include "app/window/TApplication.h"
#include "app/window/TMainScreen.h"
#include "i18n/ResourceStrings.h"
#include "i18n/TGnuGettextInstance.h"
#include "i18n/gnugettext.h"
#include "irda/wsocket.h"
#include "platform/TThread.h"
#include "platform/gui/QtDialogs.h"
#include "serial/TCOMManager.h"
#include "serial/TSerial.h"
#include "serial_dialog/SerialDialogSeam.h"
#include "serial_dialog/TSerialDialog.h"

#include <QCommandLineParser>
#include <QMenu>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

// A time on the command line: whole seconds, at most a day (a timer counts
// in milliseconds, which larger numbers would overflow).
std::optional<int> Seconds(const QCommandLineParser& options, const QString& name) {
    constexpr int Day = 24 * 60 * 60;
    bool number = false;
    const int seconds = options.value(name).toInt(&number);
    if (number && seconds >= 0 && seconds <= Day)
        return seconds;
    std::fprintf(stderr, "brisquell: --%s takes whole seconds from 0 to %d, not \"%s\"\n",
                 qPrintable(name), Day, qPrintable(options.value(name)));
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    platform::SetMainThread();
    application.setApplicationName(QStringLiteral("Brisquell"));
    // For demonstrations: --tour TAG,TAG,... chooses those instrument
    // profiles one after the other (--tour-every SECONDS apart), and
    // --snapshot PREFIX saves a picture of the window and the document's
    // text after --snapshot-after SECONDS, then ends the program.
    QCommandLineParser options;
    options.addHelpOption();
    options.addOptions(
        {{"tour", "Choose these instrument profiles in turn.", "TAGS"},
         {"tour-every", "Seconds between two profiles of the tour (8).", "SECONDS", "8"},
         {"snapshot", "Save PREFIX.png and PREFIX.txt, then quit.", "PREFIX"},
         {"snapshot-after", "Seconds before the snapshot (20).", "SECONDS", "20"}});
    options.process(application);
    const std::optional<int> tourEvery = Seconds(options, QStringLiteral("tour-every"));
    const std::optional<int> snapshotAfter = Seconds(options, QStringLiteral("snapshot-after"));
    if (!tourEvery || !snapshotAfter)
        return 1;
    platform::TQtDialogs dialogs;
    application.SetDialogs(&dialogs);
    // Modules start in this order once the application object exists (the
    // port manager's device watcher needs its event loop) and end in reverse.
    SerialModuleStart();
    gnugettext::RegisterResourceStrings(ProgramResourceStrings());
    GnuGettextModuleStart();
    gnugettext::GlobalEngine->SetDialogs(&dialogs);
    try {
        WSocketModuleStart();
    } catch (const ESocketError& error) {
        std::fprintf(stderr, "brisquell: %s\n", error.what()); // no sockets: no program
        GnuGettextModuleEnd();
        SerialModuleEnd();
        return 1;
    }
    int result = 0;
    {
        auto MainScreen = std::make_unique<TMainScreen>(dialogs);
        dialogs.SetOwner(MainScreen.get());
        // Made hidden after the main window, bound to its serial component.
        // Not a child of the window: the window's translation must not reach it.
        TSerialDialog SerialDialog(MainScreen->findChild<TSerial*>(QStringLiteral("Serial1")));
        TQtSerialDialogSeam serialDialogSeam;
        MainScreen->SetSerialDialog(&SerialDialog, &serialDialogSeam);
        MainScreen->show();
        std::unique_ptr<TProfileTour> tour;
        if (options.isSet("tour")) {
            QList<int> tags;
            for (const QString& tag : options.value("tour").split(QLatin1Char(',')))
                tags.append(tag.toInt());
            if (auto* deviceMenu = MainScreen->findChild<QMenu*>(QStringLiteral("Device1")))
                tour = std::make_unique<TProfileTour>(*deviceMenu, tags, *tourEvery);
        }
        std::unique_ptr<TSnapshot> snapshot;
        if (options.isSet("snapshot"))
            snapshot =
                std::make_unique<TSnapshot>(*MainScreen, options.value("snapshot"), *snapshotAfter);
        result = TApplication::exec();
        dialogs.SetOwner(nullptr);
    }
    WSocketModuleEnd();
    GnuGettextModuleEnd();
    SerialModuleEnd();
    return result;
}
