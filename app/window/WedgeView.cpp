#include "app/window/WedgeView.h"

#include "app/texts/Texts.h"
#include "app/window/Settings.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QWindow>

using wedge::TWedgeKey;
using wedge::TWedgeReason;
using wedge::TWedgeWhat;

namespace {

const QString Section = QStringLiteral("Wedge");
const char* const UnavailableTip = "Weder XTEST noch das Portal ist da (%1)";

// The settings file's words for the choices, in the radio items' order.
const char* const AfterWords[] = {"Enter", "Tab", "None"};
const char* const WhatWords[] = {"Line", "Value"};

template <size_t N> int IndexOf(const char* const (&words)[N], const QString& text, int fallback) {
    for (size_t i = 0; i < N; ++i)
        if (text.compare(QLatin1String(words[i]), Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return fallback;
}

// Texts set at run time are kept out of the translation walk.
void MarkRunTimeTexts(QObject* object, const QStringList& properties) {
    object->setProperty("gnugettextIgnore", properties);
}

QString ReportText(const wedge::TWedgeReport& report) {
    const auto text = [](const char* german) { return Translated(german); };
    switch (report.Reason) {
    case TWedgeReason::TooLong:
        return text("Nicht getippt: ein Messwert mit %1 Zeichen (höchstens %2)")
            .arg(report.Detail)
            .arg(wedge::MaxTypedLength);
    case TWedgeReason::ControlCharacter:
        return text("Nicht getippt: Steuerzeichen %1 im Messwert").arg(report.Detail);
    case TWedgeReason::NoValue:
        return text("Nicht getippt: Die Zeile hat keinen Zahlenwert");
    case TWedgeReason::UntypableCharacter:
        return text("Nicht getippt: Die Tastaturbelegung hat kein „%1“").arg(report.Detail);
    case TWedgeReason::QueueFull:
        return text("Tippen aus: mehr als %1 Messwerte warteten").arg(report.Detail);
    case TWedgeReason::Unavailable:
        return text("Tippen aus: Weder XTEST noch das Portal ist da (%1)").arg(report.Detail);
    case TWedgeReason::PermissionDenied:
        return text("Tippen aus: keine Erlaubnis (%1)").arg(report.Detail);
    case TWedgeReason::SessionEnded:
        return text("Tippen aus: Die Sitzung ist beendet (%1)").arg(report.Detail);
    case TWedgeReason::Failed:
        break;
    }
    return text("Tippen aus: %1").arg(report.Detail);
}

} // namespace

TWedgeView::TWedgeView(QMainWindow& window, QMenu& before, TSeams seams)
    : FWindow(window), FSeams(std::move(seams)),
      FWedge([this] { return FMayType.load(); }, FSeams.Typer) {
    setObjectName(QStringLiteral("WedgeView"));
    auto* menu = new QMenu(QStringLiteral("Extras"), window.menuBar());
    menu->setObjectName(QStringLiteral("Extras1"));
    menu->setToolTipsVisible(true); // the disabled item says why
    window.menuBar()->insertMenu(before.menuAction(), menu);
    FTypeItem = new QAction(QStringLiteral("In aktives Fenster tippen"), menu);
    FTypeItem->setObjectName(QStringLiteral("TypeIntoWindow1"));
    FTypeItem->setCheckable(true);
    menu->addAction(FTypeItem);
    menu->addSeparator();

    auto* after = new QMenu(QStringLiteral("Nach dem Wert"), menu);
    after->setObjectName(QStringLiteral("AfterValue1"));
    menu->addMenu(after);
    FAfter = new QActionGroup(after);
    AddRadio(*after, *FAfter, "AfterEnter1", "Eingabetaste", static_cast<int>(TWedgeKey::Enter));
    AddRadio(*after, *FAfter, "AfterTab1", "Tabulator", static_cast<int>(TWedgeKey::Tab));
    AddRadio(*after, *FAfter, "AfterNothing1", "Nichts", static_cast<int>(TWedgeKey::None));
    auto* what = new QMenu(QStringLiteral("Was"), menu);
    what->setObjectName(QStringLiteral("WhatTyped1"));
    menu->addMenu(what);
    FWhat = new QActionGroup(what);
    AddRadio(*what, *FWhat, "WhatLine1", "Ganze Zeile", static_cast<int>(TWedgeWhat::WholeLine));
    AddRadio(*what, *FWhat, "WhatValue1", "Nur Zahlenwert",
             static_cast<int>(TWedgeWhat::ValueOnly));
    Choose({});

    FPanel = new QLabel(window.statusBar());
    FPanel->setObjectName(QStringLiteral("WedgePanel"));
    FPanel->setTextFormat(Qt::PlainText);
    FPanel->setAccessibleDescription(QStringLiteral("Tippen in andere Programme"));
    MarkRunTimeTexts(FPanel, {QStringLiteral("text"), QStringLiteral("toolTip")});
    window.statusBar()->addPermanentWidget(FPanel);
    FPanel->hide();

    MarkRunTimeTexts(FTypeItem, {QStringLiteral("toolTip")});
    // In German until the window's first translation: a damaged catalog
    // must first be met where that translation reports it.
    if (FSeams.Session == wedge::TSessionKind::None) {
        FUnavailable = QStringLiteral("neither an X11 nor a Wayland session");
        FTypeItem->setEnabled(false);
        FTypeItem->setToolTip(QString::fromUtf8(UnavailableTip).arg(*FUnavailable));
    }
    // The walk renewing the item's text is the language switch.
    connect(FTypeItem, &QAction::changed, this, &TWedgeView::ShowTexts);
    connect(FTypeItem, &QAction::toggled, this, [this](bool on) {
        if (!on) {
            FWedge.Stop();
            return;
        }
        FShown.reset();
        ShowTexts();
        ApplyOptions();
        FWedge.Start();
    });
    connect(FAfter, &QActionGroup::triggered, this, [this] { ApplyOptions(); });
    connect(FWhat, &QActionGroup::triggered, this, [this] { ApplyOptions(); });
    connect(&FWedge, &wedge::TKeyboardWedge::StateChanged, this, &TWedgeView::StateChanged);
    connect(&FWedge, &wedge::TKeyboardWedge::Reported, this, &TWedgeView::Report);

    // The gate: another program's window is active, no modal dialog of ours.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TWedgeView::UpdateGate);
    window.installEventFilter(this);
    UpdateGate();
}

TWedgeView::~TWedgeView() {
    FWindow.removeEventFilter(this);
}

QAction* TWedgeView::AddRadio(QMenu& menu, QActionGroup& group, const char* name,
                              const char* caption, int tag) {
    auto* item = new QAction(QString::fromUtf8(caption), &menu);
    item->setObjectName(QString::fromLatin1(name));
    item->setCheckable(true);
    item->setData(tag);
    group.addAction(item);
    menu.addAction(item);
    return item;
}

void TWedgeView::LineFinished(const TCaptureLine& line) {
    if (!FTypeItem->isChecked())
        return;
    FWedge.Submit(line.Text.toString());
}

TWedgeSettings TWedgeView::Chosen() const {
    TWedgeSettings chosen;
    if (const QAction* after = FAfter->checkedAction())
        chosen.After = static_cast<TWedgeKey>(after->data().toInt());
    if (const QAction* what = FWhat->checkedAction())
        chosen.What = static_cast<TWedgeWhat>(what->data().toInt());
    return chosen;
}

void TWedgeView::Choose(const TWedgeSettings& settings) {
    for (QAction* item : FAfter->actions())
        item->setChecked(item->data().toInt() == static_cast<int>(settings.After));
    for (QAction* item : FWhat->actions())
        item->setChecked(item->data().toInt() == static_cast<int>(settings.What));
    ApplyOptions();
}

void TWedgeView::ApplyOptions() {
    const TWedgeSettings chosen = Chosen();
    const QChar separator = FSeams.DecimalSeparator ? FSeams.DecimalSeparator() : QChar(u'.');
    FWedge.SetOptions({chosen.What, chosen.After, separator});
}

void TWedgeView::LoadSettings(const QString& iniPath) {
    const TIniFileAccess ini(iniPath);
    TWedgeSettings settings;
    settings.After = static_cast<TWedgeKey>(
        IndexOf(AfterWords, ini.ReadString(Section, QStringLiteral("After"), QString()), 0));
    settings.What = static_cast<TWedgeWhat>(
        IndexOf(WhatWords, ini.ReadString(Section, QStringLiteral("What"), QString()), 0));
    Choose(settings);
}

void TWedgeView::SaveSettings(const QString& iniPath) const {
    const TIniFileAccess ini(iniPath);
    const TWedgeSettings chosen = Chosen();
    // A file gets the section once a choice differs from the defaults.
    if (chosen == TWedgeSettings() &&
        ini.ReadString(Section, QStringLiteral("After"), QString()).isEmpty() &&
        ini.ReadString(Section, QStringLiteral("What"), QString()).isEmpty())
        return;
    ini.WriteString(Section, QStringLiteral("After"),
                    QLatin1String(AfterWords[static_cast<int>(chosen.After)]));
    ini.WriteString(Section, QStringLiteral("What"),
                    QLatin1String(WhatWords[static_cast<int>(chosen.What)]));
}

void TWedgeView::UpdateGate() {
    // One of our windows has the keyboard (the application is active).
    const bool ours = QGuiApplication::focusWindow() != nullptr;
    FMayType.store(!ours && !FBlocked);
}

bool TWedgeView::eventFilter(QObject* watched, QEvent* event) {
    // A modal dialog of ours blocks the window while it is up (the
    // application's modal stack is not yet unwound when the unblocking is
    // told, so it is not asked).
    if (event->type() == QEvent::WindowBlocked || event->type() == QEvent::WindowUnblocked) {
        FBlocked = event->type() == QEvent::WindowBlocked;
        UpdateGate();
    }
    return QObject::eventFilter(watched, event);
}

void TWedgeView::StateChanged(wedge::TWedgeState state) {
    if (state == wedge::TWedgeState::Off)
        FTypeItem->setChecked(false);
}

void TWedgeView::Report(const wedge::TWedgeReport& report) {
    if (report.Reason == TWedgeReason::Unavailable)
        MarkUnavailable(report.Detail);
    FShown = report;
    ShowTexts();
}

void TWedgeView::MarkUnavailable(const QString& detail) {
    FUnavailable = detail;
    FTypeItem->setChecked(false);
    FTypeItem->setEnabled(false);
    ShowTexts();
}

void TWedgeView::ShowTexts() {
    if (FUnavailable) {
        const QString tip = Translated(UnavailableTip).arg(*FUnavailable);
        if (FTypeItem->toolTip() != tip)
            FTypeItem->setToolTip(tip);
    }
    const QString text = FShown ? ReportText(*FShown) : QString();
    if (FPanel->text() != text)
        FPanel->setText(text);
    FPanel->setToolTip(text);
    FPanel->setVisible(!text.isEmpty());
}
