// kalibrix-bench: what the program's heavy actions cost at the largest tables it takes,
// and at a tenth and a hundredth of that size so that the growth shows.
//
// Every case but "import refused" takes nData = 300, 3000 and 30000 (the largest X):
//   import       parseTable of a 3-column text (CR LF) with a standard at every 5th
//                position, so 60, 600 and 6000 lines (6000 is the most a paste takes);
//   import refused  parseTable under a German locale of the largest text it takes, 6000
//                lines of 100 cells, each cell read both with the decimal point and in the
//                locale ("-123.456e-07"), the last cell not a number;
//   calculate    one plot-and-calculate without the picture, a standard at every position
//                and every method ticked (linear with band, log, polynomials 6, 2..5, zigzag);
//   calculate+loo  the same run with every fitted method's leave-one-out errors and the
//                suggested outliers;
//   run, run+loo  a plot-and-calculate run as the window makes it (numbers and picture),
//                without and with the leave-one-out errors (the window always asks for
//                them: at most twice "run");
//   displaylist  buildPlot of that run;
//   paint        paintPlot of that picture into a 1920 x 1080 image;
//   replot       calculate + display list + paint: a click on "Plot and calculate"; "replot
//                without spline" the same with the smoothing spline not shown;
//   export       exportText of that run with every export box ticked;
//   uncertainty  after a fresh calculate (not timed), both half-widths of every fitted
//                method at every X = 1..nData: what an export with uncertainties adds to
//                "export" (the factorisations are made on the first X asked);
//   export uncertainties  "export" with "Export uncertainties" on, of a new reading (so
//                the line gets its "±" too), after a fresh calculate (not timed) so that
//                it makes the factorisations;
//   calculate weighted, run weighted, run+loo weighted  "calculate", "run" and "run+loo"
//                with "Weight by the errors" on (the table has an error at every standard).
//
// "analytes" takes a named table of 6000 lines (X = 5, 10, ... 30000) and 1 or 60 analyte
// columns and does what the window does with it, every method ticked: the paste, a run of
// every analyte with the leave-one-out errors and the picture, and the export. Its
// "per_analyte" column is the time per analyte, the same at 60 as at 1 when the work grows
// only with the number of analytes.
//
// "samples" takes a run of 6000 lines (X = 5, 10, ... 30000) with an ID column and 60
// analytes, every third line the standard (2000) and the others samples (4000, each with
// an error), built directly as the paste would leave it, every method ticked: after a
// plot-and-calculate run with the leave-one-out errors (not timed), samplesText, the
// corrected samples of every analyte by the method that predicts best (what
// kalibrix-cli --samples writes); "export run" the exportText of the same run, which the
// samples should take at most 1.5 times as long as; "workbook run" writes the XLSX
// workbook of the same run (writeWorkbook: a sheet of 30000 rows per analyte, the summary,
// the samples and the settings), which should take at most 3 times as long as
// "export run".
//
// "report" writes the PDF report (writeReport) of the named table of "analytes" with 60
// analytes after their run with the leave-one-out errors (not timed): per analyte a page
// with its plot of 6000 standards and the pages of their residuals; once (the residuals'
// 360000 rows take most of a minute), the file's size as its label.
//
// "smoothing spline" fits the smoothing spline to a standard at every 5th position (60,
// 600 and 6000 standards), the choice of its smoothing by the leave-one-out error included,
// and gives its leave-one-out errors: what the method adds to a run.
//
// By default each case runs 7 times and only the median is printed; any --benchmark_*
// option given on the command line takes precedence over these defaults.

#include "startup/memory.h"
#include "startup/app_path.h"
#include "startup/startup.h"
#include "engine/data_stat.h"
#include "engine/leave_one_out.h"
#include "engine/smoothing_fit.h"
#include "run/number_format.h"
#include "run/driver.h"
#include "run/export.h"
#include "run/paste_table.h"
#include "run/plot.h"
#include "run/samples.h"
#include "render/plot_painter.h"
#include "render/report.h"
#include "workbook/workbook.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <filesystem>
#include <optional>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

using namespace kalibrix;

