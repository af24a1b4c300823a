#include "workbook/workbook.h"

#include "engine/method_table.h"
#include "model/version.h"
#include "run/export.h"
#include "run/overview.h"
#include "run/residuals.h"
#include "run/samples.h"
#include "run/save_file.h"
#include "run/summary.h"
#include "run/tidy_export.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <span>

namespace kalibrix {

namespace {

constexpr qsizetype kMaxSheetName = 31;
constexpr std::string_view kPlusMinus = "\u00b1";
constexpr double kMaxWidth = 60;

// The text the export writes for `v` (to 15 significant digits, no trailing zeros).
std::string exportedText(double v)
{
    char buf[64];
    const char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr;
    return std::string(static_cast<const char*>(buf), end);
}

// A cell's text as a number when all of it is one ("1.5", "-2E-05"), else none.
std::optional<double> numberIn(std::string_view text)
{
    double v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(v))
        return std::nullopt;
    return v;
}

// The number format that shows a number as `text` writes it: as many decimals, in exponent
// form when the text is ("110.18": "0.00"; "2.565E+10": "0.000E+00"). So a cell shows every
// digit the export writes and no more, whatever the column's width ("General" shows at most
// eleven).
std::string formatOf(std::string_view text)
{
    const std::size_t exponent = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, exponent);
    const std::size_t point = mantissa.find('.');
    const std::size_t decimals = point == std::string_view::npos ? 0 : mantissa.size() - point - 1;
    std::string format = decimals ? "0." + std::string(decimals, '0') : "0";
    if (exponent != std::string_view::npos)
        format += "E+00";
    return format;
}

// The workbook's number formats, one per distinct format string.
class NumberFormats {
public:
    explicit NumberFormats(lxw_workbook* workbook) : m_workbook(workbook) {}

    lxw_format* forText(std::string_view text)
    {
        const std::string format = formatOf(text);
        if (format == "0")
            return nullptr;  // a whole number shows itself in "General"
        lxw_format*& f = m_formats[format];
        if (!f) {
            f = workbook_add_format(m_workbook);
            format_set_num_format(f, format.c_str());
        }
        return f;
    }

private:
    lxw_workbook* m_workbook;
    std::map<std::string, lxw_format*> m_formats;
};

// One sheet being written row by row (the workbook keeps only the row at hand in memory),
// its columns as wide as their widest cell.
class Sheet {
public:
    Sheet(lxw_worksheet* sheet, NumberFormats& numbers, lxw_format* title)
        : m_sheet(sheet), m_numbers(numbers), m_title(title)
    {}

    // The title row, frozen above the others.
    void titles(const std::vector<std::string>& texts)
    {
        for (std::size_t c = 0; c < texts.size(); ++c)
            text(0, c, texts[c], m_title);
        worksheet_freeze_panes(m_sheet, 1, 0);
    }

    void text(lxw_row_t row, std::size_t col, const std::string& s, lxw_format* format = nullptr)
    {
        if (s.empty())
            return;
        check(worksheet_write_string(m_sheet, row, column(col), s.c_str(), format));
        widen(col, static_cast<double>(QString::fromStdString(s).size()) + 2);
    }

    // A number as the export writes it, shown as the export writes it.
    void value(lxw_row_t row, std::size_t col, const std::optional<double>& v)
    {
        if (!v || !std::isfinite(*v))
            return;
        number(row, col, exportedText(*v));
    }

    // A whole number, or a count.
    void integer(lxw_row_t row, std::size_t col, double v)
    {
        check(worksheet_write_number(m_sheet, row, column(col), v, nullptr));
        widen(col, static_cast<double>(std::to_string(static_cast<long long>(v)).size()) + 2);
    }

    // A text that is a number as a number (its digits kept), else as text.
    void cell(lxw_row_t row, std::size_t col, const std::string& s)
    {
        if (!numberIn(s))
            return text(row, col, s);
        number(row, col, s);
    }

    // Sets the columns' widths, and prints landscape, all columns on a page's width and the
    // titles atop every page; the first error met, if any.
    lxw_error finish()
    {
        worksheet_set_landscape(m_sheet);
        worksheet_fit_to_pages(m_sheet, 1, 0);
        check(worksheet_repeat_rows(m_sheet, 0, 0));
        for (std::size_t c = 0; c < m_widths.size(); ++c)
            check(worksheet_set_column(m_sheet, column(c), column(c),
                                       std::min(m_widths[c], kMaxWidth), nullptr));
        return m_error;
    }

private:
    static lxw_col_t column(std::size_t c) { return static_cast<lxw_col_t>(c); }

