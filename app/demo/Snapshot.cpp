#include "app/demo/Snapshot.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScreen>
#include <QWidget>

#include <cstdio>

TSnapshot::TSnapshot(QWidget& window, QString prefix, int seconds)
    : FWindow(window), FPrefix(std::move(prefix)) {
    FTimer.setSingleShot(true);
    FTimer.setInterval(seconds * 1000);
    connect(&FTimer, &QTimer::timeout, this, [this] { QCoreApplication::exit(Take() ? 0 : 1); });
    FTimer.start();
}

bool TSnapshot::Take() {
    const QString picture = FPrefix + QStringLiteral(".png");
    const QString document = FPrefix + QStringLiteral(".txt");
    // The screen's pixels, read back from the display server: the picture
    // shows what the user sees, which the window's own rendering of itself
    // would not (a missed repaint, another window in front).
    QScreen* screen = FWindow.screen();
    bool written = screen != nullptr && screen->grabWindow(FWindow.winId()).save(picture, "PNG");
    // The series panel on its own, when it shows: the README's second picture.
    const QString panel = FPrefix + QStringLiteral("-series.png");
    const auto* dock = FWindow.findChild<QWidget*>(QStringLiteral("SeriesDock"));
    const bool panelShown = screen != nullptr && dock != nullptr && dock->isVisible();
    if (panelShown) {
        const QRect area(dock->mapTo(&FWindow, QPoint(0, 0)), dock->size());
        written =
            screen->grabWindow(FWindow.winId(), area.x(), area.y(), area.width(), area.height())
                .save(panel, "PNG") &&
            written;
    }
    if (const auto* editor = FWindow.findChild<QPlainTextEdit*>(QStringLiteral("Editor"))) {
        QSaveFile file(document);
        written = file.open(QIODevice::WriteOnly) &&
                  file.write(editor->toPlainText().toUtf8()) >= 0 && file.commit() && written;
    }
    std::printf("Window:   %s\nDocument: %s\n", qPrintable(QFileInfo(picture).absoluteFilePath()),
                qPrintable(QFileInfo(document).absoluteFilePath()));
    if (panelShown)
        std::printf("Series:   %s\n", qPrintable(QFileInfo(panel).absoluteFilePath()));
    std::fflush(stdout);
    return written;
}
