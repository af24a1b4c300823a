#pragma once

#include "model/settings.h"
#include "model/user_message.h"
#include "run/number_format.h"
#include "run/samples.h"
#include "run/state.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <QString>
#include <QWidget>

#include <optional>
#include <string>
#include <variant>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QVBoxLayout;

namespace kalibrix {

// A known value as typed in the window: a number of `locale` (or with "." as decimal point),
// optionally followed by "±" (or "+-", "+/-") and its standard uncertainty; empty text is no
// value of its own. The reason in words when the text is neither.
std::variant<std::optional<KnownValue>, std::string> readLocaleKnownValue(const QString& text,
                                                                          const QLocale& locale);
// The text of a known value in `locale` as readLocaleKnownValue reads it back: "1000 ± 0.2".
QString localeKnownValueText(const KnownValue& known, const QLocale& locale);

// The corrected samples of one analyte as the window's samples table shows them: ID, X,
// reading, S(X) ± u, corrected ± u and flag, the figures as the results grid rounds them
// and in full in their tooltips; a check standard's lines in italics.
class SamplesModel : public QAbstractTableModel {
public:
    enum Column { kId, kX, kReading, kStandard, kCorrected, kFlag, kColumns };

    explicit SamplesModel(const NumberFormat& fmt, QObject* parent = nullptr);

    void setSamples(AnalyteSamples samples);
    const AnalyteSamples& samples() const { return m_samples; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    NumberFormat m_fmt;
    AnalyteSamples m_samples;
};

// The run's part of the window, shown only for a run table: the standard's ID or pattern,
// the method and kind of the correction, the known values of the analyte shown, "Max. gap",
// the check standard, and the samples table of the analyte shown with the check standard's
// summary below it. Every control writes its setting into the state's settings; a value the
// correction cannot take is refused with a message and changes nothing.
class RunPanel : public QWidget {
    Q_OBJECT
public:
    RunPanel(State& state, const NumberFormat& fmt, QWidget* parent = nullptr);

    // The controls from the settings and the run (its IDs, the methods shown), without
    // running anything.
    void showSettings();
    // The samples table and the check summary of the analyte shown, from its last run.
    void showSamples();

    // Shows `message` (a refusal) as the window shows its messages.
    void refuse(const std::string& text);

signals:
    // The user chose or typed another standard (an ID or a pattern).
    void standardChosen(const QString& pattern);
    // A setting of the correction changed (the samples are shown anew already).
    void settingsChanged();
    // "Copy samples" was pressed.
    void copyRequested();

private:
    void build();
    QLabel* addField(QGridLayout* form, QWidget* field, const char* name, const QString& caption,
                     int row, int column, const QString& tip);
    void buildCorrectionFields(QGridLayout* form);
    void buildCheckFields(QGridLayout* form);
    QVBoxLayout* buildSamplesTable();
    void connectHandlers();
    void chooseStandard(const QString& text);
    void showKnownValues();
    void takeKnown(QLineEdit* field, std::map<std::string, KnownValue>& values, bool standard);
    void takeMaxGap();
    void takeCheckPattern();
    void changed();
    std::string shownName() const;

    State& m_state;
    NumberFormat m_fmt;
    QLocale m_locale;
    SamplesModel* m_model = nullptr;
    QComboBox *cboStandard = nullptr, *cboCorrectWith = nullptr, *cboCorrection = nullptr;
    QLineEdit *txtKnown = nullptr, *txtMaxGap = nullptr, *txtCheckPattern = nullptr,
              *txtCheckKnown = nullptr;
    QLabel *lblKnown = nullptr, *lblCheckKnown = nullptr, *lblCheckSummary = nullptr;
    QPushButton* cmdCopySamples = nullptr;
    QTableView* grdSamples = nullptr;
};

}  // namespace kalibrix
