#include "window/run_panel.h"

#include "engine/correction.h"
#include "engine/method_table.h"
#include "run/known_values.h"
#include "window/message_boxes.h"
#include "run/rounding.h"
#include "run/run_split.h"
#include "run/sample_texts.h"
#include "run/status_text.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>
#include <map>
#include <span>
#include <utility>
#include <variant>

namespace kalibrix {

namespace {

// A number as the user types it: in the locale's way, or with "." as decimal point.
std::optional<double> readNumber(const QString& text, const QLocale& locale)
{
    const QString t = text.trimmed();
    bool ok = false;
    double v = locale.toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

// A number written so that readNumber reads it back as it is.
QString numberText(double v, const QLocale& locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(v, 'g', QLocale::FloatingPointShortest);
}

// A figure as the results grid rounds it; nothing where there is no finite value.
QString shown(const std::optional<double>& v, const NumberFormat& fmt)
{
    return v && std::isfinite(*v) ? QString::fromStdString(Rounding(v, fmt)) : QString();
}

// "value ± half-width", the half-width where there is one.
QString withHalfWidth(const std::optional<double>& v, const std::optional<double>& h,
                      const NumberFormat& fmt)
{
    QString text = shown(v, fmt);
    if (!text.isEmpty() && h && std::isfinite(*h))
        text += QStringLiteral(" \u00b1 ") + shown(h, fmt);
    return text;
}

// The same in full, for the tooltips.
QString inFull(const std::optional<double>& v, const std::optional<double>& h,
               const NumberFormat& fmt)
{
    if (!v || !std::isfinite(*v))
        return {};
    QString text = QString::fromStdString(fmt.general(*v));
    if (h && std::isfinite(*h))
        text += QStringLiteral(" \u00b1 ") + QString::fromStdString(fmt.general(*h));
    return text;
}

}  // namespace

std::variant<std::optional<KnownValue>, std::string> readLocaleKnownValue(const QString& text,
                                                                          const QLocale& locale)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::optional<KnownValue>();
    QString value = t;
    QString uncertainty;
    for (const QString& sign :
         {QStringLiteral("\u00b1"), QStringLiteral("+/-"), QStringLiteral("+-")}) {
        const qsizetype at = t.indexOf(sign);
        if (at < 0)
            continue;
        value = t.left(at);
        uncertainty = t.mid(at + sign.size());
        if (uncertainty.trimmed().isEmpty())
            return "no uncertainty after \u00b1 in \"" + t.toStdString() + "\"";
        break;
    }
    const std::optional<double> v = readNumber(value, locale);
    if (!v)
        return "\"" + t.toStdString() +
               "\" is not a number (optionally followed by \u00b1 and its uncertainty)";
    KnownValue known{*v, std::nullopt};
    if (!uncertainty.isEmpty()) {
        const std::optional<double> u = readNumber(uncertainty, locale);
        if (!u || *u < 0)
            return "the uncertainty in \"" + t.toStdString() + "\" is not a number of 0 or more";
        known.u = *u;
    }
    return std::optional<KnownValue>(known);
}

QString localeKnownValueText(const KnownValue& known, const QLocale& locale)
{
    QString text = numberText(known.value, locale);
    if (known.u)
        text += QStringLiteral(" \u00b1 ") + numberText(*known.u, locale);
    return text;
}

SamplesModel::SamplesModel(const NumberFormat& fmt, QObject* parent)
    : QAbstractTableModel(parent), m_fmt(fmt)
{}

void SamplesModel::setSamples(AnalyteSamples samples)
{
    beginResetModel();
    m_samples = std::move(samples);
    endResetModel();
}

int SamplesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_samples.samples.size());
}

int SamplesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant SamplesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const CorrectedSample& s = m_samples.samples[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case kId:
            return QString::fromStdString(s.id);
        case kX:
            return QString::number(s.x);
        case kReading:
            return shown(s.reading, m_fmt);
        case kStandard:
            return withHalfWidth(s.standard, s.standardHalfWidth, m_fmt);
        case kCorrected:
            return withHalfWidth(s.corrected, s.correctedHalfWidth, m_fmt);
        case kFlag:
            return QString::fromStdString(flagText(s.flags));
        default:
            return {};
        }
    case Qt::ToolTipRole: {
        QString tip;
        if (column == kReading)
            tip = inFull(s.reading, s.readingErr, m_fmt);
        else if (column == kStandard)
            tip = inFull(s.standard, s.standardHalfWidth, m_fmt);
        else if (column == kCorrected)
            tip = inFull(s.corrected, s.correctedHalfWidth, m_fmt);
        if (s.check)
            tip = tip.isEmpty() ? tr("A line of the check standard")
                                : tr("A line of the check standard: %1").arg(tip);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::TextAlignmentRole:
        return column == kId || column == kFlag ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::FontRole:
        if (s.check) {
            QFont italic;
            italic.setItalic(true);
            return italic;
        }
        return {};
    default:
        return {};
    }
}

QVariant SamplesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const headings[kColumns] = {
        "ID", "X", "Reading", "S(X) \u00b1 u", "Corrected \u00b1 u", "Flag"};
    return section >= 0 && section < kColumns ? QVariant(QString::fromUtf8(headings[section]))
                                              : QVariant();
}

RunPanel::RunPanel(State& state, const NumberFormat& fmt, QWidget* parent)
    : QWidget(parent), m_state(state), m_fmt(fmt), m_locale(QLocale::system())
{
    setObjectName("runPanel");
    build();
    connectHandlers();
}

void RunPanel::build()
{
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(8, 2, 8, 4);
    outer->setSpacing(10);
    auto* form = new QGridLayout;
    form->setHorizontalSpacing(6);
    form->setVerticalSpacing(3);
    buildCorrectionFields(form);
    buildCheckFields(form);
    for (QWidget* field :
         std::initializer_list<QWidget*>{cboStandard, cboCorrectWith, cboCorrection, txtKnown,
                                         txtMaxGap, txtCheckPattern, txtCheckKnown})
        field->setFixedWidth(110);  // the samples table takes the rest
    form->setRowStretch(4, 1);
    outer->addLayout(form);
    outer->addLayout(buildSamplesTable(), 1);
}

// `field` named `name` at `row` and `column` of `form`, with its caption left of it; the
// caption is named after the field ("lbl" for its prefix).
QLabel* RunPanel::addField(QGridLayout* form, QWidget* field, const char* name,
                           const QString& caption, int row, int column, const QString& tip)
{
    field->setObjectName(QString::fromUtf8(name));
    field->setToolTip(tip);
    auto* label = new QLabel(caption, this);
    label->setObjectName(QStringLiteral("lbl") + QString::fromUtf8(name).mid(3));
    label->setBuddy(field);
    form->addWidget(label, row, 2 * column);
    form->addWidget(field, row, 2 * column + 1);
    return label;
}

// The first column: the standard, the method and kind of the correction, the known value.
void RunPanel::buildCorrectionFields(QGridLayout* form)
{
    cboStandard = new QComboBox(this);
    cboStandard->setEditable(true);
    cboStandard->setInsertPolicy(QComboBox::NoInsert);
    cboStandard->setCompleter(nullptr);  // a typed pattern stays as typed
    addField(form, cboStandard, "cboStandard", tr("Standard"), 0, 0,
             tr("The standard's ID (the most frequent first), or a pattern typed with * and ?: "
                "its lines are the standards, the other lines samples"));
    cboCorrectWith = new QComboBox(this);
    addField(form, cboCorrectWith, "cboCorrectWith", tr("Correct with"), 1, 0,
             tr("The method whose value S(X) corrects the samples: \"best\" is the one that "
                "predicts best (the bold leave-one-out per cent)"));
    cboCorrection = new QComboBox(this);
    cboCorrection->addItems({tr("ratio"), tr("difference"), tr("delta")});  // CorrectionKind's
    addField(form, cboCorrection, "cboCorrection", tr("Correction"), 2, 0,
             tr("ratio: reading \u00d7 R / S(X); difference: reading \u2212 S(X) + R; delta (per "
                "mil): (reading / S(X) \u00d7 (1 + R/1000) \u2212 1) \u00d7 1000"));
    txtKnown = new QLineEdit(this);
    lblKnown = addField(form, txtKnown, "txtKnown", tr("Known value"), 3, 0, QString());
}

