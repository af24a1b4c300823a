#include "render/report.h"

#include "engine/method_table.h"
#include "engine/weights.h"
#include "model/user_message.h"
#include "model/version.h"
#include "run/captions.h"
#include "run/known_values.h"
#include "run/residuals.h"
#include "run/rounding.h"
#include "run/run_split.h"
#include "run/samples.h"
#include "run/plot.h"
#include "render/plot_painter.h"
#include "run/save_file.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kalibrix {

namespace {

// The window's designed resolution (15 twips a pixel): the plot's lines and the text keep the
// proportions they have on the screen.
constexpr int kDotsPerInch = 96;
constexpr double kMarginMm = 15;
constexpr double kGapMm = 3;
constexpr double kTitlePoints = 15;
constexpr double kTextPoints = 9;
constexpr double kTablePoints = 8;
constexpr int kMostListingColumns = 4;

constexpr const char* kDrawError = "The report could not be drawn as PDF";

QString qstr(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QFont fontOf(double points, bool bold = false)
{
    QFont f;
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// A method's name in the report: its row of the summary, or its caption in the window.
QString methodLabel(const FitMethod& m, const std::string& degree)
{
    const QString label = qstr(withDegree(m.summaryRow ? m.summaryRow : m.caption, degree));
    return std::string_view(m.name).starts_with("poly") ? QStringLiteral("Polynomial ") + label
                                                        : label;
}

// The pages of one report: contents placed top to bottom, a new page where the next piece
// does not fit below.
class Sheet {
public:
    Sheet(QPdfWriter& pdf, QPainter& painter) : m_pdf(pdf), m_painter(painter) {}

    double width() const { return m_pdf.width(); }
    double mm(double v) const { return v * kDotsPerInch / 25.4; }
    double left() const { return m_pdf.height() - m_y; }  // the room below
    double y() const { return m_y; }
    bool failed() const { return m_failed; }
    QPainter& painter() { return m_painter; }
    const QPaintDevice* device() const { return &m_pdf; }

    void newPage()
    {
        m_failed = m_failed || !m_pdf.newPage();
        m_y = 0;
    }
    // A new page when `height` does not fit below (and the page holds something already).
    void room(double height)
    {
        if (m_y > 0 && m_y + height > m_pdf.height())
            newPage();
    }
    void skip(double height) { m_y += height; }

    // `text` broken into lines of the page's width, each placed where it fits.
    void paragraph(const QString& text, const QFont& font)
    {
        QTextLayout layout(text, font, &m_pdf);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(width());
        layout.endLayout();
        m_painter.setPen(Qt::black);
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            room(line.height());
            line.draw(&m_painter, QPointF(0, m_y - line.y()));
            m_y += line.height();
        }
    }

private:
    QPdfWriter& m_pdf;
    QPainter& m_painter;
    double m_y = 0;
    bool m_failed = false;
};

// The results grid: a row per method with the window's cells and leave-one-out figures, in
// the method's colour; the leave-one-out figures of the method that predicts best in bold.
// Every column is at least as wide as its widest text and a gap, so no two texts meet; a
// page too narrow for that gets the table in a smaller font.
void resultsTable(Sheet& sheet, const RunResults& results, const Captions& c)
{
    const std::span<const FitMethod> methods = fitMethods();
    std::vector<QString> labels{QStringLiteral("Method")};
    // As in the window's grid, a smoother's degrees of freedom stand where a regression's a
    // does; the two leave-one-out figures come last, after the five figures' columns.
    constexpr std::size_t kFigureColumns = 5;
    std::vector<std::vector<QString>> rows{{QStringLiteral("a:"), QStringLiteral("b:"),
                                            QStringLiteral("r^2:"), QStringLiteral("Aver. diff.:"),
                                            QStringLiteral("%:"), QStringLiteral("LOO:"),
                                            QStringLiteral("LOO %:")}};
    for (std::size_t m = 0; m < methods.size(); ++m) {
        labels.push_back(methodLabel(methods[m], results.degreeText));
        const auto& cells = c.cells[m];
        std::vector<QString> row{qstr(cells[kCellA].empty() ? cells[kCellEdf] : cells[kCellA])};
        for (const int cell : {kCellB, kCellRSquared, kCellDiff, kCellDiffProc})
            row.push_back(qstr(cells[cell]));
        row.push_back(qstr(c.looError[m]));
        row.push_back(qstr(c.looPercent[m]));
        rows.push_back(std::move(row));
    }

    // The widths at a font size, the method column first, measured in bold (no narrower).
    auto widthsAt = [&](double points) {
        const QFontMetricsF metrics(fontOf(points, true), sheet.device());
        const double gap = metrics.horizontalAdvance(QStringLiteral("  "));
        std::vector<double> widths(rows.front().size() + 1, gap);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            widths[0] = std::max(widths[0], metrics.horizontalAdvance(labels[r]) + gap);
            for (std::size_t i = 0; i < rows[r].size(); ++i)
                widths[i + 1] =
                    std::max(widths[i + 1], metrics.horizontalAdvance(rows[r][i]) + gap);
        }
        return widths;
    };
    auto sum = [](const std::vector<double>& w) {
        return std::accumulate(w.begin(), w.end(), 0.0);
    };
    double points = kTablePoints;
    std::vector<double> widths = widthsAt(points);
    for (int tries = 0; tries < 8 && sum(widths) > sheet.width(); ++tries) {
        points *= 0.97 * sheet.width() / sum(widths);
        widths = widthsAt(points);
    }
    // The room left over widens the figures' columns alike.
    const double spare = std::max(0.0, sheet.width() - sum(widths)) / double(widths.size() - 1);
    for (std::size_t i = 1; i < widths.size(); ++i)
        widths[i] += spare;

    const QFont plain = fontOf(points);
    const QFont bold = fontOf(points, true);
    const double rowHeight = QFontMetricsF(plain, sheet.device()).height() * 1.2;
    QPainter& p = sheet.painter();
    auto row = [&](std::size_t r, bool best) {
        sheet.room(rowHeight);
        const double y = sheet.y();
        p.setFont(plain);
        p.drawText(QRectF(0, y, widths[0], rowHeight),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, labels[r]);
        double left = widths[0];
        for (std::size_t i = 0; i < rows[r].size(); ++i) {
            p.setFont(best && i >= kFigureColumns ? bold : plain);
            p.drawText(QRectF(left, y, widths[i + 1], rowHeight),
                       Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, rows[r][i]);
            left += widths[i + 1];
        }
        sheet.skip(rowHeight);
    };
    p.setPen(Qt::black);
    row(0, false);
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const std::optional<Rgb>& colour = methods[m].textColour;
        p.setPen(colour ? QColor(colour->r, colour->g, colour->b) : QColor(Qt::black));
        row(m + 1, results.bestPredictor == m);
    }
    p.setPen(Qt::black);
}

