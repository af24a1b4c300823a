#include "run/run_split.h"

#include "run/paste_parts.h"
#include "run/paste_table.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <utility>

namespace kalibrix {

namespace {

UserMessage refusal(std::string text)
{
    return UserMessage{std::move(text), MessageIcon::Exclamation, ""};
}

// Bytes of the character that starts at `at`: a UTF-8 sequence as its first byte announces
// it, or one byte where the bytes are not UTF-8.
std::size_t charLength(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (at + length > text.size())
        return 1;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80)
            return 1;
    return length;
}

const std::optional<double>& cellOf(const std::vector<std::vector<std::optional<double>>>& cells,
                                    std::size_t a, std::size_t i)
{
    static const std::optional<double> none;
    return a < cells.size() && i < cells[a].size() ? cells[a][i] : none;
}

// Whether analyte a's tables count an error column: as the run says, or where it does not
// say, when any of its error cells holds one.
bool hasErrors(const RunTable& run, std::size_t a)
{
    if (a < run.hasErrors.size())
        return run.hasErrors[a];
    return a < run.error.size() &&
           std::any_of(run.error[a].begin(), run.error[a].end(),
                       [](const std::optional<double>& e) { return e.has_value(); });
}

bool anyReading(const RunTable& run, std::size_t i)
{
    for (std::size_t a = 0; a < run.analytes.size(); ++a)
        if (cellOf(run.reading, a, i))
            return true;
    return false;
}

}  // namespace

std::vector<std::string> idsByFrequency(const RunTable& run)
{
    struct Seen {
        std::size_t count = 0;
        std::size_t first = 0;
    };
    std::unordered_map<std::string_view, Seen> seen;
    std::vector<std::string_view> ids;  // in the order first seen
    for (const RunLine& line : run.lines) {
        if (line.id.empty())
            continue;
        auto [it, fresh] = seen.try_emplace(line.id, Seen{0, ids.size()});
        if (fresh)
            ids.push_back(line.id);
        ++it->second.count;
    }
    std::stable_sort(ids.begin(), ids.end(), [&](std::string_view a, std::string_view b) {
        return seen.at(a).count > seen.at(b).count;
    });
    return {ids.begin(), ids.end()};
}

bool idMatches(std::string_view pattern, std::string_view id)
{
    // Walks both; at a '*' remembers where it stands, and when the rest fails lets the '*'
    // take one more character of the ID and tries again from there.
    constexpr std::size_t kNoStar = std::string_view::npos;
    std::size_t p = 0;
    std::size_t s = 0;
    std::size_t starAt = kNoStar;
    std::size_t starTook = 0;  // where in the ID the text after the last '*' starts
    while (s < id.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            starTook = s;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            s += charLength(id, s);
        } else if (p < pattern.size() && pattern[p] == id[s]) {
            ++p;
            ++s;
        } else if (starAt != kNoStar) {
            p = starAt + 1;
            starTook += charLength(id, starTook);
            s = starTook;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string standardPatternOf(const RunTable& run, std::string_view pattern)
{
    if (!pattern.empty())
        return std::string(pattern);
    std::vector<std::string> ids = idsByFrequency(run);
    return ids.empty() ? std::string() : std::move(ids.front());
}

RunSplit standardsOf(const RunTable& run, std::string_view pattern)
{
    PasteNotes notes;
    return standardsOf(run, pattern, notes);
}

RunSplit standardsOf(const RunTable& run, std::string_view pattern, PasteNotes& notes)
{
    const std::string standard = standardPatternOf(run, pattern);
    std::vector<paste::TakenLine> taken;
    std::vector<std::size_t> lineOf;  // the run's line of each line taken
    std::optional<std::size_t> emptySample;
    for (std::size_t i = 0; i < run.lines.size(); ++i) {
        const RunLine& line = run.lines[i];
        if (!idMatches(standard, line.id)) {
            if (!emptySample && !anyReading(run, i))
                emptySample = i;
        } else if (line.x >= 0 && line.x <= run.nData) {
            taken.push_back({static_cast<std::size_t>(line.x), line.textLine});
            lineOf.push_back(i);
        }
    }
    if (taken.empty())
        return {std::nullopt,
                refusal("No line's ID matches the standard " + paste::quoted(standard) + ".")};
    if (emptySample) {
        const RunLine& line = run.lines[*emptySample];
        return {std::nullopt, refusal("Line " + std::to_string(line.textLine) + ", cell " +
                                      std::to_string(run.idCell) + ": the sample " +
                                      paste::quoted(line.id) + " has no value of any analyte.")};
    }

    std::vector<paste::AnalyteShape> shapes;
    for (std::size_t a = 0; a < run.analytes.size(); ++a)
        shapes.push_back({run.analytes[a], hasErrors(run, a) ? 3 : 2});
    std::vector<Analyte> analytes = paste::buildAnalytes(
        shapes, run.nData, taken,
        [&](std::size_t a, std::size_t k) {
            return paste::LineValues{cellOf(run.reading, a, lineOf[k]),
                                     cellOf(run.error, a, lineOf[k])};
        },
        notes);
    if (std::none_of(analytes.begin(), analytes.end(),
                     [](const Analyte& a) { return a.table.anyValue(); }))
        return {std::nullopt,
                refusal("No line of the standard " + paste::quoted(standard) + " holds a value.")};
    return {std::move(analytes), std::nullopt};
}

}  // namespace kalibrix