namespace {

constexpr int kImportSpacing = 5;  // one standard every 5th position in the pasted text
const QSize kImageSize(1920, 1080);

// Deterministic noise in [-1, 1) (splitmix64), the same on every platform.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : m_state(seed) {}
    double next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1.0p-52 - 1.0;
    }

private:
    std::uint64_t m_state;
};

// A drifting instrument: slow trend with a bend and a wave over the whole sequence,
// plus noise of about 0.3 %.
double driftValue(int x, Noise& noise)
{
    const double t = x / static_cast<double>(kMaxX);
    const double trend = 10000 + 1500 * t - 900 * t * t + 120 * std::sin(7 * t);
    return trend * (1 + 0.003 * noise.next());
}

double errorValue(double y, Noise& noise) { return y * (0.001 + 0.0005 * noise.next()); }

// The clipboard text of a 3-column table: X = 5, 10, ... up to nData.
std::string pasteText(int nData)
{
    Noise noise(20240601);
    std::string text;
    char line[96];
    for (int x = kImportSpacing; x <= nData; x += kImportSpacing) {
        const double y = driftValue(x, noise);
        const int n =
            std::snprintf(line, sizeof line, "%d\t%.5f\t%.4f\r\n", x, y, errorValue(y, noise));
        text.append(line, static_cast<size_t>(n));
    }
    return text;
}

// A named table: X = 5, 10, ... 30000 and `analytes` columns of drifting values, each
// analyte on its own level.
std::string namedPasteText(int analytes)
{
    Noise noise(4242);
    std::string text = "X";
    for (int a = 1; a <= analytes; ++a)
        text += "\tE" + std::to_string(a);
    text += '\n';
    char cell[32];
    for (int x = kImportSpacing; x <= kMaxX; x += kImportSpacing) {
        text += std::to_string(x);
        for (int a = 1; a <= analytes; ++a) {
            const int n = std::snprintf(cell, sizeof cell, "\t%.5g", driftValue(x, noise) * a);
            text.append(cell, static_cast<size_t>(n));
        }
        text += '\n';
    }
    return text;
}

// 6000 lines of X and 99 cells such as "-123.456e-07" that both ways of writing numbers
// read under a German locale; the very last cell is not a number.
std::string refusedImportText()
{
    Noise noise(99);
    std::string text;
    char cell[32];
    for (int line = 1; line <= kMaxPasteLines; ++line) {
        text += std::to_string(line);
        for (int c = 1; c < kMaxPasteCells; ++c) {
            const double v = 550 + 449 * noise.next();
            const int n = std::snprintf(cell, sizeof cell, "\t%s%.3fe-%02d",
                                        noise.next() < 0 ? "-" : "", v, c % 20);
            text.append(cell, static_cast<size_t>(n));
        }
        text += "\r\n";
    }
    text.insert(text.size() - 2, 1, 'x');
    return text;
}

// Every method shown and every method exported, the chosen degree 6, the 95 % level.
Settings everyMethod()
{
    Settings s = defaultSettings();
    for (const FitMethod& method : fitMethods())
        s.show[method.name] = s.exported[method.name] = kTicked;
    s.showBand = kTicked;
    s.degreeText = "6";
    s.level = kDefaultLevel;
    return s;
}

// The started state holding a 3-column table with a standard at every X = 1..nData, the
// 95 % level chosen.
State benchState(int nData)
{
    StartUp started = Main(appPath());
    if (!started.state)
        throw std::runtime_error(started.error);
    State state = std::move(*started.state);
    state.settings = everyMethod();
    DataTable table;
    Noise noise(7);
    for (int x = 1; x <= nData; ++x) {
        const double y = driftValue(x, noise);
        table.y[static_cast<size_t>(x)] = y;
        table.yErr[static_cast<size_t>(x)] = errorValue(y, noise);
    }
    table.nData = nData;
    table.nY = nData;
    table.nCol = 3;
    state.table() = std::move(table);
    return state;
}

const NumberFormat& benchFormat()
{
    static const NumberFormat fmt =
        NumberFormat::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    return fmt;
}

void requireRun(const RunReport& report, benchmark::State& st)
{
    if (!report.ran || !report.messages.empty())
        st.SkipWithError("the plot-and-calculate run did not fit every method");
}

