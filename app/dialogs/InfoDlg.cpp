#include "app/dialogs/InfoDlg.h"

#include "app/dialogs/Shell.h"
#include "i18n/gnugettext.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

const char* const TAbout::ContactAddress = "post@kalvex.example";

namespace {

QFont ArialFont(int pixels, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// Labels get room for their longest translation; they never reach the OK
// button beside the top rows or the right edge of the contact frame.
QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, QPoint at, int width,
                  const QFont& font = QFont()) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    if (font != QFont())
        label->setFont(font);
    label->setGeometry(at.x(), at.y(), width, label->sizeHint().height());
    return label;
}

QFrame* MakeBevel(QWidget* parent, const char* name, QRect rect, QFrame::Shape shape) {
    auto* bevel = new QFrame(parent);
    bevel->setObjectName(QString::fromLatin1(name));
    bevel->setFrameShape(shape);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(rect);
    return bevel;
}

void SetColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

TAbout::TAbout(TShell& shell, QWidget* owner)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      FShell(shell) {
    BuildForm();
    FormCreate(this);
}

void TAbout::BuildForm() {
    constexpr int kTopWidth = 232 - 16 - 4;   // up to the OK button
    constexpr int kFrameRight = 16 + 265 - 8; // inside the contact frame
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(299, 330);
    if (QWidget* owner = parentWidget())
        move(owner->frameGeometry().center() - rect().center());

    // The product, its version and the rights notice are the same in every
    // language: they have no catalog entries.
    MakeLabel(this, "Label8", "Brisquell", {16, 8}, kTopWidth, ArialFont(32, true));
    MakeLabel(this, "Label13", "Werkstatt-Ausgabe", {16, 40}, kTopWidth, ArialFont(16, true));
    MakeLabel(this, "Label10", "Version 1.30", {16, 64}, kTopWidth, ArialFont(16, false));
    MakeLabel(this, "Label9", "© 2012 Kalvex GmbH", {16, 88}, kTopWidth, ArialFont(16, false));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setGeometry(232, 80, 49, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { BitBtn1Click(this); });

    MakeBevel(this, "Bevel2", {8, 121, 281, 2}, QFrame::HLine);
    MakeBevel(this, "Bevel1", {16, 136, 265, 177}, QFrame::Box);

    QLabel* company = MakeLabel(this, "Label1", "Kalvex", {24, 144}, 80, ArialFont(21, true));
    SetColour(company, Qt::gray);
    MakeLabel(this, "Label2", "Messtechnik", {104, 144}, kFrameRight - 104, ArialFont(21, false));
    QLabel* rule = MakeLabel(this, "Label3", "", {24, 168}, kFrameRight - 24);
    rule->setFixedHeight(3);
    rule->setStyleSheet(QStringLiteral("border-top: 3px dotted #c00000;"));
    const QFont slogan = [] {
        QFont font;
        font.setPixelSize(13);
        font.setItalic(true);
        return font;
    }();
    MakeLabel(this, "Label4", "Messen, was zählt.", {24, 176}, kFrameRight - 24, slogan);
    MakeLabel(this, "Label5", "Am Prüffeld 12", {24, 200}, kFrameRight - 24);
    MakeLabel(this, "Label6", "D-79999 Lindenau", {24, 216}, kFrameRight - 24);
    MakeLabel(this, "Label7", "Telefon: +49 (0)7600 4711-0", {24, 240}, kFrameRight - 24);
    MakeLabel(this, "Label11", "Telefax: +49 (0)7600 4711-99", {24, 256}, kFrameRight - 24);
    MakeLabel(this, "Label12", "E-Mail: post@kalvex.example", {24, 272}, 208 - 24);
    MakeLabel(this, "Label14", "Internet: www.kalvex.example", {24, 288}, kFrameRight - 24);

    auto* mail = new QPushButton(QStringLiteral("Kontakt"), this);
    mail->setObjectName(QStringLiteral("EMAIL"));
    mail->setGeometry(208, 272, 57, 16);
    mail->setToolTip(QString::fromLatin1(ContactAddress));
    connect(mail, &QPushButton::clicked, this, [this] { EMAILClick(this); });
}

void TAbout::FormCreate(QObject*) {
    gnugettext::TranslateComponent(this);
}

void TAbout::FormClose(QObject*) {
    // Closing frees the box: each showing works with a fresh instance.
    setAttribute(Qt::WA_DeleteOnClose);
}

void TAbout::done(int result) {
    FormClose(this);
    QDialog::done(result);
}

void TAbout::BitBtn1Click(QObject*) {
    accept();
}

void TAbout::EMAILClick(QObject*) {
    FShell.Open(QStringLiteral("mailto:%1?subject=Brisquell").arg(QLatin1String(ContactAddress)));
}