// The second column: "Max. gap", the check standard and its value, "Copy samples".
void RunPanel::buildCheckFields(QGridLayout* form)
{
    txtMaxGap = new QLineEdit(this);
    txtMaxGap->setPlaceholderText(tr("none"));
    addField(form, txtMaxGap, "txtMaxGap", tr("Max. gap"), 0, 1,
             tr("A sample farther than this from the nearest standard in use on either side is "
                "flagged \"gap\"; empty: no such flag"));
    txtCheckPattern = new QLineEdit(this);
    txtCheckPattern->setPlaceholderText(tr("none"));
    addField(form, txtCheckPattern, "txtCheckPattern", tr("Check standard"), 1, 1,
             tr("The ID (or a pattern with * and ?) of a check standard: corrected like a "
                "sample, its mean, SD, bias and z prove the correction"));
    txtCheckKnown = new QLineEdit(this);
    lblCheckKnown =
        addField(form, txtCheckKnown, "txtCheckKnown", tr("Check value"), 2, 1, QString());
    cmdCopySamples = new QPushButton(tr("Copy samples"), this);
    cmdCopySamples->setObjectName("cmdCopySamples");
    cmdCopySamples->setToolTip(
        tr("Copy the samples table of the analyte shown to the clipboard (Ctrl+Shift+C)"));
    form->addWidget(cmdCopySamples, 3, 2, 1, 2);
}

// The samples table with the check standard's summary below it.
QVBoxLayout* RunPanel::buildSamplesTable()
{
    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    m_model = new SamplesModel(m_fmt, this);
    grdSamples = new QTableView(this);
    grdSamples->setObjectName("grdSamples");
    grdSamples->setModel(m_model);
    grdSamples->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdSamples->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdSamples->setWordWrap(false);
    grdSamples->verticalHeader()->setVisible(false);
    for (QAbstractButton* corner : grdSamples->findChildren<QAbstractButton*>())
        corner->setToolTip(tr("Select every sample"));
    grdSamples->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* header = grdSamples->horizontalHeader();
    header->setStretchLastSection(true);
    const int widths[SamplesModel::kColumns] = {56, 34, 62, 100, 100, 80};
    for (int c = 0; c < SamplesModel::kColumns; ++c)
        header->resizeSection(c, widths[c]);
    right->addWidget(grdSamples, 1);
    lblCheckSummary = new QLabel(this);
    lblCheckSummary->setObjectName("lblCheckSummary");
    lblCheckSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    right->addWidget(lblCheckSummary);
    return right;
}