void paintInto(QImage& image, const PlotDisplay& plot)
{
    QPainter painter(&image);
    paintPlot(painter, plot, kImageSize, PlotColours{});
}

void BM_Import(benchmark::State& st)
{
    const std::string text = pasteText(static_cast<int>(st.range(0)));
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    for (auto _ : st) {
        PasteResult r = parseTable(text, locale);
        benchmark::DoNotOptimize(r.table);
    }
    if (!parseTable(text, locale).table)
        st.SkipWithError("the text was refused");
    st.SetLabel(std::to_string(st.range(0) / kImportSpacing) + " lines");
}

void BM_ImportRefused(benchmark::State& st)
{
    const std::string text = refusedImportText();
    const QLocale locale(QLocale::German, QLocale::Germany);
    for (auto _ : st) {
        PasteResult r = parseTable(text, locale);
        benchmark::DoNotOptimize(r.message);
    }
    const PasteResult r = parseTable(text, locale);
    if (!r.message || r.message->text.find("\nLine 6000, cell 100: ") == std::string::npos)
        st.SkipWithError("the text was not refused at its last cell");
    st.SetLabel(std::to_string(text.size() / 1000) + " kB");
}

void BM_Calculate(benchmark::State& st)
{
    State state = benchState(static_cast<int>(st.range(0)));
    for (auto _ : st) {
        RunReport r = plotAndCalculate(state, benchFormat(), Drawing::Skip);
        benchmark::DoNotOptimize(r);
    }
    requireRun(plotAndCalculate(state, benchFormat(), Drawing::Skip), st);
}

void BM_CalculateWithLoo(benchmark::State& st)
{
    State state = benchState(static_cast<int>(st.range(0)));
    for (auto _ : st) {
        RunReport r =
            plotAndCalculate(state, benchFormat(), Drawing::Skip, LeaveOneOutErrors::Compute);
        benchmark::DoNotOptimize(r);
    }
    requireRun(plotAndCalculate(state, benchFormat(), Drawing::Skip, LeaveOneOutErrors::Compute),
               st);
}

void BM_CalculateWeighted(benchmark::State& st)
{
    State state = benchState(static_cast<int>(st.range(0)));
    state.settings.weightByErrors = true;
    for (auto _ : st) {
        RunReport r = plotAndCalculate(state, benchFormat(), Drawing::Skip);
        benchmark::DoNotOptimize(r);
    }
    requireRun(plotAndCalculate(state, benchFormat(), Drawing::Skip), st);
    if (!state.results().fit(*methodNamed("linear"))->weighted)
        st.SkipWithError("the run was not weighted");
}

template <LeaveOneOutErrors Loo, bool Weighted = false>
void BM_Run(benchmark::State& st)
{
    State state = benchState(static_cast<int>(st.range(0)));
    state.settings.weightByErrors = Weighted;
    for (auto _ : st) {
        RunReport r = plotAndCalculate(state, benchFormat(), Drawing::Build, Loo);
        benchmark::DoNotOptimize(r);
    }
    requireRun(plotAndCalculate(state, benchFormat(), Drawing::Build, Loo), st);
}

void BM_DisplayList(benchmark::State& st)
{
    State state = benchState(static_cast<int>(st.range(0)));
    requireRun(plotAndCalculate(state, benchFormat(), Drawing::Skip), st);
    for (auto _ : st) {
        PlotDisplay plot = buildPlot(state, benchFormat());
        benchmark::DoNotOptimize(plot);
    }
}

void BM_Paint(benchmark::State& st)
{
    State state = benchState(static_cast<int>(st.range(0)));
    requireRun(plotAndCalculate(state, benchFormat(), Drawing::Build), st);
    QImage image(kImageSize, QImage::Format_RGB32);
    for (auto _ : st) {
        paintInto(image, state.plot);
        benchmark::ClobberMemory();
    }
}