    // The number `written` writes, in the format that shows it so.
    void number(lxw_row_t row, std::size_t col, const std::string& written)
    {
        const double v = *numberIn(written);
        check(worksheet_write_number(m_sheet, row, column(col), v, m_numbers.forText(written)));
        widen(col, static_cast<double>(written.size()) + 2);
    }

    void widen(std::size_t col, double width)
    {
        if (m_widths.size() <= col)
            m_widths.resize(col + 1, 8.43);
        m_widths[col] = std::max(m_widths[col], width);
    }

    void check(lxw_error error)
    {
        if (error != LXW_NO_ERROR && m_error == LXW_NO_ERROR)
            m_error = error;
    }

    lxw_worksheet* m_sheet;
    NumberFormats& m_numbers;
    lxw_format* m_title;
    std::vector<double> m_widths;
    lxw_error m_error = LXW_NO_ERROR;
};

// The workbook being written, its formats and the first error met.
struct Book {
    lxw_workbook* workbook = nullptr;
    NumberFormats* numbers = nullptr;
    lxw_format* title = nullptr;
    lxw_error error = LXW_NO_ERROR;
    bool refusedName = false;

    std::optional<Sheet> add(const std::string& name)
    {
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, name.c_str());
        if (!sheet) {
            refusedName = true;
            return std::nullopt;
        }
        return Sheet(sheet, *numbers, title);
    }

    void done(Sheet& sheet)
    {
        const lxw_error e = sheet.finish();
        if (error == LXW_NO_ERROR)
            error = e;
    }
};

// Analyte `a`'s sheet: a row per line of the table (each X where the analyte has a value, or a
// sample), in increasing X, with the table's Y, the state of a standard or a sample there,
// the export's columns and the residuals of the standards. The X between the lines, which
// the clipboard's export lists for pasting beside a sequence, hold nothing of the table: a
// sheet of them would be five times as long for a run measured every fifth position.
void analyteSheet(Book& book, const State& state, std::size_t a, const std::string& name)
{
    std::optional<Sheet> sheet = book.add(name);
    if (!sheet)
        return;
    const Analyte& analyte = state.analytes[a];
    const std::span<const FitMethod> methods = fitMethods();
    const std::vector<ExportColumn> columns = exportColumns(state.settings);
    const std::string& degree = exportDegree(analyte.results, state.settings);
    const ResidualTable residuals = residualsOf(state, a);
    std::vector<std::string> titles{"X", "Data", "State"};
    for (const ExportColumn& c : columns) {
        const std::string title = exportColumnTitle({c.method, ExportCell::Value}, degree);
        titles.push_back(c.cell == ExportCell::Value ? title
                                                     : title + " " + exportColumnTitle(c, degree));
    }
    for (const ResidualColumn& c : residuals.columns) {
        const std::string label = methodLabel(methods[c.method], analyte.results.degreeText);
        titles.push_back(label + " residual");
        titles.push_back(label + " LOO residual");
    }
    sheet->titles(titles);
    const std::vector<const char*> states = exportStates(state, a);
    std::size_t r = 0;  // the next standard of the residuals
    lxw_row_t row = 0;
    for (int x = 1; x <= analyte.table.nData; ++x) {
        if (!analyte.table.y[static_cast<std::size_t>(x)] && !states[static_cast<std::size_t>(x)])
            continue;
        ++row;
        sheet->integer(row, 0, x);
        sheet->value(row, 1, analyte.table.y[static_cast<std::size_t>(x)]);
        if (const char* word = states[static_cast<std::size_t>(x)])
            sheet->text(row, 2, word);
        const bool standard = r < residuals.x.size() && residuals.x[r] == x;
        std::size_t col = 3;
        for (const ExportColumn& c : columns)
            sheet->value(row, col++, exportValue(c, analyte, state, x));
        for (const ResidualColumn& c : residuals.columns) {
            if (standard) {
                sheet->value(row, col, c.residual[r]);
                sheet->value(row, col + 1, c.leaveOneOut[r]);
            }
            col += 2;
        }
        if (standard)
            ++r;
    }
    book.done(*sheet);
}