void RunPanel::connectHandlers()
{
    connect(cboStandard, &QComboBox::activated, this,
            [this](int index) { chooseStandard(cboStandard->itemText(index)); });
    connect(cboStandard->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { chooseStandard(cboStandard->currentText()); });
    connect(cboCorrectWith, &QComboBox::activated, this, [this] {
        m_state.settings.correctWith = cboCorrectWith->currentData().toString().toStdString();
        changed();
    });
    connect(cboCorrection, &QComboBox::activated, this, [this](int index) {
        const auto kind = static_cast<CorrectionKind>(index);
        Settings& settings = m_state.settings;
        for (const auto& [analyte, known] : settings.known) {
            if (const std::optional<std::string> why = knownValueProblem(kind, known)) {
                const QSignalBlocker quiet(cboCorrection);
                cboCorrection->setCurrentIndex(static_cast<int>(settings.correction));
                refuse(tr("The correction stays a %1: the known value %2 %3 cannot serve it "
                          "(%4).")
                           .arg(QString::fromUtf8(correctionName(settings.correction)),
                                numberText(known.value, m_locale),
                                analyte.empty() ? tr("of every analyte")
                                                : tr("of %1").arg(QString::fromStdString(analyte)),
                                QString::fromStdString(*why))
                           .toStdString());
                return;
            }
        }
        if (kind == settings.correction)
            return;
        settings.correction = kind;
        changed();
    });
    connect(txtKnown, &QLineEdit::editingFinished, this,
            [this] { takeKnown(txtKnown, m_state.settings.known, true); });
    connect(txtCheckKnown, &QLineEdit::editingFinished, this,
            [this] { takeKnown(txtCheckKnown, m_state.settings.checkKnown, false); });
    connect(txtMaxGap, &QLineEdit::editingFinished, this, &RunPanel::takeMaxGap);
    connect(txtCheckPattern, &QLineEdit::editingFinished, this, &RunPanel::takeCheckPattern);
    connect(cmdCopySamples, &QPushButton::clicked, this, &RunPanel::copyRequested);
}

std::string RunPanel::shownName() const { return m_state.analytes[m_state.selected].name; }

void RunPanel::refuse(const std::string& text)
{
    MessageBoxes::show(this, {text, MessageIcon::Exclamation, kAppTitle});
}

void RunPanel::showSettings()
{
    const Settings& settings = m_state.settings;
    if (m_state.run) {
        const QSignalBlocker quiet(cboStandard);
        cboStandard->clear();
        for (const std::string& id : idsByFrequency(*m_state.run))
            cboStandard->addItem(QString::fromStdString(id));
        const QString pattern =
            QString::fromStdString(standardPatternOf(*m_state.run, settings.standardPattern));
        cboStandard->setCurrentIndex(cboStandard->findText(pattern));
        cboStandard->setEditText(pattern);
    }
    {
        const QSignalBlocker quiet(cboCorrectWith);
        cboCorrectWith->clear();
        cboCorrectWith->addItem(tr("best"), QStringLiteral("best"));
        const std::span<const FitMethod> methods = fitMethods();
        for (std::size_t m = 0; m < methods.size(); ++m)
            if (isShown(methods[m], settings))
                cboCorrectWith->addItem(
                    QString::fromStdString(methodCaption(methods[m], settings.degreeText)),
                    QString::fromUtf8(methods[m].name));
        cboCorrectWith->setCurrentIndex(
            cboCorrectWith->findData(QString::fromStdString(settings.correctWith)));
    }
    {
        const QSignalBlocker quiet(cboCorrection);
        cboCorrection->setCurrentIndex(static_cast<int>(settings.correction));
    }
    txtMaxGap->setText(settings.maxGap ? numberText(*settings.maxGap, m_locale) : QString());
    txtCheckPattern->setText(QString::fromStdString(settings.checkPattern));
    showKnownValues();
}

// The known values of the analyte shown: its own, else the one every analyte takes.
void RunPanel::showKnownValues()
{
    const Settings& settings = m_state.settings;
    const std::string name = shownName();
    const QString analyte = QString::fromStdString(name);
    auto showKnown = [&](QLineEdit* field, const std::map<std::string, KnownValue>& values,
                         const QString& fallback) {
        const auto own = values.find(name);
        field->setText(own != values.end() ? localeKnownValueText(own->second, m_locale)
                                           : QString());
        const auto every = values.find("");
        field->setPlaceholderText(
            every != values.end() ? localeKnownValueText(every->second, m_locale) : fallback);
    };
    showKnown(txtKnown, settings.known,
              numberText(defaultKnownValue(settings.correction), m_locale));
    showKnown(txtCheckKnown, settings.checkKnown, tr("none"));
    const QString format =
        tr("; a number, optionally \u00b1 its standard uncertainty (1000 "
           "\u00b1 0.2); empty: the value every analyte takes");
    txtKnown->setToolTip(tr("The standard's known value R of %1").arg(analyte) + format);
    lblKnown->setToolTip(txtKnown->toolTip());
    txtCheckKnown->setToolTip(tr("The check standard's known value of %1").arg(analyte) + format);
    lblCheckKnown->setToolTip(txtCheckKnown->toolTip());
}