// The parameter listing, one parameter a line, in as many columns as the room below needs.
void listing(Sheet& sheet, const QString& heading, const std::string& text)
{
    sheet.paragraph(heading, fontOf(kTextPoints, true));
    QStringList lines = qstr(text).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        lines.append(QStringLiteral("not fitted"));
    const QFont font = fontOf(kTablePoints);
    const double lineHeight = QFontMetricsF(font, sheet.device()).height();
    // The listing is short (at most 25 lines): when it does not fit below, even in columns,
    // it goes on a new page.
    auto fit = std::max<qsizetype>(1, qsizetype(sheet.left() / lineHeight));
    if (lines.size() > fit * kMostListingColumns) {
        sheet.newPage();
        fit = std::max<qsizetype>(1, qsizetype(sheet.left() / lineHeight));
    }
    const qsizetype columns =
        std::min<qsizetype>((lines.size() + fit - 1) / fit, kMostListingColumns);
    const qsizetype rows = (lines.size() + columns - 1) / columns;
    sheet.room(double(rows) * lineHeight);
    QPainter& p = sheet.painter();
    p.setFont(font);
    const double width = sheet.width() / kMostListingColumns;
    for (qsizetype i = 0; i < lines.size(); ++i)
        p.drawText(QRectF(width * double(i / rows), sheet.y() + lineHeight * double(i % rows),
                          width, lineHeight),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, lines[i]);
    sheet.skip(double(rows) * lineHeight);
}