// "Summary": the rows of kalibrix-cli --summary led by the analyte's name, then the method
// that predicts best.
void summarySheet(Book& book, const State& state, const NumberFormat& fmt)
{
    std::optional<Sheet> sheet = book.add("Summary");
    if (!sheet)
        return;
    const SummaryTable table = summaryTable(state, fmt);
    const std::size_t lead = state.named ? 1 : 0;  // the analyte's name in a first column
    std::vector<std::string> titles;
    if (state.named)
        titles.emplace_back("Analyte");
    titles.insert(titles.end(), table.header.begin(), table.header.end());
    sheet->titles(titles);
    const std::vector<AnalyteGlance> glance = analytesAtAGlance(state);
    lxw_row_t row = 1;
    for (std::size_t a = 0; a < table.rows.size(); ++a) {
        const std::string& name = state.analytes[a].name;
        for (const std::vector<std::string>& cells : table.rows[a]) {
            sheet->text(row, 0, name);
            for (std::size_t c = 0; c < cells.size(); ++c)
                c == 0 ? sheet->text(row, lead, cells[0]) : sheet->cell(row, lead + c, cells[c]);
            ++row;
        }
        sheet->text(row, 0, name);
        sheet->text(row, lead, "Best method:");
        if (a < glance.size() && glance[a].best)
            sheet->text(
                row, lead + 1,
                methodLabel(fitMethods()[*glance[a].best], state.analytes[a].results.degreeText));
        ++row;
    }
    book.done(*sheet);
}

// "Samples": the corrected samples of every analyte, the columns of kalibrix-cli --samples.
void samplesSheet(Book& book, const State& state)
{
    std::optional<Sheet> sheet = book.add("Samples");
    if (!sheet)
        return;
    sheet->titles({"Analyte", "ID", "X", "Reading", "Reading err", "Standard",
                   "Standard " + std::string(kPlusMinus), "Corrected",
                   "Corrected " + std::string(kPlusMinus), "Method", "Flag"});
    lxw_row_t row = 1;
    for (std::size_t a = 0; a < state.analytes.size(); ++a) {
        const AnalyteSamples samples = correctSamples(state, a);
        const std::string method = samples.method && *samples.method < fitMethods().size()
                                       ? fitMethods()[*samples.method].name
                                       : "";
        for (const CorrectedSample& s : samples.samples) {
            sheet->text(row, 0, state.analytes[a].name);
            sheet->text(row, 1, s.id);
            sheet->integer(row, 2, s.x);
            std::size_t col = 3;
            for (const std::optional<double>& v :
                 {s.reading, s.readingErr, s.standard, s.standardHalfWidth, s.corrected,
                  s.correctedHalfWidth})
                sheet->value(row, col++, v);
            sheet->text(row, 9, method);
            sheet->text(row, 10, flagText(s.flags));
            ++row;
        }
    }
    book.done(*sheet);
}

std::string tickedMethods(const MethodBoxes& boxes, const std::string& degree)
{
    std::string names;
    for (const FitMethod& method : fitMethods())
        if (ticked(boxOf(boxes, method.name)))
            names += (names.empty() ? "" : ", ") + methodLabel(method, degree);
    return names.empty() ? "none" : names;
}

// "Settings": what the run was made with, the rejections of each analyte, the program's
// version and where the table came from.
void settingsSheet(Book& book, const State& state, std::string_view source)
{
    std::optional<Sheet> sheet = book.add("Settings");
    if (!sheet)
        return;
    const Settings& s = state.settings;
    sheet->titles({"Setting", "Value"});
    const std::size_t level = static_cast<std::size_t>(s.level.value_or(kDefaultLevel));
    const char* kinds[] = {"ratio", "difference", "delta"};
    std::vector<std::pair<std::string, std::string>> rows{
        {"Program", "KALIBRIX " + std::string(kProgramVersion)},
        {"Source", std::string(source)},
        {"Level", QString::fromStdString(levelItems().at(level)).simplified().toStdString()},
        {"Degree of the chosen polynomial", s.degreeText},
        {"Weighting", s.weightByErrors ? "by the errors" : "none"},
        {"Band of", s.bandMethod},
        {"Confidence band", ticked(s.showBand) ? "shown" : "not shown"},
        {"Uncertainty",
         s.uncertaintyKind == UncertaintyKind::Curve ? "of the curve" : "of a new reading"},
        {"Export uncertainties", s.exportUncertainties ? "yes" : "no"},
        {"Show", tickedMethods(s.show, s.degreeText)},
        {"Export", tickedMethods(s.exported, s.degreeText)}};
    if (state.run) {
        rows.emplace_back("Standard", s.standardPattern);
        rows.emplace_back("Check standard", s.checkPattern.empty() ? "none" : s.checkPattern);
        rows.emplace_back("Correction", kinds[static_cast<int>(s.correction)]);
        rows.emplace_back("Correct with", s.correctWith);
    }
    lxw_row_t row = 1;
    for (const auto& [label, value] : rows) {
        sheet->text(row, 0, label);
        sheet->text(row, 1, value);
        ++row;
    }
    // The standards each analyte's run rejected: "Rejected", the analyte, then their X.
    for (const Analyte& analyte : state.analytes) {
        sheet->text(row, 0, "Rejected");
        sheet->text(row, 1, state.named ? analyte.name : "");
        std::size_t col = 2;
        for (int x : analyte.results.rejected)
            sheet->integer(row, col++, x);
        ++row;
    }
    book.done(*sheet);
}