template <bool withSpline = true>
void BM_Replot(benchmark::State& st)
{
    State state = benchState(static_cast<int>(st.range(0)));
    if (!withSpline)
        state.settings.show["spline"] = kUnticked;
    QImage image(kImageSize, QImage::Format_RGB32);
    for (auto _ : st) {
        RunReport r = plotAndCalculate(state, benchFormat(), Drawing::Build);
        benchmark::DoNotOptimize(r);
        paintInto(image, state.plot);
        benchmark::ClobberMemory();
    }
}

template <bool withUncertainties = false>
void BM_Export(benchmark::State& st)
{
    State state = benchState(static_cast<int>(st.range(0)));
    state.settings.exportUncertainties = withUncertainties;
    state.settings.uncertaintyKind = UncertaintyKind::Reading;  // the line's "±" too
    requireRun(plotAndCalculate(state, benchFormat(), Drawing::Skip), st);
    std::size_t bytes = 0;
    for (auto _ : st) {
        // A fresh run before each export, as kalibrix-cli and the window have: the factorisations
        // the uncertainties make on the first X asked are timed, and both cases find the memory
        // as a run leaves it (without the run the export alone would keep reusing its own pages).
        st.PauseTiming();
        requireRun(plotAndCalculate(state, benchFormat(), Drawing::Skip), st);
        st.ResumeTiming();
        std::string text = exportText(state, benchFormat());
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    st.SetLabel(std::to_string(bytes / 1024) + " KiB");
}

void BM_Uncertainty(benchmark::State& st)
{
    State state = benchState(static_cast<int>(st.range(0)));
    const int column = *state.settings.level + 1;
    for (auto _ : st) {
        st.PauseTiming();
        requireRun(plotAndCalculate(state, benchFormat(), Drawing::Skip), st);
        st.ResumeTiming();
        double sum = 0;
        for (const std::optional<FitResult>& fit : state.results().fits) {
            if (!fit)
                continue;
            for (int x = 1; x <= state.table().nData; ++x)
                if (const std::optional<Uncertainty> u = fit->uncertainty(x))
                    sum += u->curveHalfWidth(state.student, column).value_or(0) +
                           u->readingHalfWidth(state.student, column).value_or(0);
        }
        benchmark::DoNotOptimize(sum);
    }
}

void BM_Analytes(benchmark::State& st)
{
    const auto analytes = static_cast<int>(st.range(0));
    const std::string text = namedPasteText(analytes);
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    State state = benchState(1);
    for (auto _ : st) {
        PasteResult pasted = parseTable(text, locale);
        if (!pasted.table) {
            st.SkipWithError("the text was refused");
            return;
        }
        state.replaceAnalytes(std::move(pasted.table->analytes), pasted.table->named);
        RunReport r =
            plotAndCalculate(state, benchFormat(), Drawing::Build, LeaveOneOutErrors::Compute);
        std::string out = exportText(state, benchFormat());
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(out);
    }
    st.counters["per_analyte"] = benchmark::Counter(
        analytes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Report(benchmark::State& st)
{
    const std::string text = namedPasteText(static_cast<int>(st.range(0)));
    State state = benchState(1);
    state.settings = defaultSettings();  // as kalibrix-cli --report draws it
    state.settings.level = kDefaultLevel;
    PasteResult pasted = parseTable(text, QLocale(QLocale::English, QLocale::UnitedStates));
    if (!pasted.table) {
        st.SkipWithError("the text was refused");
        return;
    }
    state.replaceAnalytes(std::move(pasted.table->analytes), pasted.table->named);
    plotAndCalculate(state, benchFormat(), Drawing::Build, LeaveOneOutErrors::Compute);
    const QTemporaryDir dir;
    const std::filesystem::path file = dir.filePath(QStringLiteral("report.pdf")).toStdString();
    const QDateTime when(QDate(2024, 5, 17), QTime(9, 41));
    for (auto _ : st) {
        if (const std::optional<std::string> error =
                writeReport(state, benchFormat(), file, "bench", when)) {
            st.SkipWithError(error->c_str());
            return;
        }
    }
    st.SetLabel(std::to_string(std::filesystem::file_size(file) / (1024 * 1024)) + " MiB");
}

// The run of "samples": 6000 lines, every third the standard "STD", the others samples, and
// `analytes` analytes each on its own level; the analytes hold the standards.
State runState(int analytes)
{
    constexpr int kLines = kMaxX / kImportSpacing;
    Noise noise(31337);
    RunTable run;
    run.idColumn = "ID";
    run.reading.resize(static_cast<size_t>(analytes));
    run.error.resize(static_cast<size_t>(analytes));
    std::vector<Analyte> fresh(static_cast<size_t>(analytes));
    for (int a = 0; a < analytes; ++a) {
        run.analytes.push_back("E" + std::to_string(a + 1));
        fresh[static_cast<size_t>(a)].name = run.analytes.back();
        fresh[static_cast<size_t>(a)].table.nData = kMaxX;
        fresh[static_cast<size_t>(a)].table.nCol = 3;
    }
    for (int k = 0; k < kLines; ++k) {
        const int x = (k + 1) * kImportSpacing;
        const bool standard = k % 3 == 0;
        run.lines.push_back(
            {standard ? "STD" : "S" + std::to_string(k), x, static_cast<size_t>(k) + 2});
        for (std::size_t a = 0; a < fresh.size(); ++a) {
            const double y =
                driftValue(x, noise) * static_cast<double>(a + 1) * (standard ? 1 : 0.8);
            const double err = errorValue(y, noise);
            run.reading[a].push_back(y);
            run.error[a].push_back(err);
            if (standard) {
                DataTable& t = fresh[a].table;
                t.y[static_cast<size_t>(x)] = y;
                t.yErr[static_cast<size_t>(x)] = err;
                ++t.nY;
            }
        }
    }
    run.nData = kMaxX;
    State state = benchState(1);
    state.settings.standardPattern = "STD";
    state.settings.correctWith = "best";
    state.replaceAnalytes(std::move(fresh), true, std::move(run));
    return state;
}

// "samples" (samplesText) and "export run" (exportText) of runState, each after a fresh
// run with the leave-one-out errors.
template <bool Samples>
void BM_RunOutput(benchmark::State& st)
{
    State state = runState(static_cast<int>(st.range(0)));
    std::size_t bytes = 0;
    for (auto _ : st) {
        st.PauseTiming();
        requireRun(
            plotAndCalculate(state, benchFormat(), Drawing::Skip, LeaveOneOutErrors::Compute), st);
        st.ResumeTiming();
        std::string text =
            Samples ? samplesText(state, benchFormat()) : exportText(state, benchFormat());
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    st.SetLabel(std::to_string(bytes / 1024) + " KiB");
}

// "workbook run": writeWorkbook of runState after a fresh run with the leave-one-out errors.
void BM_Workbook(benchmark::State& st)
{
    State state = runState(static_cast<int>(st.range(0)));
    const QTemporaryDir dir;
    const std::filesystem::path file = dir.filePath(QStringLiteral("run.xlsx")).toStdString();
    for (auto _ : st) {
        st.PauseTiming();
        requireRun(
            plotAndCalculate(state, benchFormat(), Drawing::Skip, LeaveOneOutErrors::Compute), st);
        st.ResumeTiming();
        if (const std::optional<std::string> error =
                writeWorkbook(state, benchFormat(), file, "bench")) {
            st.SkipWithError(error->c_str());
            return;
        }
    }
    st.SetLabel(std::to_string(std::filesystem::file_size(file) / 1024) + " KiB");
}

void BM_SmoothingSpline(benchmark::State& st)
{
    const State state = benchState(1);
    DataTable table;
    Noise noise(11);
    const auto nData = static_cast<int>(st.range(0));
    for (int x = 5; x <= nData; x += 5)
        table.y[static_cast<size_t>(x)] = driftValue(x, noise);
    table.nData = nData;
    const DataStats stats = computeDataStats(table, true);
    for (auto _ : st) {
        const FitInput input{table, stats, state.student, state.settings};
        const FitOutcome fit = fitSmoothingSpline(input);
        LooWorkspace workspace(table);
        const LooErrors errors = looSmoothingSpline(input, workspace);
        if (!fit.result || errors.empty()) {
            st.SkipWithError("no smoothing spline");
            return;
        }
        benchmark::DoNotOptimize(errors.data());
    }
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(300)->Arg(3000)->Arg(kMaxX)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Import)->Name("import")->Apply(sizes);
BENCHMARK(BM_ImportRefused)->Name("import refused")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Calculate)->Name("calculate")->Apply(sizes);
BENCHMARK(BM_CalculateWithLoo)->Name("calculate+loo")->Apply(sizes);
BENCHMARK(BM_Run<LeaveOneOutErrors::Skip>)->Name("run")->Apply(sizes);
BENCHMARK(BM_Run<LeaveOneOutErrors::Compute>)->Name("run+loo")->Apply(sizes);
BENCHMARK(BM_DisplayList)->Name("displaylist")->Apply(sizes);
BENCHMARK(BM_Paint)->Name("paint")->Apply(sizes);
BENCHMARK(BM_Replot)->Name("replot")->Apply(sizes);
BENCHMARK(BM_Replot<false>)->Name("replot without spline")->Apply(sizes);
BENCHMARK(BM_Export)->Name("export")->Apply(sizes);
BENCHMARK(BM_Uncertainty)->Name("uncertainty")->Apply(sizes);
BENCHMARK(BM_Export<true>)->Name("export uncertainties")->Apply(sizes);
BENCHMARK(BM_CalculateWeighted)->Name("calculate weighted")->Apply(sizes);
BENCHMARK(BM_Run<LeaveOneOutErrors::Skip, true>)->Name("run weighted")->Apply(sizes);
BENCHMARK(BM_Run<LeaveOneOutErrors::Compute, true>)->Name("run+loo weighted")->Apply(sizes);
BENCHMARK(BM_Analytes)->Name("analytes")->Arg(1)->Arg(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunOutput<true>)->Name("samples")->Arg(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunOutput<false>)->Name("export run")->Arg(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Workbook)->Name("workbook run")->Arg(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Report)->Name("report")->Arg(60)->Iterations(1)->Repetitions(1)->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_SmoothingSpline)->Name("smoothing spline")->Apply(sizes);

// The console table with only the median of each case (all rows when the run has no
// repetitions).
class MedianReporter : public benchmark::ConsoleReporter {
public:
    explicit MedianReporter(bool colour) : ConsoleReporter(colour ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        std::vector<Run> medians;
        for (const Run& r : runs)
            if (r.run_type != Run::RT_Aggregate || r.aggregate_name == "median")
                medians.push_back(r);
        if (!medians.empty())
            ConsoleReporter::ReportRuns(medians);
    }
};

bool hasOption(int argc, char** argv, std::string_view name)
{
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]).starts_with(name))
            return true;
    return false;
}

