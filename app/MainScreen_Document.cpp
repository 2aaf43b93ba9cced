// The document's name, the window caption and the recent-files drop-down.
#include "app/TMainScreen.h"

#include "app/RecentFiles.h"
#include "app/Texts.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>

void TMainScreen::SetFileName(const QString& name, bool addToRecent) {
    CurrentFileName = name;
    setWindowTitle(QStringLiteral("%1 - %2").arg(QFileInfo(name).fileName(),
                                                 QCoreApplication::applicationName()));
    TRecentFiles recent(Settings.Files);
    if (addToRecent)
        recent.Add(name, UntitledName());
    for (int i = 0; i < TRecentFiles::Count; ++i) {
        QAction* item = FileItems[static_cast<size_t>(i)];
        // A "&" in a file name is text, not an accelerator mark.
        item->setText(QString(recent.Caption(i)).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setVisible(recent.Visible(i));
        item->setEnabled(recent.Visible(i));
    }
}
