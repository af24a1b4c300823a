#include "run/samples.h"

#include "engine/finite.h"
#include "engine/method_table.h"
#include "run/run_split.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string_view>

namespace kalibrix {

namespace {

constexpr char kTab = '\t';
constexpr std::string_view kSampleColumns =
    "ID\tX\tReading\tReading err\tStandard\tStandard \u00b1\tCorrected\tCorrected \u00b1\t"
    "Method\tFlag";

// What a line of the run is to the correction.
enum class LineRole : std::uint8_t { Standard, Sample, Check };

// The role of every line: a standard when its ID matches the standard's pattern, else a
// line of the check standard when it matches the check pattern, else a sample.
std::vector<LineRole> lineRoles(const RunTable& run, const Settings& settings)
{
    const std::string standard = standardPatternOf(run, settings.standardPattern);
    const std::string& check = settings.checkPattern;
    std::vector<LineRole> roles;
    roles.reserve(run.lines.size());
    for (const RunLine& line : run.lines)
        roles.push_back(idMatches(standard, line.id)                  ? LineRole::Standard
                        : !check.empty() && idMatches(check, line.id) ? LineRole::Check
                                                                      : LineRole::Sample);
    return roles;
}

// The known value of `analyte`: its own, else the one for every analyte ("").
const KnownValue* knownOf(const std::map<std::string, KnownValue>& known,
                          const std::string& analyte)
{
    auto it = known.find(analyte);
    if (it == known.end())
        it = known.find("");
    return it == known.end() ? nullptr : &it->second;
}

// The run table's column of analyte `a`: the one of its name (the same position when the
// names agree).
std::optional<std::size_t> runColumn(const RunTable& run, const std::vector<Analyte>& analytes,
                                     std::size_t a)
{
    const std::string& name = analytes[a].name;
    std::optional<std::size_t> column;
    if (a < run.analytes.size() && run.analytes[a] == name)
        column = a;
    else if (const auto it = std::find(run.analytes.begin(), run.analytes.end(), name);
             it != run.analytes.end())
        column = static_cast<std::size_t>(it - run.analytes.begin());
    if (column && (*column >= run.reading.size() || *column >= run.error.size() ||
                   run.reading[*column].size() < run.lines.size() ||
                   run.error[*column].size() < run.lines.size()))
        return std::nullopt;
    return column;
}

// The method that corrects: the one that predicts best, or the one the settings name.
std::optional<std::size_t> correctingMethod(const Settings& settings, const RunResults& results)
{
    if (settings.correctWith == "best")
        return results.bestPredictor;
    return methodNamed(settings.correctWith);
}

// The X of the standards the run fitted (a value above 0, not rejected at the run), in
// increasing X.
std::vector<int> standardsInUse(const DataTable& table, const RunResults& results)
{
    std::vector<int> inUse;
    const int last = std::min(results.nData, static_cast<int>(table.y.size()) - 1);
    for (int x = 1; x <= last; ++x)
        if (table.y[static_cast<std::size_t>(x)].value_or(0) > 0 &&
            !std::binary_search(results.rejected.begin(), results.rejected.end(), x))
            inUse.push_back(x);
    return inUse;
}

// The flags a sample at `x` gets from where the standards in use stand.
unsigned positionFlags(const std::vector<int>& inUse, int x, const std::optional<double>& maxGap)
{
    if (inUse.empty())
        return kFlagNone;
    const auto after = std::lower_bound(inUse.begin(), inUse.end(), x);  // at or after x
    const auto upper = std::upper_bound(inUse.begin(), inUse.end(), x);
    const bool hasAfter = after != inUse.end();
    const bool hasBefore = upper != inUse.begin();
    unsigned flags = kFlagNone;
    if (!hasAfter || !hasBefore)
        flags |= kFlagExtrapolated;
    if (maxGap && ((hasBefore && x - *(upper - 1) > *maxGap) || (hasAfter && *after - x > *maxGap)))
        flags |= kFlagGap;
    return flags;
}

// The check standard's corrected values with their standard uncertainties, summed up
// against its known value (none: no bias, no z).
CheckSummary summariseCheck(const std::vector<double>& values,
                            const std::vector<std::optional<double>>& u, const KnownValue* known)
{
    CheckSummary summary;
    summary.count = static_cast<int>(values.size());
    if (values.empty())
        return summary;
    const double n = static_cast<double>(values.size());
    double sum = 0;
    for (double v : values)
        sum += v;
    summary.mean = finiteOrNone(sum / n);
    if (!summary.mean)
        return summary;
    if (values.size() >= 2) {
        double squares = 0;
        for (double v : values)
            squares += (v - *summary.mean) * (v - *summary.mean);
        summary.sd = finiteOrNone(std::sqrt(squares / (n - 1)));
    }
    if (!known)
        return summary;
    summary.bias = finiteOrNone(*summary.mean - known->value);
    double variance = 0;  // of the mean
    for (const std::optional<double>& ui : u) {
        if (!ui)
            return summary;
        variance += *ui * *ui;
    }
    const double uMean = std::sqrt(variance) / n;
    const double uBias = std::hypot(uMean, known->u.value_or(0));
    if (summary.bias && uBias > 0)
        summary.z = finiteOrNone(*summary.bias / uBias);
    return summary;
}

AnalyteSamples correctAnalyte(const State& state, std::size_t a, const std::vector<LineRole>& roles)
{
    AnalyteSamples out;
    if (!state.run || a >= state.analytes.size())
        return out;
    const RunTable& run = *state.run;
    const Analyte& analyte = state.analytes[a];
    const RunResults& results = analyte.results;
    const std::optional<std::size_t> column = runColumn(run, state.analytes, a);
    if (!results.computed || !column)
        return out;
    const Settings& settings = state.settings;
    out.method = correctingMethod(settings, results);
    const FitResult* fit = out.method ? results.fit(*out.method) : nullptr;
    const KnownValue* ownKnown = knownOf(settings.known, analyte.name);
    const KnownValue known =
        ownKnown ? *ownKnown : KnownValue{defaultKnownValue(settings.correction), std::nullopt};
    const int probCol = settings.level.value_or(kDefaultLevel) + 1;
    const std::vector<int> inUse = standardsInUse(analyte.table, results);
    const std::vector<std::optional<double>>& readings = run.reading[*column];
    const std::vector<std::optional<double>>& errors = run.error[*column];

    std::vector<double> checkValues;
    std::vector<std::optional<double>> checkU;
    for (std::size_t i = 0; i < run.lines.size(); ++i) {
        if (roles[i] == LineRole::Standard || !readings[i])
            continue;
        const RunLine& line = run.lines[i];
        CorrectedSample& s = out.samples.emplace_back();
        s.line = i;
        s.id = line.id;
        s.x = line.x;
        s.reading = readings[i];
        s.readingErr = errors[i];
        s.check = roles[i] == LineRole::Check;
        s.flags = positionFlags(inUse, line.x, settings.maxGap);
        if (fit)
            s.standard = fit->value(line.x);
        if (!s.standard) {
            s.flags |= kFlagNoValue;
            continue;
        }
        const std::optional<Uncertainty> u = fit->uncertainty(line.x);
        if (u)
            s.standardHalfWidth = u->curveHalfWidth(state.student, probCol);
        const std::optional<CorrectedValue> c =
            correct(settings.correction, {*s.reading, s.readingErr, *s.standard, u, known});
        if (!c)
            continue;
        s.corrected = c->value;
        if (c->u)
            s.correctedHalfWidth = finiteOrNone(state.student.quantile(probCol, c->dof) * *c->u);
        if (s.check) {
            checkValues.push_back(c->value);
            checkU.push_back(c->u);
        }
    }
    if (!settings.checkPattern.empty())
        out.check = summariseCheck(checkValues, checkU, knownOf(settings.checkKnown, analyte.name));
    return out;
}

void appendNumber(std::string& out, const std::optional<double>& v, const NumberFormat& fmt)
{
    if (v && std::isfinite(*v))
        fmt.appendGeneral(out, *v);
}

// The cells ID .. Flag of one corrected sample, tab-separated, without a line end.
void appendSample(std::string& out, const CorrectedSample& s, std::string_view method,
                  const NumberFormat& fmt)
{
    out += s.id;
    out += kTab;
    out += std::to_string(s.x);
    out += kTab;
    appendNumber(out, s.reading, fmt);
    out += kTab;
    appendNumber(out, s.readingErr, fmt);
    out += kTab;
    appendNumber(out, s.standard, fmt);
    out += kTab;
    appendNumber(out, s.standardHalfWidth, fmt);
    out += kTab;
    appendNumber(out, s.corrected, fmt);
    out += kTab;
    appendNumber(out, s.correctedHalfWidth, fmt);
    out += kTab;
    out += method;
    out += kTab;
    out += flagText(s.flags);
}

std::string_view methodName(const AnalyteSamples& samples)
{
    const std::span<const FitMethod> methods = fitMethods();
    return samples.method && *samples.method < methods.size() ? methods[*samples.method].name : "";
}

}  // namespace

std::string flagText(unsigned flags)
{
    static constexpr std::pair<SampleFlag, std::string_view> kWords[] = {
        {kFlagExtrapolated, "extrapolated"}, {kFlagGap, "gap"}, {kFlagNoValue, "no value"}};
    std::string text;
    for (const auto& [flag, word] : kWords)
        if (flags & flag) {
            if (!text.empty())
                text += ", ";
            text += word;
        }
    return text;
}

AnalyteSamples correctSamples(const State& state, std::size_t a)
{
    if (!state.run)
        return {};
    return correctAnalyte(state, a, lineRoles(*state.run, state.settings));
}

std::string samplesText(const State& state, const NumberFormat& fmt)
{
    std::string out = "Analyte\t";
    out += kSampleColumns;
    out += '\n';
    if (!state.run)
        return out;
    const NumberFormat exportFmt = fmt.forExport();
    const std::vector<LineRole> roles = lineRoles(*state.run, state.settings);
    for (std::size_t a = 0; a < state.analytes.size(); ++a) {
        const AnalyteSamples samples = correctAnalyte(state, a, roles);
        const std::string_view method = methodName(samples);
        for (const CorrectedSample& s : samples.samples) {
            out += state.analytes[a].name;
            out += kTab;
            appendSample(out, s, method, exportFmt);
            out += '\n';
        }
    }
    return out;
}

std::string samplesClipboardText(const State& state, std::size_t a, const NumberFormat& fmt)
{
    constexpr std::string_view kLineEnd = "\r\n";
    std::string out(kSampleColumns);
    out += kLineEnd;
    const NumberFormat exportFmt = fmt.forExport();
    const AnalyteSamples samples = correctSamples(state, a);
    const std::string_view method = methodName(samples);
    for (const CorrectedSample& s : samples.samples) {
        appendSample(out, s, method, exportFmt);
        out += kLineEnd;
    }
    return out;
}

}  // namespace kalibrix
