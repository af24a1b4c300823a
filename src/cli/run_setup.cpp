#include "cli/run_setup.h"

#include "cli/messages.h"
#include "run/known_values.h"
#include "run/run_split.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace kalibrix::cli {

namespace {

// The analytes of a session's run whose standards are the lines matching `pattern`; a
// rejection of the session stays where the analyte still has a standard with Y > 0.
void takeStandards(State& state, const std::string& pattern)
{
    RunSplit split = standardsOf(*state.run, pattern);
    if (!split.analytes) {
        std::string why = split.message ? split.message->text : "no line matches '" + pattern + "'";
        std::erase(why, '\r');
        throw UsageError{"--standard: " + why};
    }
    for (Analyte& fresh : *split.analytes) {
        const auto old = std::find_if(state.analytes.begin(), state.analytes.end(),
                                      [&](const Analyte& a) { return a.name == fresh.name; });
        for (std::size_t x = 1; old != state.analytes.end() && x < fresh.table.y.size(); ++x)
            if (old->table.rejFlag[x] && fresh.table.y[x].value_or(0) > 0)
                fresh.table.rejFlag[x] = 1;
    }
    std::optional<RunTable> run = std::move(state.run);
    state.replaceAnalytes(std::move(*split.analytes), true, std::move(run));
}

// The known values of --reference and --check-reference (or a session's): each of an
// analyte of the table, the standard's such as the correction takes.
void checkKnownValues(const State& state)
{
    const Settings& settings = state.settings;
    for (const auto* known : {&settings.known, &settings.checkKnown})
        for (const auto& [name, value] : *known) {
            const std::string option =
                known == &settings.known ? "--reference" : "--check-reference";
            if (!name.empty() && !state.named)
                throw UsageError{option + ": the table has no names line, so no analyte '" + name +
                                 "'"};
            if (!name.empty() && std::none_of(state.analytes.begin(), state.analytes.end(),
                                              [&](const Analyte& a) { return a.name == name; }))
                throw UsageError{option + ": the table has no analyte '" + name + "'"};
            const std::optional<std::string> problem =
                knownValueProblem(settings.correction, value);
            if (problem && known == &settings.known)
                throw UsageError{option + ": " + (name.empty() ? "" : name + "=") +
                                 knownValueText(value) + ": " + *problem};
        }
}

// Of a run table: the standard the options choose for a session (a table read has taken it
// already; the most frequent ID when neither they nor a session name one, said on standard
// error) and the known values checked against its analytes and the correction. Without a
// run, the options that need one are refused.
void takeRun(State& state, const CliOptions& options, std::string& err)
{
    if (!state.run) {
        if (options.needsRunTable)
            throw UsageError{*options.needsRunTable +
                             ": the table has no ID column (ID, Sample, Sample ID, Name or "
                             "Label), so no samples"};
    } else if (options.standardGiven) {
        if (options.input.session)
            takeStandards(state, state.settings.standardPattern);
    } else if (state.settings.standardPattern.empty()) {
        err += std::string(kProgram) + ": " + options.input.name() + ": the standard is '" +
               standardPatternOf(*state.run, "") +
               "', the most frequent ID (--standard chooses another)\n";
    }
    checkKnownValues(state);
}

// Where the analytes that --analyte keeps stand in the table, in the order given. An analyte
// the table does not have or that has no values (its column is empty) is refused.
std::vector<std::size_t> chosenAnalytes(const State& state, const std::vector<std::string>& names)
{
    if (!state.named)
        throw UsageError{"--analyte: the table has no names line, so no analytes to choose"};
    std::vector<std::size_t> taken;
    for (const std::string& name : names) {
        const auto it = std::find_if(state.analytes.begin(), state.analytes.end(),
                                     [&](const Analyte& a) { return a.name == name; });
        if (it == state.analytes.end())
            throw UsageError{"--analyte: the table has no analyte '" + name + "'"};
        if (!it->table.anyValue())
            throw UsageError{"--analyte: the analyte '" + name + "' has no values"};
        const auto index = static_cast<std::size_t>(it - state.analytes.begin());
        if (std::find(taken.begin(), taken.end(), index) != taken.end())
            throw UsageError{"--analyte: '" + name + "' is listed twice"};
        taken.push_back(index);
    }
    return taken;
}

// Keeps in `state` only the analytes --analyte chooses, in its order, showing the first.
LeftOut keepChosen(State& state, const std::optional<std::vector<std::string>>& names)
{
    LeftOut left;
    if (!names)
        return left;
    left.chosen = chosenAnalytes(state, *names);
    left.all = std::move(state.analytes);
    state.analytes.clear();
    for (std::size_t at : left.chosen)
        state.analytes.push_back(std::move(left.all[at]));
    state.selected = 0;
    return left;
}

// The rejection of X in the analyte --reject names, which must hold a standard there.
void rejectInAnalyte(State& state, const std::string& name, int x)
{
    if (!state.named)
        throw UsageError{"--reject: the table has no names line, so no analyte '" + name + "'"};
    const auto it = std::find_if(state.analytes.begin(), state.analytes.end(),
                                 [&](const Analyte& a) { return a.name == name; });
    if (it == state.analytes.end())
        throw UsageError{"--reject: no analyte '" + name + "' among those fitted"};
    if (it->table.y[static_cast<std::size_t>(x)].value_or(0) <= 0)
        throw UsageError{"--reject: " + name +
                         " has no standard with Y > 0 at X = " + std::to_string(x)};
    it->table.rejFlag[static_cast<std::size_t>(x)] = 1;
}

// The rejection of X in every analyte with a standard there; one at least must have one.
void rejectInAll(State& state, int x)
{
    const auto at = static_cast<std::size_t>(x);
    bool any = false;
    for (Analyte& a : state.analytes)
        if (a.table.y[at].value_or(0) > 0) {
            a.table.rejFlag[at] = 1;
            any = true;
        }
    if (!any)
        throw UsageError{std::string("--reject: no ") + (state.named ? "analyte has a " : "") +
                         "standard with Y > 0 at X = " + std::to_string(x)};
}

}  // namespace

LeftOut prepareRun(State& state, const CliOptions& options, std::string& err)
{
    takeRun(state, options, err);
    LeftOut left = keepChosen(state, options.analytes);
    for (const Rejection& rejection : options.rejections.xs) {
        if (rejection.analyte)
            rejectInAnalyte(state, *rejection.analyte, rejection.x);
        else
            rejectInAll(state, rejection.x);
    }
    return left;
}

}  // namespace kalibrix::cli
