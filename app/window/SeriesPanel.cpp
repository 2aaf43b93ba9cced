#include "app/window/SeriesPanel.h"

#include "app/texts/Texts.h"
#include "i18n/gnugettext.h"

#include <QComboBox>
#include <QDockWidget>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

// Digits after the decimal mark of a number as written.
int WrittenDecimals(QStringView number) {
    const qsizetype mark = std::max(number.indexOf(u'.'), number.indexOf(u','));
    return mark < 0 ? 0 : static_cast<int>(number.size() - mark - 1);
}

const char* const kCaptions[] = {
    "Anzahl", "Minimum", "Maximum", "Spannweite", "Mittelwert", "Standardabweichung", "Cp", "Cpk"};
const char* const kFieldNames[] = {"SeriesCount", "SeriesMinimum",   "SeriesMaximum", "SeriesRange",
                                   "SeriesMean",  "SeriesDeviation", "SeriesCp",      "SeriesCpk"};

} // namespace

std::optional<double> ParseLimit(const QString& text) {
    QString number = text.trimmed();
    number.replace(u',', u'.');
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

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
    SetNewestName(Text("Letzter Wert"));
    SetChartName(Text("Verlauf"));
    SetTitle(Text("Messreihe"));
}

void TSeriesDock::setVisible(bool visible) {
    if (visible)
        if (auto* panel = qobject_cast<TSeriesPanel*>(widget()))
            panel->EnsureBuilt();
    QDockWidget::setVisible(visible);
}

void TSeriesPanel::EnsureBuilt() {
    if (FContents != nullptr)
        return;
    FContents = new QWidget(this);
    FContents->setObjectName(QStringLiteral("SeriesContents"));
    BuildLayout();
    FNewest->setAccessibleName(FNewestName);
    FChart->setAccessibleName(FChartName);
    FLower->setText(FLowerText);
    FUpper->setText(FUpperText);
    TranslateContents();
    RenewNames();
    layout()->addWidget(FContents);
    // Shown now: a panel already on the screen would show it one event late.
    if (isVisible())
        FContents->show();
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
    for (int i = 0; i < FigureCount; ++i) {
        auto* caption = new QLabel(Text(kCaptions[i]), parent);
        caption->setObjectName(QString::fromLatin1(kFieldNames[i]) + QStringLiteral("Caption"));
        auto* field = new QLineEdit(QStringLiteral("—"), parent);
        field->setObjectName(QString::fromLatin1(kFieldNames[i]));
        field->setReadOnly(true);
        field->setFrame(false);
        field->setAlignment(Qt::AlignRight);
        field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("-000.0000")));
        // A screen reader names the field by its caption and reads its value.
        MarkRunTimeTexts(field);
        field->setProperty("gnugettextIgnore", QStringList{QStringLiteral("text")});
        caption->setBuddy(field);
        FCaptions[static_cast<size_t>(i)] = caption;
        // Two columns of figures keep the panel short enough for a small window.
        figures->addWidget(caption, i % 4, (i / 4) * 2);
        figures->addWidget(field, i % 4, (i / 4) * 2 + 1);
        FFields[static_cast<size_t>(i)] = field;
    }
    layout.addLayout(figures);
}

