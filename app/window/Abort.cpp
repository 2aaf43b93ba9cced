#include "app/window/Abort.h"

#include "app/texts/FileTexts.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"

void RunGuarded(platform::TDialogs& dialogs, const std::function<void()>& command) {
    try {
        command();
    } catch (const EAbort&) {
        // cancelled by the user: nothing to report
    } catch (const platform::EFileError& error) {
        dialogs.ShowException(error.Error().Step == platform::TFileStep::Read
                                  ? ReadFailureText(error.Path(), error.Error())
                                  : WriteFailureText(error.Path(), error.Error()));
    } catch (const std::exception& error) {
        dialogs.ShowException(QString::fromUtf8(error.what()));
    } catch (...) {
        dialogs.ShowException(QStringLiteral("Unknown error"));
    }
}
