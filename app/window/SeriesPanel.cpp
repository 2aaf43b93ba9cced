#include "app/window/SeriesPanel.h"

#include "app/texts/Texts.h"
#include "i18n/gnugettext.h"
#include "series/FigureText.h"

#include <QComboBox>
#include <QDockWidget>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>

namespace {

QString Text(const char* german) {
    return QString::fromUtf8(german);
}

// Texts set at run time stay out of the translation walk.
void MarkRunTimeTexts(QObject* object) {
    object->setProperty("gnugettextIgnore", QStringList{QStringLiteral("*")});
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(Text(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

struct TFigureField {
    series::TFigure Figure;
    const char* Caption;
    const char* Name;
    bool InUnit; // written with the group's unit
};

// The value figures in the left column, the capability indices in the right.
const std::array<TFigureField, 10> kFigures = {{
    {series::TFigure::Count, "Anzahl", "SeriesCount", false},
    {series::TFigure::Minimum, "Minimum", "SeriesMinimum", true},
    {series::TFigure::Maximum, "Maximum", "SeriesMaximum", true},
    {series::TFigure::Range, "Spannweite", "SeriesRange", true},
    {series::TFigure::Mean, "Mittelwert", "SeriesMean", true},
    {series::TFigure::StandardDeviation, "Standardabweichung", "SeriesDeviation", true},
    {series::TFigure::Cp, "Cp", "SeriesCp", false},
    {series::TFigure::Cpk, "Cpk", "SeriesCpk", false},
    {series::TFigure::Pp, "Pp", "SeriesPp", false},
    {series::TFigure::Ppk, "Ppk", "SeriesPpk", false},
}};
constexpr int kValueRows = 6;

const QString kNone = QStringLiteral("—");

QString ProblemText(series::TLimitProblem problem) {
    switch (problem) {
    case series::TLimitProblem::None:
        break;
    case series::TLimitProblem::NotANumber:
        return Translated("keine Zahl");
    case series::TLimitProblem::UnknownUnit:
        return Translated("unbekannte Einheit");
    case series::TLimitProblem::UnitMismatch:
        return Translated("Einheit passt nicht zur Gruppe");
    case series::TLimitProblem::LowerAboveUpper:
        return Translated("untere Grenze über der oberen");
    }
    return {};
}

// A limit as the field shows it: every digit it holds, and its unit when it
// is not the group's.
QString LimitText(const std::optional<double>& value, series::TUnit unit, series::TUnit groupUnit,
                  QChar separator) {
    if (!value)
        return {};
    QString text = series::ShortestNumberText(*value, separator);
    if (unit != series::TUnit::None && unit != groupUnit)
        text += u' ' + series::UnitName(unit);
    return text;
}

} // namespace

TSeriesPanel::TSeriesPanel(series::TSeries& series, QWidget* parent)
    : QWidget(parent), FSeries(series) {
    setObjectName(QStringLiteral("SeriesPanel"));
    FThrottle.setSingleShot(true);
    FThrottle.setInterval(RefreshMs);
    connect(&FThrottle, &QTimer::timeout, this, &TSeriesPanel::RefreshNow);
    FNames.setSingleShot(true);
    FNames.setInterval(0);
    connect(&FNames, &QTimer::timeout, this, &TSeriesPanel::RenewNames);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The panel's description is the shown group's figures, set at run time.
    setProperty("gnugettextIgnore", QStringList{QStringLiteral("accessibleDescription")});
    SetNewestName(Text("Letzter Wert"));
    SetChartName(Text("Verlauf"));
    SetTitle(Text("Messreihe"));
}

void TSeriesDock::setVisible(bool visible) {
    if (visible)
        if (auto* panel = qobject_cast<TSeriesPanel*>(widget()))
            panel->EnsureBuilt();
    QDockWidget::setVisible(visible);
    if (FShown)
        FShown(visible);
}

QSize TSeriesPanel::sizeHint() const {
    if (FContents == nullptr)
        return QWidget::sizeHint();
    // A short window scrolls the contents: the scroll bar takes its width
    // beside them, not from them.
    return FContents->sizeHint() +
           QSize(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this), 0);
}

void TSeriesPanel::EnsureBuilt() {
    if (FContents != nullptr)
        return;
    FContents = new QWidget(this);
    FContents->setObjectName(QStringLiteral("SeriesContents"));
    BuildLayout();
    FNewest->setAccessibleName(FNewestName);
    FChart->setAccessibleName(FChartName);
    TranslateContents();
    ShowLimits(ShownGroup());
    RenewNames();
    // A window too small for the contents shows them in part, scrolled.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("SeriesScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(FContents);
    layout()->addWidget(scroll);
    // Shown now: a panel already on the screen would show it one event late.
    if (isVisible())
        scroll->show();
}

void TSeriesPanel::TranslateContents() {
    // A catalog that cannot be read has cost the window its one error box
    // already; the contents then keep their design texts, as the window does.
    try {
        if (gnugettext::IsTranslated(FContents))
            gnugettext::RetranslateComponent(FContents);
        else
            gnugettext::TranslateComponent(FContents);
    } catch (const std::exception&) {
    }
}

void TSeriesPanel::SetTitle(const QString& title) {
    FTitle = title;
    if (auto* dock = qobject_cast<QDockWidget*>(parentWidget()))
        dock->setWindowTitle(title);
    // The walk sets the title at a language switch: the contents, which
    // have a walk of their own, follow it, and the names follow the captions.
    if (FContents != nullptr) {
        TranslateContents();
        FNames.start();
    }
}

QString TSeriesPanel::NewestName() const {
    return FNewestName;
}

void TSeriesPanel::SetNewestName(const QString& name) {
    FNewestName = name;
    if (FNewest != nullptr)
        FNewest->setAccessibleName(name);
}

QString TSeriesPanel::ChartName() const {
    return FChartName;
}

void TSeriesPanel::SetChartName(const QString& name) {
    FChartName = name;
    if (FChart != nullptr)
        FChart->setAccessibleName(name);
}

void TSeriesPanel::RenewNames() {
    if (FContents == nullptr)
        return;
    for (size_t i = 0; i < FFields.size(); ++i)
        FFields[i]->setAccessibleName(FCaptions[i]->text());
    FGroups->setAccessibleName(FGroupCaption->text());
    FLower->setAccessibleName(FLowerCaption->text());
    FUpper->setAccessibleName(FUpperCaption->text());
    // The problems of the limits in the new language.
    MarkLimit(*FLower, FLowerProblem);
    MarkLimit(*FUpper, FUpperProblem);
    FShownRevision = ~quint64(0);
    if (isVisible())
        RefreshNow();
}

void TSeriesPanel::BuildLayout() {
    QWidget* const parent = FContents;
    auto* layout = new QVBoxLayout(parent);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(4);
    FNewest = new QLabel(QStringLiteral("—"), parent);
    FNewest->setObjectName(QStringLiteral("SeriesNewest"));
    FNewest->setAlignment(Qt::AlignCenter);
    QFont large = FNewest->font();
    large.setPointSizeF(large.pointSizeF() * 2);
    large.setBold(true);
    FNewest->setFont(large);
    MarkRunTimeTexts(FNewest);
    layout->addWidget(FNewest);
    BuildGroupRow(*layout);
    BuildFigures(*layout);
    FExcluded = new QLabel(parent);
    FExcluded->setObjectName(QStringLiteral("SeriesExcluded"));
    FExcluded->setWordWrap(true);
    FExcluded->setVisible(false);
    MarkRunTimeTexts(FExcluded);
    layout->addWidget(FExcluded);
    BuildLimits(*layout);
    BuildButtons(*layout);
    FChart = new TRunChart(parent);
    FChart->setObjectName(QStringLiteral("SeriesChart"));
    MarkRunTimeTexts(FChart);
    FChart->setProperty("gnugettextIgnore", QStringList{QStringLiteral("accessibleDescription")});
    layout->addWidget(FChart, 1);
}

void TSeriesPanel::BuildGroupRow(QVBoxLayout& layout) {
    QWidget* const parent = FContents;
    auto* groupRow = new QFormLayout();
    FGroups = new QComboBox(parent);
    FGroups->setObjectName(QStringLiteral("SeriesGroup"));
    MarkRunTimeTexts(FGroups);
    auto* groupCaption = FGroupCaption = new QLabel(Text("Gruppe"), parent);
    groupCaption->setObjectName(QStringLiteral("SeriesGroupCaption"));
    groupCaption->setBuddy(FGroups);
    groupRow->addRow(groupCaption, FGroups);
    layout.addLayout(groupRow);
    connect(FGroups, &QComboBox::activated, this, [this] {
        FFollowNewest = false;
        FShownRevision = ~quint64(0);
        RefreshNow();
    });
}

void TSeriesPanel::BuildFigures(QVBoxLayout& layout) {
    QWidget* const parent = FContents;
    auto* figures = new QGridLayout();
    for (size_t i = 0; i < FigureCount; ++i) {
        const TFigureField& figure = kFigures[i];
        auto* caption = new QLabel(Text(figure.Caption), parent);
        caption->setObjectName(QString::fromLatin1(figure.Name) + QStringLiteral("Caption"));
        auto* field = new QLineEdit(kNone, parent);
        field->setObjectName(QString::fromLatin1(figure.Name));
        field->setReadOnly(true);
        field->setFrame(false);
        field->setAlignment(Qt::AlignRight);
        field->setMinimumWidth(field->fontMetrics().horizontalAdvance(
            figure.InUnit ? QStringLiteral("-000.0000 mm") : QStringLiteral("-00.00")));
        // A screen reader names the field by its caption and reads its value.
        MarkRunTimeTexts(field);
        field->setProperty("gnugettextIgnore", QStringList{QStringLiteral("text")});
        caption->setBuddy(field);
        FCaptions[i] = caption;
        // The values in one column, the short indices in a second one keep
        // the panel narrow enough for a small window.
        const int row = static_cast<int>(i) < kValueRows ? static_cast<int>(i)
                                                         : static_cast<int>(i) - kValueRows;
        const int column = static_cast<int>(i) < kValueRows ? 0 : 2;
        figures->addWidget(caption, row, column);
        figures->addWidget(field, row, column + 1);
        FFields[i] = field;
    }
    figures->setColumnStretch(1, 3);
    figures->setColumnStretch(3, 1);
    layout.addLayout(figures);
}

void TSeriesPanel::BuildLimits(QVBoxLayout& layout) {
    QWidget* const parent = FContents;
    auto* limits = new QGridLayout();
    FLower = new QLineEdit(parent);
    FLower->setObjectName(QStringLiteral("SeriesLower"));
    FUpper = new QLineEdit(parent);
    FUpper->setObjectName(QStringLiteral("SeriesUpper"));
    int row = 0;
    for (auto [edit, caption] :
         {std::pair{FLower, "Untere Grenze"}, std::pair{FUpper, "Obere Grenze"}}) {
        edit->setProperty("gnugettextIgnore",
                          QStringList{QStringLiteral("text"), QStringLiteral("toolTip"),
                                      QStringLiteral("accessibleDescription")});
        auto* label = new QLabel(Text(caption), parent);
        label->setObjectName(edit->objectName() + QStringLiteral("Caption"));
        label->setBuddy(edit);
        (edit == FLower ? FLowerCaption : FUpperCaption) = label;
        // The unit the limits are read in: the shown group's.
        auto* unit = new QLabel(parent);
        unit->setObjectName(edit->objectName() + QStringLiteral("Unit"));
        MarkRunTimeTexts(unit);
        unit->setMinimumWidth(unit->fontMetrics().horizontalAdvance(QStringLiteral("mm")));
        FLimitUnits[static_cast<size_t>(row)] = unit;
        limits->addWidget(label, row, 0);
        limits->addWidget(edit, row, 1);
        limits->addWidget(unit, row, 2);
        ++row;
        connect(edit, &QLineEdit::editingFinished, this, &TSeriesPanel::ApplyLimits);
    }
    limits->setColumnStretch(1, 1);
    layout.addLayout(limits);
}

void TSeriesPanel::BuildButtons(QVBoxLayout& layout) {
    QWidget* const parent = FContents;
    auto* buttons = new QGridLayout();
    QPushButton* restart = MakeButton(parent, "SeriesNew", "Neue Reihe");
    QPushButton* remove = MakeButton(parent, "SeriesRemoveNewest", "Letzten Wert löschen");
    QPushButton* exportButton = MakeButton(parent, "SeriesExport", "Exportieren...");
    QPushButton* copy = MakeButton(parent, "SeriesCopy", "Kopieren");
    buttons->addWidget(restart, 0, 0);
    buttons->addWidget(remove, 0, 1);
    buttons->addWidget(exportButton, 1, 0);
    buttons->addWidget(copy, 1, 1);
    buttons->setSpacing(2);
    layout.addLayout(buttons);
    connect(restart, &QPushButton::clicked, this, &TSeriesPanel::NewSeriesClicked);
    connect(remove, &QPushButton::clicked, this, &TSeriesPanel::RemoveNewestClicked);
    connect(exportButton, &QPushButton::clicked, this, &TSeriesPanel::ExportClicked);
    connect(copy, &QPushButton::clicked, this, &TSeriesPanel::CopyClicked);
}

void TSeriesPanel::LimitsReplaced() {
    FLimitsShown = false;
    FShownRevision = ~quint64(0);
    if (isVisible())
        RefreshNow();
}

void TSeriesPanel::ApplyLimits() {
    if (!FLimitsShown)
        return;
    // In the unit of the group they belong to; a number typed with another
    // unit is converted when it can be.
    const series::TLimitsInput typed =
        series::ParseLimits(FLower->text(), FUpper->text(), FLimitOwner.Unit);
    FLowerProblem = typed.Lower;
    FUpperProblem = typed.Upper;
    MarkLimit(*FLower, FLowerProblem);
    MarkLimit(*FUpper, FUpperProblem);
    FLower->setModified(false);
    FUpper->setModified(false);
    const series::TLimits kept = FSeries.Limits().Find(FLimitOwner.Label);
    // Limits shown as they were (perhaps in another unit) are no change.
    const auto shown = series::ConvertLimits(kept, FLimitOwner.Unit);
    if (typed.Limits == kept ||
        (shown && shown->Lower == typed.Limits.Lower && shown->Upper == typed.Limits.Upper))
        return;
    FSeries.SetLimits(FLimitOwner.Label, typed.Limits);
    RefreshNow();
    emit LimitsEdited();
}

void TSeriesPanel::MarkLimit(QLineEdit& field, series::TLimitProblem problem) {
    const QString text = ProblemText(problem);
    if (field.toolTip() != text)
        field.setToolTip(text);
    if (field.accessibleDescription() != text)
        field.setAccessibleDescription(text);
    const bool marked = problem != series::TLimitProblem::None;
    if (field.property("limitProblem").toBool() == marked)
        return;
    field.setProperty("limitProblem", marked);
    // The style's own base tinted towards red: any theme keeps its text
    // readable on it.
    QPalette palette = this->palette();
    if (marked) {
        const QColor base = palette.color(QPalette::Base);
        const QColor error(220, 0, 0);
        palette.setColor(QPalette::Base, QColor((base.red() * 3 + error.red()) / 4,
                                                (base.green() * 3 + error.green()) / 4,
                                                (base.blue() * 3 + error.blue()) / 4));
    }
    field.setPalette(palette);
}

void TSeriesPanel::ShowLimits(int group) {
    const series::TStatistics s = group >= 0 ? FSeries.Statistics(group) : series::TStatistics();
    // Before any reading the fields hold the unlabelled group's limits.
    const TLimitOwner owner{group >= 0 ? FSeries.GroupLabel(group) : QString(), s.Unit};
    const QString unitName = series::UnitName(owner.Unit);
    for (QLabel* unit : FLimitUnits)
        if (unit->text() != unitName)
            unit->setText(unitName);
    if (FLimitsShown && owner == FLimitOwner)
        return;
    // Typing not yet taken belongs to the group it was typed for.
    if (FLimitsShown && (FLower->isModified() || FUpper->isModified()))
        ApplyLimits();
    FLimitOwner = owner;
    FLimitsShown = true;
    const series::TLimits limits = FSeries.Limits().Find(owner.Label);
    FLower->setText(LimitText(limits.Lower, limits.Unit, owner.Unit, Separator()));
    FUpper->setText(LimitText(limits.Upper, limits.Unit, owner.Unit, Separator()));
    FLowerProblem = FUpperProblem = series::TLimitProblem::None;
    MarkLimit(*FLower, FLowerProblem);
    MarkLimit(*FUpper, FUpperProblem);
}

void TSeriesPanel::SeriesChanged() {
    if (isVisible() && !FThrottle.isActive())
        FThrottle.start();
}

void TSeriesPanel::SeriesRestarted() {
    FFollowNewest = true;
    SeriesChanged();
}

void TSeriesPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    EnsureBuilt(); // shown other than through its dock
    RefreshNow();
}

int TSeriesPanel::ShownGroup() const {
    if (FSeries.IsEmpty())
        return -1;
    const int chosen = FGroups != nullptr ? FGroups->currentIndex() : -1;
    return FFollowNewest || chosen < 0 || chosen >= FSeries.GroupCount() ? FSeries.NewestGroup()
                                                                         : chosen;
}

void TSeriesPanel::RefreshNow() {
    FThrottle.stop();
    if (FContents == nullptr)
        return; // built and filled at the first show
    ++FRefreshes;
    FShownRevision = FSeries.Revision();
    FillGroups();
    const int group = ShownGroup();
    if (FGroups->currentIndex() != group)
        FGroups->setCurrentIndex(group);
    ShowLimits(group);
    const series::TStatistics s = group >= 0 ? FSeries.Statistics(group) : series::TStatistics();
    ShowNewest(group);
    ShowFigures(group, s);
    ShowChart(group, s);
}

void TSeriesPanel::FillGroups() {
    const int count = FSeries.GroupCount();
    if (FGroups->count() > count)
        FGroups->clear();
    for (int i = 0; i < count; ++i) {
        const QString label = FSeries.GroupLabel(i);
        const QString shown = label.isEmpty() ? Translated("(ohne Bezeichnung)") : label;
        // Each change of an item makes the selector measure itself again.
        if (i >= FGroups->count())
            FGroups->addItem(shown);
        else if (FGroups->itemText(i) != shown)
            FGroups->setItemText(i, shown);
    }
}

QChar TSeriesPanel::Separator() const {
    return FSeparator ? FSeparator() : u'.';
}

void TSeriesPanel::ShowNewest(int group) {
    const std::vector<qsizetype> newest =
        group < 0 ? std::vector<qsizetype>{} : FSeries.NewestInGroup(group, 1);
    QString colour;
    QString text;
    if (newest.empty()) {
        text = QStringLiteral("—");
    } else {
        const qsizetype index = newest.back();
        const series::TReading reading = FSeries.Reading(index);
        // The parse gives views into the line: keep the line alive with them.
        const QString line = FSeries.Text(index);
        const auto parsed = series::ParseReading(line);
        text = parsed ? parsed->ValueText.toString() : QString::number(reading.Value);
        const QChar separator = Separator();
        text.replace(u'.', separator).replace(u',', separator);
        const QString unit = series::UnitName(reading.Unit);
        if (!unit.isEmpty())
            text += u' ' + unit;
        if (const auto verdict = FSeries.Verdict(index))
            colour = *verdict == series::TVerdict::Within ? QStringLiteral("#008000")
                                                          : QStringLiteral("#d00000");
    }
    if (FNewest->text() != text)
        FNewest->setText(text);
    // A style sheet would restyle the label at every change: only the
    // palette's text colour is set, and only when the verdict changes.
    if (FNewest->property("verdictColour").toString() != colour) {
        QPalette palette = FNewest->palette();
        palette.setColor(QPalette::WindowText, colour.isEmpty()
                                                   ? this->palette().color(QPalette::WindowText)
                                                   : QColor(colour));
        FNewest->setPalette(palette);
        FNewest->setProperty("verdictColour", colour);
    }
}

void TSeriesPanel::ShowFigures(int group, const series::TStatistics& s) {
    const QString unit = series::UnitName(s.Unit);
    std::array<QString, FigureCount> texts;
    for (size_t i = 0; i < FigureCount; ++i) {
        const TFigureField& figure = kFigures[i];
        QString& text = texts[i];
        if (group >= 0)
            text = series::FigureText(figure.Figure, s, Separator());
        if (text.isEmpty())
            text = kNone;
        else if (figure.InUnit && !unit.isEmpty())
            text += u' ' + unit;
        if (FFields[i]->text() != text)
            FFields[i]->setText(text);
    }
    FExcluded->setVisible(s.Excluded > 0);
    if (s.Excluded > 0)
        FExcluded->setText(
            Translated("%1 Messwerte ohne passende Einheit sind nicht in den Kennzahlen.")
                .arg(s.Excluded));
    // What a screen reader gives for the panel: the group and its capability.
    const QString description =
        group < 0 ? QString()
                  : Translated("%1: %2 Messwerte, Mittelwert %3, Cp %4, Cpk %5, Pp %6, Ppk %7")
                        .arg(FGroups->itemText(group), texts[0], texts[4], texts[6], texts[7],
                             texts[8], texts[9]);
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
}

void TSeriesPanel::ShowChart(int group, const series::TStatistics& s) {
    TRunChart::TData data;
    qsizetype outside = 0;
    std::optional<double> newest;
    if (group >= 0) {
        const std::vector<qsizetype> recent = FSeries.NewestInGroup(group, ChartCount);
        // Numbered in the group as the export numbers them.
        qsizetype number = s.Count + s.Excluded - static_cast<qsizetype>(recent.size());
        for (qsizetype index : recent) {
            ++number;
            const std::optional<double> value = FSeries.GroupValue(index);
            if (!value)
                continue;
            const auto verdict = FSeries.Verdict(index);
            const bool out = verdict && *verdict != series::TVerdict::Within;
            outside += out ? 1 : 0;
            data.Points.push_back({*value, out, series::OutsideControlLimits(*value, s), number});
            newest = value;
        }
        data.Mean = s.Mean;
        data.Lower = s.HasLimits ? s.Limits.Lower : std::nullopt;
        data.Upper = s.HasLimits ? s.Limits.Upper : std::nullopt;
        data.LowerControl = s.LowerControlLimit;
        data.UpperControl = s.UpperControlLimit;
        data.Decimals = s.Decimals;
        data.Unit = series::UnitName(s.Unit);
        data.Separator = Separator();
    }
    const auto number = [&](const std::optional<double>& value, int decimals) {
        return value ? series::NumberText(*value, decimals, Separator()) : kNone;
    };
    FChart->setAccessibleDescription(
        Translated("%1 Messwerte, letzter Wert %2, Mittelwert %3, %4 außerhalb der Grenzen")
            .arg(data.Points.size())
            .arg(number(newest, s.Decimals), number(s.Mean, s.Decimals + 1))
            .arg(outside));
    FChart->SetData(std::move(data));
}