QString methodsTicked(const MethodBoxes& values, const std::string& degree)
{
    QStringList names;
    for (const FitMethod& method : fitMethods())
        if (ticked(boxOf(values, method.name)))
            names.append(methodLabel(method, degree));
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

// Whether the analyte's run weighed the standards by their errors, and if not while asked
// to, the first standard that kept it from it.
QString weightsText(const Settings& s, const Analyte& analyte)
{
    const std::vector<std::optional<FitResult>>& fits = analyte.results.fits;
    if (std::any_of(fits.begin(), fits.end(), [](const auto& f) { return f && f->weighted; }))
        return QStringLiteral("weighted by the errors");
    if (!s.weightByErrors)
        return QStringLiteral("not weighted");
    const std::optional<int> x = firstStandardWithoutError(analyte.table);
    return x ? QStringLiteral("not weighted (the standard at X = %1 has no error above 0)").arg(*x)
             : QStringLiteral("not weighted");
}

void settingsLines(Sheet& sheet, const Settings& s, const Analyte& analyte)
{
    const QFont font = fontOf(kTextPoints);
    sheet.paragraph(QStringLiteral("Settings"), fontOf(kTextPoints, true));
    const std::size_t level = static_cast<std::size_t>(s.level.value_or(kDefaultLevel));
    const QString full = QStringLiteral("Full"), zoom = QStringLiteral("Zoom");
    for (const QString& line :
         {QStringLiteral("Show: ") + methodsTicked(s.show, s.degreeText),
          QStringLiteral("Export: ") + methodsTicked(s.exported, s.degreeText),
          QStringLiteral("Degree of the chosen polynomial: ") + qstr(s.degreeText),
          QStringLiteral("Confidence band: ") +
              (ticked(s.showBand) ? QStringLiteral("shown") : QStringLiteral("not shown")) +
              QStringLiteral("; level ") + qstr(levelItems().at(level)).simplified(),
          QStringLiteral("Uncertainty: of ") +
              (s.uncertaintyKind == UncertaintyKind::Curve ? QStringLiteral("the curve")
                                                           : QStringLiteral("a new reading")) +
              QStringLiteral("; level ") + qstr(levelItems().at(level)).simplified() +
              QStringLiteral("; ") + weightsText(s, analyte),
          QStringLiteral("Y scale: ") + (s.scaleYFull ? full : zoom) +
              QStringLiteral("; X scale: ") + (s.scaleXFull ? full : zoom) +
              QStringLiteral("; Y scaling at rejection: ") +
              (s.allData ? QStringLiteral("All data") : QStringLiteral("Only unrejected"))})
        sheet.paragraph(line, font);
}

// A table of texts in the table font: a bold title row, then the rows, every column as wide
// as its widest text and a gap before it (the font smaller where the page is too narrow),
// the title row again at the top of every further page. `right`: the columns aligned right.
void textTable(Sheet& sheet, const std::vector<QString>& titles,
               const std::vector<std::vector<QString>>& rows, const std::vector<bool>& right)
{
    auto gapAt = [&](double points) {
        return QFontMetricsF(fontOf(points, true), sheet.device())
            .horizontalAdvance(QStringLiteral("  "));
    };
    auto widthsAt = [&](double points) {
        const QFontMetricsF metrics(fontOf(points, true), sheet.device());
        const double gap = gapAt(points);
        std::vector<double> widths(titles.size(), gap);
        for (std::size_t i = 0; i < titles.size(); ++i)
            widths[i] += metrics.horizontalAdvance(titles[i]);
        for (const std::vector<QString>& row : rows)
            for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
                widths[i] = std::max(widths[i], metrics.horizontalAdvance(row[i]) + gap);
        return widths;
    };
    double points = kTablePoints;
    std::vector<double> widths = widthsAt(points);
    for (int tries = 0; tries < 8 && std::reduce(widths.begin(), widths.end()) > sheet.width();
         ++tries) {
        points *= 0.97 * sheet.width() / std::reduce(widths.begin(), widths.end());
        widths = widthsAt(points);
    }
    // The room left over widens the columns alike.
    const double spare = std::max(0.0, sheet.width() - std::reduce(widths.begin(), widths.end())) /
                         double(widths.size());
    for (double& width : widths)
        width += spare;
    const double rowHeight = QFontMetricsF(fontOf(points), sheet.device()).height() * 1.2;
    QPainter& p = sheet.painter();
    p.setPen(Qt::black);
    const double gap = gapAt(points);
    const QFont plainFont = fontOf(points), boldFont = fontOf(points, true);
    auto line = [&](const std::vector<QString>& cells, bool bold) {
        p.setFont(bold ? boldFont : plainFont);
        double left = -gap;  // the first column needs no gap before it
        for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
            const Qt::Alignment align = right[i] ? Qt::AlignRight : Qt::AlignLeft;
            p.drawText(QRectF(left + gap, sheet.y(), widths[i] - gap, rowHeight),
                       align | Qt::AlignVCenter | Qt::TextDontClip, cells[i]);
            left += widths[i];
        }
        sheet.skip(rowHeight);
    };
    sheet.room(2 * rowHeight);
    line(titles, true);
    for (const std::vector<QString>& row : rows) {
        sheet.room(rowHeight);
        if (sheet.y() == 0)
            line(titles, true);
        line(row, false);
    }
}

