#include "app/window/TApplication.h"

#include "app/window/Abort.h"
#include "platform/Dialogs.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const EAbort&) {
    } catch (const std::exception& error) {
        if (FDialogs != nullptr)
            FDialogs->ShowException(QString::fromUtf8(error.what()));
    } catch (...) {
        if (FDialogs != nullptr)
            FDialogs->ShowException(QStringLiteral("Unknown error"));
    }
    return false;
}