void TSeriesPanel::BuildLimits(QVBoxLayout& layout) {
    QWidget* const parent = FContents;
    auto* limits = new QHBoxLayout();
    FLower = new QLineEdit(parent);
    FLower->setObjectName(QStringLiteral("SeriesLower"));
    FUpper = new QLineEdit(parent);
    FUpper->setObjectName(QStringLiteral("SeriesUpper"));
    for (auto [edit, caption] :
         {std::pair{FLower, "Untere Grenze"}, std::pair{FUpper, "Obere Grenze"}}) {
        edit->setProperty("gnugettextIgnore", QStringList{QStringLiteral("text")});
        auto* label = new QLabel(Text(caption), parent);
        label->setObjectName(edit->objectName() + QStringLiteral("Caption"));
        label->setBuddy(edit);
        (edit == FLower ? FLowerCaption : FUpperCaption) = label;
        limits->addWidget(label);
        limits->addWidget(edit, 1);
        connect(edit, &QLineEdit::editingFinished, this, &TSeriesPanel::ApplyLimits);
    }
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

void TSeriesPanel::SetLimitTexts(const QString& lower, const QString& upper) {
    FLowerText = lower;
    FUpperText = upper;
    if (FContents != nullptr) {
        FLower->setText(lower);
        FUpper->setText(upper);
    }
    ApplyLimits();
}

QString TSeriesPanel::LowerText() const {
    return FContents != nullptr ? FLower->text() : FLowerText;
}

QString TSeriesPanel::UpperText() const {
    return FContents != nullptr ? FUpper->text() : FUpperText;
}

void TSeriesPanel::ApplyLimits() {
    // The two fields hold the unlabelled group's limits, in its unit, as the
    // settings file's one pair does.
    const series::TLimits limits{ParseLimit(LowerText()), ParseLimit(UpperText())};
    if (limits == FSeries.Limits().Find(u""))
        return;
    FSeries.SetLimits(QString(), limits);
    RefreshNow();
    emit LimitsEdited();
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
    ShowNewest(group);
    ShowFigures(group);
    ShowChart(group);
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

QString TSeriesPanel::Number(const std::optional<double>& value, int decimals) const {
    if (!value)
        return QStringLiteral("—");
    QString text = QString::number(*value, 'f', decimals);
    const QChar separator = FSeparator ? FSeparator() : u'.';
    if (separator != u'.')
        text.replace(u'.', separator);
    return text;
}

int TSeriesPanel::Decimals(int group) const {
    // As many digits as the group's newest reading was written with, in the
    // group's unit.
    const std::vector<qsizetype> newest = FSeries.NewestInGroup(group, 1);
    if (newest.empty())
        return 3;
    const series::TReading reading = FSeries.Reading(newest.back());
    const QString line = FSeries.Text(newest.back()); // the parse's views point into it
    const auto parsed = series::ParseReading(line);
    int decimals = parsed ? WrittenDecimals(parsed->ValueText) : 3;
    const series::TUnit unit = FSeries.Statistics(group).Unit;
    if (reading.Unit != unit && unit != series::TUnit::None)
        decimals = unit == series::TUnit::Micrometre ? 1 : unit == series::TUnit::Inch ? 5 : 4;
    return std::clamp(decimals, 0, 6);
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
        const QChar separator = FSeparator ? FSeparator() : u'.';
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

void TSeriesPanel::ShowFigures(int group) {
    series::TStatistics s;
    if (group >= 0)
        s = FSeries.Statistics(group);
    const int d = group >= 0 ? Decimals(group) : 3;
    const std::array<QString, FigureCount> texts = {group >= 0 ? QString::number(s.Count)
                                                               : QStringLiteral("—"),
                                                    Number(s.Minimum, d),
                                                    Number(s.Maximum, d),
                                                    Number(s.Range, d),
                                                    Number(s.Mean, d + 1),
                                                    Number(s.StandardDeviation, d + 1),
                                                    Number(s.Cp, 2),
                                                    Number(s.Cpk, 2)};
    for (int i = 0; i < FigureCount; ++i)
        if (FFields[static_cast<size_t>(i)]->text() != texts[static_cast<size_t>(i)])
            FFields[static_cast<size_t>(i)]->setText(texts[static_cast<size_t>(i)]);
    FExcluded->setVisible(s.Excluded > 0);
    if (s.Excluded > 0)
        FExcluded->setText(
            Translated("%1 Messwerte ohne passende Einheit sind nicht in den Kennzahlen.")
                .arg(s.Excluded));
}

void TSeriesPanel::ShowChart(int group) {
    TRunChart::TData data;
    qsizetype outside = 0;
    std::optional<double> newest;
    series::TStatistics s;
    if (group >= 0) {
        s = FSeries.Statistics(group);
        for (qsizetype index : FSeries.NewestInGroup(group, ChartCount)) {
            const std::optional<double> value = FSeries.GroupValue(index);
            if (!value)
                continue;
            const auto verdict = FSeries.Verdict(index);
            const bool out = verdict && *verdict != series::TVerdict::Within;
            outside += out ? 1 : 0;
            data.Points.push_back({*value, out});
            newest = value;
        }
        data.Mean = s.Mean;
        data.Lower = s.HasLimits ? s.Limits.Lower : std::nullopt;
        data.Upper = s.HasLimits ? s.Limits.Upper : std::nullopt;
    }
    const int d = group >= 0 ? Decimals(group) : 3;
    FChart->setAccessibleDescription(
        Translated("%1 Messwerte, letzter Wert %2, Mittelwert %3, %4 außerhalb der Grenzen")
            .arg(data.Points.size())
            .arg(Number(newest, d), Number(s.Mean, d + 1))
            .arg(outside));
    FChart->SetData(std::move(data));
}