// Colour as --benchmark_color asks (true/false/auto), by default when writing to a terminal.
bool colourWanted(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg.starts_with("--benchmark_color=")) {
            const std::string_view v = arg.substr(arg.find('=') + 1);
            if (v == "true" || v == "yes" || v == "1")
                return true;
            if (v == "false" || v == "no" || v == "0")
                return false;
        }
    }
    return isatty(STDOUT_FILENO) != 0;
}

}  // namespace

int main(int argc, char** argv)
{
    kalibrix::keepFreedMemory();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    // Defaults for the options not given on the command line.
    std::vector<char*> args(argv, argv + argc);
    static char repetitions[] = "--benchmark_repetitions=7";
    static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    static char minTime[] = "--benchmark_min_time=0.2";
    if (!hasOption(argc, argv, "--benchmark_repetitions"))
        args.insert(args.begin() + 1, repetitions);
    if (!hasOption(argc, argv, "--benchmark_report_aggregates_only") &&
        !hasOption(argc, argv, "--benchmark_display_aggregates_only"))
        args.insert(args.begin() + 1, aggregatesOnly);
    if (!hasOption(argc, argv, "--benchmark_min_time"))
        args.insert(args.begin() + 1, minTime);
    int n = static_cast<int>(args.size());
    args.push_back(nullptr);

    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data()))
        return 1;
    if (hasOption(argc, argv, "--benchmark_format")) {
        benchmark::RunSpecifiedBenchmarks();
    } else {
        MedianReporter reporter(colourWanted(argc, argv));
        benchmark::RunSpecifiedBenchmarks(&reporter);
    }
    benchmark::Shutdown();
    return 0;
}