// A value and its half-width as the report shows them: "0.9987 ± 0.0021".
QString withHalfWidth(const std::optional<double>& value, const std::optional<double>& halfWidth,
                      const NumberFormat& fmt)
{
    QString text = qstr(Rounding(value, fmt));
    if (value && halfWidth)
        text += QStringLiteral(" \u00b1 ") + qstr(Rounding(halfWidth, fmt));
    return text;
}

// The known value analyte `name` is corrected with: its own, that of every analyte, or the
// correction's default.
KnownValue knownOf(const Settings& s, const std::string& name)
{
    for (const std::string& key : {name, std::string()})
        if (const auto it = s.known.find(key); it != s.known.end())
            return it->second;
    return {defaultKnownValue(s.correction), std::nullopt};
}

// How the samples of a run were corrected: the kind, the known value, the method (and which
// one "best" was), the standard's and the check standard's IDs and the largest gap.
QString correctionLine(const State& state, const Analyte& analyte, const AnalyteSamples& samples,
                       const NumberFormat& fmt)
{
    const Settings& s = state.settings;
    QString method = qstr(s.correctWith);
    if (samples.method)
        method += QStringLiteral(" (%1)").arg(
            methodLabel(fitMethods()[*samples.method], analyte.results.degreeText));
    QString line = QStringLiteral(
                       "Correction: %1 with the known value %2; correct with: %3; "
                       "standard: %4")
                       .arg(QLatin1String(correctionName(s.correction)),
                            qstr(knownValueText(knownOf(s, analyte.name))), method,
                            qstr(standardPatternOf(*state.run, s.standardPattern)));
    if (!s.checkPattern.empty())
        line += QStringLiteral("; check standard: ") + qstr(s.checkPattern);
    if (s.maxGap)
        line += QStringLiteral("; max. gap: ") + qstr(Rounding(s.maxGap, fmt));
    return line;
}

// The check standard's figures: how many of its lines were corrected, their mean, standard
// deviation, bias from its known value and z.
QString checkLine(const CheckSummary& c, const NumberFormat& fmt)
{
    auto figure = [&fmt](const std::optional<double>& v) {
        return v ? qstr(Rounding(v, fmt)) : QStringLiteral("none");
    };
    return QStringLiteral("Check standard: %1 corrected; mean %2; SD %3; bias %4; z %5")
        .arg(c.count)
        .arg(figure(c.mean), figure(c.sd), figure(c.bias), figure(c.z));
}

