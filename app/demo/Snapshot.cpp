#include "app/demo/Snapshot.h"

#include "platform/Files.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QWidget>

#include <cstdio>

namespace {

// Writes one file through the replacing writer; says on standard output
// where it went, or on standard error why it did not.
bool Save(const char* label, const QString& path, const QByteArray& bytes) {
    const QString shown = QFileInfo(path).absoluteFilePath();
    if (const platform::TFileError error = platform::ReplaceFile(path, bytes)) {
        std::fprintf(stderr, "brisquell: cannot write %s: %s\n", qPrintable(shown),
                     qPrintable(platform::EnglishDescription(error)));
        return false;
    }
    std::printf("%-9s %s\n", label, qPrintable(shown));
    return true;
}

QByteArray Png(const QPixmap& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
        return {};
    return bytes;
}

} // namespace

TSnapshot::TSnapshot(QWidget& window, QString prefix, int seconds)
    : FWindow(window), FPrefix(std::move(prefix)) {
    FTimer.setSingleShot(true);
    FTimer.setInterval(seconds * 1000);
    connect(&FTimer, &QTimer::timeout, this, [this] { QCoreApplication::exit(Take() ? 0 : 1); });
    FTimer.start();
}

bool TSnapshot::Take() {
    // The screen's pixels, read back from the display server: the picture
    // shows what the user sees, which the window's own rendering of itself
    // would not (a missed repaint, another window in front).
    QScreen* screen = FWindow.screen();
    const QByteArray picture = screen != nullptr ? Png(screen->grabWindow(FWindow.winId())) : "";
    bool written = !picture.isEmpty();
    if (written)
        written = Save("Window:", FPrefix + QStringLiteral(".png"), picture);
    else
        std::fprintf(stderr, "brisquell: no picture of the window could be taken\n");
    if (const auto* editor = FWindow.findChild<QPlainTextEdit*>(QStringLiteral("Editor")))
        written =
            Save("Document:", FPrefix + QStringLiteral(".txt"), editor->toPlainText().toUtf8()) &&
            written;
    // The series panel on its own, when it shows: the README's second picture.
    const auto* dock = FWindow.findChild<QWidget*>(QStringLiteral("SeriesDock"));
    if (screen != nullptr && dock != nullptr && dock->isVisible()) {
        const QRect area(dock->mapTo(&FWindow, QPoint(0, 0)), dock->size());
        const QByteArray panel = Png(
            screen->grabWindow(FWindow.winId(), area.x(), area.y(), area.width(), area.height()));
        written = !panel.isEmpty() &&
                  Save("Series:", FPrefix + QStringLiteral("-series.png"), panel) && written;
    }
    std::fflush(stdout);
    return written;
}
