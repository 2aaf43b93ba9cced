#include "app/dialogs/Shell.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QUrl>

void TDesktopShell::Open(const QString& target) {
    const QUrl url(target);
    // A link with a scheme (mailto:) goes as it is; anything else is a file.
    if (url.scheme().size() > 1)
        QDesktopServices::openUrl(url);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::current().absoluteFilePath(target)));
}

void TDesktopShell::ShowModal(QDialog& dialog) {
    dialog.exec();
}