// Of a run table: the check standard's figures and every corrected sample of an analyte
// (ID, X, reading, S(X) ± u, corrected ± u, flag), on as many pages as they need.
void samplesPart(Sheet& sheet, const AnalyteSamples& samples, const NumberFormat& fmt)
{
    const QFont text = fontOf(kTextPoints);
    sheet.skip(sheet.mm(kGapMm));
    sheet.paragraph(QStringLiteral("Samples"), fontOf(kTextPoints, true));
    if (samples.check)
        sheet.paragraph(checkLine(*samples.check, fmt), text);
    if (samples.samples.empty()) {
        sheet.paragraph(QStringLiteral("No samples corrected."), text);
        return;
    }
    std::vector<std::vector<QString>> rows;
    for (const CorrectedSample& sample : samples.samples)
        rows.push_back({qstr(sample.id), QString::number(sample.x),
                        qstr(Rounding(sample.reading, fmt)),
                        withHalfWidth(sample.standard, sample.standardHalfWidth, fmt),
                        withHalfWidth(sample.corrected, sample.correctedHalfWidth, fmt),
                        qstr(flagText(sample.flags))});
    sheet.skip(sheet.mm(kGapMm));
    textTable(sheet,
              {QStringLiteral("ID"), QStringLiteral("X"), QStringLiteral("Reading"),
               QStringLiteral("S(X) \u00b1 u"), QStringLiteral("Corrected \u00b1 u"),
               QStringLiteral("Flag")},
              rows, {false, true, true, true, true, false});
}

// The residuals of the analyte's last run (residualsOf): for each standard its X, Y and
// state, and for each method shown its value, residual and leave-one-out residual, each
// method's columns titled as in the export; on as many pages as they need.
void residualsPart(Sheet& sheet, const State& state, std::size_t a, const NumberFormat& fmt)
{
    const ResidualTable t = residualsOf(state, a);
    if (t.x.empty())
        return;
    const RunResults& results = state.analytes[a].results;
    sheet.skip(sheet.mm(kGapMm));
    sheet.paragraph(QStringLiteral("Residuals"), fontOf(kTextPoints, true));
    std::vector<QString> titles{QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("State")};
    std::vector<bool> right{true, true, false};
    for (const ResidualColumn& c : t.columns) {
        const QString title =
            qstr(withDegree(fitMethods()[c.method].exportTitle, results.degreeText));
        titles.insert(titles.end(), {title, title + QStringLiteral(" residual"),
                                     title + QStringLiteral(" LOO residual")});
        right.insert(right.end(), {true, true, true});
    }
    std::vector<std::vector<QString>> rows;
    rows.reserve(t.x.size());
    for (std::size_t i = 0; i < t.x.size(); ++i) {
        std::vector<QString> row{QString::number(t.x[i]), qstr(Rounding(t.y[i], fmt)),
                                 QLatin1String(stateWord(results, t.x[i], t.rejected[i]))};
        for (const ResidualColumn& c : t.columns)
            row.insert(row.end(),
                       {qstr(Rounding(c.value[i], fmt)), qstr(Rounding(c.residual[i], fmt)),
                        qstr(Rounding(c.leaveOneOut[i], fmt))});
        rows.push_back(std::move(row));
    }
    sheet.skip(sheet.mm(kGapMm));
    textTable(sheet, titles, rows, right);
}