void RunPanel::showSamples()
{
    m_model->setSamples(correctSamples(m_state, m_state.selected));
    const std::optional<CheckSummary>& check = m_model->samples().check;
    const std::string& pattern = m_state.settings.checkPattern;
    lblCheckSummary->setVisible(!pattern.empty());
    lblCheckSummary->setText(!pattern.empty() && check
                                 ? QString::fromStdString(checkSummaryText(*check, pattern, m_fmt))
                                 : QString());
    cmdCopySamples->setEnabled(!m_model->samples().samples.empty());
}

void RunPanel::chooseStandard(const QString& text)
{
    const QString pattern = text.trimmed();
    if (!m_state.run)
        return;
    const std::string now = standardPatternOf(*m_state.run, m_state.settings.standardPattern);
    if (pattern.isEmpty() || pattern.toStdString() == now) {
        const QSignalBlocker quiet(cboStandard);
        cboStandard->setEditText(QString::fromStdString(now));
        return;
    }
    emit standardChosen(pattern);
}

void RunPanel::takeKnown(QLineEdit* field, std::map<std::string, KnownValue>& values, bool standard)
{
    const std::string name = shownName();
    const auto own = values.find(name);
    const QString now =
        own != values.end() ? localeKnownValueText(own->second, m_locale) : QString();
    auto read = readLocaleKnownValue(field->text(), m_locale);
    std::string why;
    if (const std::string* problem = std::get_if<std::string>(&read))
        why = *problem;
    const std::optional<KnownValue>* known = std::get_if<std::optional<KnownValue>>(&read);
    if (why.empty() && standard && known && *known)
        why = knownValueProblem(m_state.settings.correction, **known).value_or("");
    if (!why.empty()) {
        field->setText(now);  // before the message: its focus change finds nothing new
        refuse(tr("The known value of %1 stays %2: %3.")
                   .arg(QString::fromStdString(name),
                        now.isEmpty() ? field->placeholderText() : now, QString::fromStdString(why))
                   .toStdString());
        return;
    }
    if (*known == (own != values.end() ? std::optional(own->second) : std::nullopt))
        return;
    if (*known)
        values[name] = **known;
    else
        values.erase(name);
    field->setText(*known ? localeKnownValueText(**known, m_locale) : QString());
    changed();
}

void RunPanel::takeMaxGap()
{
    std::optional<double>& gap = m_state.settings.maxGap;
    const QString text = txtMaxGap->text().trimmed();
    std::optional<double> fresh;
    if (!text.isEmpty()) {
        fresh = readNumber(text, m_locale);
        if (!fresh || *fresh < 0) {
            txtMaxGap->setText(gap ? numberText(*gap, m_locale) : QString());
            refuse(tr("Max. gap must be a number of 0 or more, or empty for none: \"%1\".")
                       .arg(text)
                       .toStdString());
            return;
        }
    }
    if (fresh == gap)
        return;
    gap = fresh;
    changed();
}

void RunPanel::takeCheckPattern()
{
    const std::string pattern = txtCheckPattern->text().trimmed().toStdString();
    if (pattern == m_state.settings.checkPattern)
        return;
    m_state.settings.checkPattern = pattern;
    changed();
}

void RunPanel::changed()
{
    showSettings();  // the known values' placeholders follow the kind
    showSamples();
    emit settingsChanged();
}

}  // namespace kalibrix