std::string reasonOf(lxw_error error) { return lxw_strerror(error); }

}  // namespace

std::vector<std::string> analyteSheetNames(const std::vector<std::string>& names)
{
    std::vector<QString> taken{QStringLiteral("Summary"), QStringLiteral("Samples"),
                               QStringLiteral("Settings"), QStringLiteral("History")};
    auto isTaken = [&taken](const QString& name) {
        return std::any_of(taken.begin(), taken.end(), [&name](const QString& t) {
            return t.compare(name, Qt::CaseInsensitive) == 0;
        });
    };
    // At most `n` UTF-16 units, a surrogate pair kept whole.
    auto cut = [](QString s, qsizetype n) {
        if (s.size() > n)
            s.truncate(s.at(n - 1).isHighSurrogate() ? n - 1 : n);
        return s;
    };
    std::vector<std::string> result;
    for (std::size_t i = 0; i < names.size(); ++i) {
        QString name = QString::fromStdString(names[i]);
        for (QChar& c : name)
            if (QStringView(u"[]:*?/\\").contains(c) || c.unicode() < 0x20)
                c = u'_';
        while (name.startsWith(u'\''))
            name.remove(0, 1);
        name = cut(name, kMaxSheetName);
        while (name.endsWith(u'\''))
            name.chop(1);
        if (name.isEmpty())
            name = QStringLiteral("Analyte %1").arg(i + 1);
        const QString base = name;
        for (int n = 2; isTaken(name); ++n) {
            const QString suffix = QStringLiteral(" (%1)").arg(n);
            name = cut(base, kMaxSheetName - suffix.size()) + suffix;
        }
        taken.push_back(name);
        result.push_back(name.toStdString());
    }
    return result;
}

std::optional<std::string> writeWorkbook(const State& state, const NumberFormat& fmt,
                                         const std::filesystem::path& file, std::string_view source)
{
    // libxlsxwriter writes to a file of its own; that file's bytes are then saved in the
    // place of `file` as every other file of the program is.
    const QTemporaryDir dir;
    if (!dir.isValid())
        return dir.errorString().toStdString();
    const std::string temp = QDir(dir.path()).filePath(QStringLiteral("book.xlsx")).toStdString();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // a row at a time: 60 analytes of 30000 rows fit
    options.use_zip64 = LXW_TRUE;
    Book book;
    book.workbook = workbook_new_opt(temp.c_str(), &options);
    if (!book.workbook)
        return std::string("cannot make the workbook");
    NumberFormats numbers(book.workbook);
    book.numbers = &numbers;
    book.title = workbook_add_format(book.workbook);
    format_set_bold(book.title);
    NumberFormat cells = fmt.forExport();
    cells.decimalPoint = ".";  // the summary's figures read as numbers
    std::vector<std::string> names;
    for (const Analyte& analyte : state.analytes)
        names.push_back(state.named ? analyte.name : std::string("Data"));
    const std::vector<std::string> sheetNames = analyteSheetNames(names);
    for (std::size_t a = 0; a < state.analytes.size(); ++a)
        if (!state.named || state.analytes[a].table.anyValue())
            analyteSheet(book, state, a, sheetNames[a]);
    summarySheet(book, state, cells);
    if (state.run)
        samplesSheet(book, state);
    settingsSheet(book, state, source);
    const lxw_error closed = workbook_close(book.workbook);
    if (book.refusedName)
        return std::string("a sheet name was refused");
    if (book.error != LXW_NO_ERROR)
        return reasonOf(book.error);
    if (closed != LXW_NO_ERROR)
        return reasonOf(closed);
    QFile written(QString::fromStdString(temp));
    if (!written.open(QIODevice::ReadOnly))
        return written.errorString().toStdString();
    const QByteArray bytes = written.readAll();
    return saveFile(file,
                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace kalibrix