void analytePage(Sheet& sheet, const State& state, std::size_t a, const NumberFormat& fmt,
                 const QString& head)
{
    const Analyte& analyte = state.analytes[a];
    const RunResults& results = analyte.results;
    const QFont text = fontOf(kTextPoints);
    sheet.paragraph(QStringLiteral("%1 report").arg(QLatin1String(kAppTitle)),
                    fontOf(kTitlePoints, true));
    sheet.paragraph(head, text);
    if (state.named)
        sheet.paragraph(QStringLiteral("Analyte: %1 (%2 of %3)")
                            .arg(qstr(analyte.name))
                            .arg(a + 1)
                            .arg(state.analytes.size()),
                        fontOf(kTextPoints, true));
    sheet.skip(sheet.mm(kGapMm));

    if (results.computed) {
        // The analyte's picture as the window draws it after the run.
        const PlotDisplay plot = buildPlot(analyte, state.settings, fmt, state.student);
        const QSize designed = designedPlotSize();
        const double scale = sheet.width() / designed.width();
        sheet.room(designed.height() * scale);
        QPainter& p = sheet.painter();
        p.save();
        p.translate(0, sheet.y());
        p.scale(scale, scale);
        paintPlot(p, plot, designed, PlotColours{});
        p.restore();
        sheet.skip(designed.height() * scale + sheet.mm(kGapMm));
    } else {
        sheet.paragraph(QStringLiteral("Nothing has been calculated yet."), text);
    }

    const Captions c = makeCaptions(results, fmt, Figures::Shown);
    resultsTable(sheet, results, c);
    sheet.skip(sheet.mm(kGapMm));
    sheet.paragraph(QStringLiteral("Maximum: %1    Number of data: %2    Rejected: %3")
                        .arg(qstr(c.nData), qstr(c.nDataOK), qstr(c.rejected)),
                    text);
    QStringList rejected;
    for (int x = 0; x <= analyte.table.nData; ++x)
        if (!analyte.table.inUse(x) && analyte.table.y[x].value_or(0) > 0)
            rejected.append(QString::number(x));
    sheet.paragraph(
        QStringLiteral("Rejected standards (X): ") +
            (rejected.isEmpty() ? QStringLiteral("none") : rejected.join(QStringLiteral(", "))),
        text);
    sheet.skip(sheet.mm(kGapMm));
    settingsLines(sheet, state.settings, analyte);
    const std::optional<AnalyteSamples> samples =
        state.run ? std::optional(correctSamples(state, a)) : std::nullopt;
    if (samples)
        sheet.paragraph(correctionLine(state, analyte, *samples, fmt), text);
    sheet.skip(sheet.mm(kGapMm));
    for (const FitMethod& m : fitMethods())
        if (m.listsParameters)
            listing(sheet, QStringLiteral("Parameters of ") + methodLabel(m, results.degreeText),
                    c.listing);
    // The residuals table comes with the residual view, which the picture above shows: a
    // table of every standard is long (a run of 6000 standards fills some 80 pages).
    if (state.settings.plotResiduals)
        residualsPart(sheet, state, a, fmt);
    if (samples)
        samplesPart(sheet, *samples, fmt);
}

}  // namespace

std::optional<std::string> writeReport(const State& state, const NumberFormat& fmt,
                                       const std::filesystem::path& file, std::string_view source,
                                       const QDateTime& when)
{
    const QString program =
        QStringLiteral("%1 %2").arg(QLatin1String(kAppTitle), qstr(kProgramVersion));
    const QString head =
        QStringLiteral("Date: %1    Program: %2    Source: %3")
            .arg(when.toString(QStringLiteral("yyyy-MM-dd HH:mm")), program, qstr(source));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(kDotsPerInch);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                      QPageLayout::Millimeter));
        pdf.setTitle(QStringLiteral("%1 report").arg(QLatin1String(kAppTitle)));
        pdf.setCreator(program);
        QPainter painter;
        if (!painter.begin(&pdf))
            return kDrawError;
        Sheet sheet(pdf, painter);
        for (std::size_t a = 0; a < state.analytes.size(); ++a) {
            if (a > 0)
                sheet.newPage();
            analytePage(sheet, state, a, fmt, head);
        }
        if (!painter.end() || sheet.failed())
            return kDrawError;
    }
    const QByteArray& bytes = buffer.data();
    return saveFile(file, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace kalibrix
