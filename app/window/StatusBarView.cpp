#include "app/window/StatusBarView.h"

#include "app/texts/Texts.h"
#include "app/window/ElidedLabel.h"
#include "app/window/FormParts.h"
#include "app/window/ImageList.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTime>

namespace {

constexpr int kWidths[4] = {170, 50, 80, 50};
constexpr const char* kRoles[4] = {"Verbindungszustand", "Schnittstelle", "Baudrate", "Gerät"};

void SetText(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

QString LinkText(TLinkKind link, int port) {
    switch (link) {
    case TLinkKind::Infrared:
        return QStringLiteral("IrDA");
    case TLinkKind::Usb:
        return QStringLiteral("USB");
    case TLinkKind::Serial:
        break;
    }
    return port == 0 ? QStringLiteral("Com--") : QStringLiteral("Com%1").arg(port);
}

} // namespace

TStatusBarView::TStatusBarView(QMainWindow& window)
    : FBar(new QStatusBar(&window)),
      FImages(new TImageList(QStringLiteral("StatusImageList"), MakeStatusImages(), &window)) {
    FBar->setObjectName(QStringLiteral("StatusBar"));
    FBar->setSizeGripEnabled(false);
    FBar->setFixedHeight(20);
    window.setStatusBar(FBar);
    for (int i = 0; i < 4; ++i) {
        // The last panel's caption, the instrument's name, may not fit.
        auto* panel = i == 3 ? new TElidedLabel(FBar) : new QLabel(FBar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setAccessibleDescription(QString::fromUtf8(kRoles[i]));
        // The role follows the language; the panel's state texts do not.
        MarkRunTimeTexts(panel, {QStringLiteral("text"), QStringLiteral("toolTip")});
        FPanels[static_cast<size_t>(i)] = panel;
    }
    // Panel 0 carries the state icon in front of its text.
    auto* first = new QWidget(FBar);
    first->setObjectName(QStringLiteral("StatusPanel0Frame"));
    first->setFixedWidth(kWidths[0]);
    auto* layout = new QHBoxLayout(first);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(4);
    FIcon = new QLabel(first);
    FIcon->setObjectName(QStringLiteral("StatusIcon"));
    FIcon->setFixedSize(16, 16);
    MarkRunTimeTexts(FIcon, {QStringLiteral("*")});
    layout->addWidget(FIcon);
    FPanels[0]->setParent(first);
    layout->addWidget(FPanels[0], 1);
    FBar->addWidget(first);
    for (size_t i = 1; i < 3; ++i) {
        FPanels[i]->setFixedWidth(kWidths[i]);
        FBar->addWidget(FPanels[i]);
    }
    // The last panel reaches the window's right edge.
    FPanels[3]->setTextFormat(Qt::PlainText);
    FPanels[3]->setMinimumWidth(kWidths[3]);
    FBar->addWidget(FPanels[3], 1);
}

void TStatusBarView::Show(const TStatusFacts& facts) {
    const TConnectionStatus status = ConnectionStatus(facts.Connection);
    SetText(FPanels[0], status.Text.empty() ? QString() : Translated(status.Text.data()));
    if (FIcon->property("StateIcon").toInt() != status.Icon || FIcon->pixmap().isNull()) {
        FIcon->setPixmap(FImages->Image(status.Icon).pixmap(16, 16));
        FIcon->setProperty("StateIcon", status.Icon);
    }
    // The icon tells the state also while the text blinks away.
    const QString described =
        Translated(status.Text.empty() ? "Suche Gerät..." : status.Text.data());
    if (FIcon->accessibleDescription() != described)
        FIcon->setAccessibleDescription(described);
    const TLinkKind link = facts.Connection.Link;
    SetText(FPanels[1], LinkText(link, facts.Port));
    SetText(FPanels[2],
            link == TLinkKind::Serial ? QStringLiteral("%1 Baud").arg(facts.Baudrate) : QString());
    SetText(FPanels[3], facts.Device);
}

void TStatusBarView::ShowNote(TNote kind, const QString& text) {
    if (text.isEmpty())
        return;
    FNote = kind;
    FPanels[0]->setToolTip(QStringLiteral("%1  %2").arg(
        QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text));
}

void TStatusBarView::ClearNote(TNote kind) {
    if (FNote != kind)
        return;
    FNote = TNote::None;
    FPanels[0]->setToolTip(QString());
}
