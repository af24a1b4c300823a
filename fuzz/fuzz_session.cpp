// libFuzzer target: one window session driven by arbitrary bytes.
//
// Input layout: a header of kHeaderSize bytes holds the control settings (every byte is
// read as (byte - '0') modulo the number of choices, so seed files can be written with
// digits), the rest is the clipboard text, or two texts when the header asks for a second
// paste. Each paste runs as the window does it: import, the table applied only when
// accepted, another standard chosen (a run table with IDs), plot-and-calculate with the
// picture, another analyte shown (a named table), a few clicks on the plot, possibly
// "Restore all data", plot-and-calculate again and the export.
//
// Beyond "no crash" it checks that
//   - a refused text leaves the table (every analyte's values, errors, rejections, nData, nY,
//     nCol, names) as it was;
//   - an accepted table is consistent (one unnamed analyte, or named analytes with distinct
//     names; a shared nData; X in range, finite values, no rejections); a run holds every
//     line, its standards are the analytes' values and each sample line has a value;
//   - no label caption (leave-one-out errors included), tick label or export cell is
//     NaN/infinite, nor shows "nan"/"inf"; a standard suggested for rejection is one in use;
//   - every coordinate of the picture (layer points, pict1's scale, tick label boxes,
//     mark sizes) is finite and pict1's scale is not empty;
//   - the export has the title, summary, empty and column-title lines and then exactly
//     nData data lines, each ended by CR and no LF anywhere; for a named table the title
//     line holds the names of the analytes with values, each at the start of its block.
// A violated check aborts, which libFuzzer reports as a finding.

#include "startup/startup.h"
#include "startup/student_file.h"
#include "fuzz_support.h"
#include "engine/method_table.h"
#include "run/captions.h"
#include "run/driver.h"
#include "run/export.h"
#include "run/paste_table.h"
#include "run/rejection.h"
#include "run/run_split.h"
#include "run/status_text.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kalibrix;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_session: check failed: %s\n", what);
        std::abort();
    }
}

// Header fields: offsets into the header.
enum : std::size_t {
    kBand = 0,
    kShow = 1,  // kShowBytes bytes: the Show boxes of the methods not fitted anyway
    kShowBytes = 7,
    kExport = 8,  // kExportBytes bytes: the Export boxes of every method
    kExportBytes = 8,
    kScaleY = 16,
    kScaleX = 17,
    kAllData = 18,
    kLevel = 19,
    kDegreeMode = 20,  // 0..2 a list item, 3 a typed text
    kDegreeItem = 21,
    kDegreeLength = 22,
    kDegreeChars = 23,  // 4 bytes
    kLocale = 27,
    kRestore = 28,
    kClickCount = 29,
    kClicks = 30,  // 4 clicks of 3 bytes
    kSecondPaste = 42,
    kSplit = 43,  // 2 bytes
    kAnalyte = 45,
    kStandard = 46,  // a run table's standard: the most frequent ID, the next, "*", "?*"
    kHeaderSize = 48,
};

struct Session {
    State base;
    std::vector<QLocale> locales;
    std::vector<NumberFormat> formats;
};

Session* gSession = nullptr;

class Header {
public:
    Header(const std::uint8_t* data, std::size_t size)
    {
        std::copy_n(data, std::min(size, bytes_.size()), bytes_.begin());
    }
    int pick(std::size_t offset, int choices) const
    {
        return static_cast<std::uint8_t>(bytes_[offset] - '0') % choices;
    }
    std::uint8_t raw(std::size_t offset) const { return bytes_[offset]; }

private:
    // Missing header bytes read as '0'.
    std::array<std::uint8_t, kHeaderSize> bytes_ = [] {
        std::array<std::uint8_t, kHeaderSize> a;
        a.fill('0');
        return a;
    }();
};

// The settings the header asks for. Methods take their Show and Export bytes in the order
// of the method table (beyond the bytes there are, they share them from the start).
Settings settingsFrom(const Header& h)
{
    Settings s = defaultSettings();
    s.showBand = h.pick(kBand, 3);
    const std::span<const FitMethod> methods = fitMethods();
    std::size_t showable = 0;
    for (std::size_t m = 0; m < methods.size(); ++m) {
        if (!methods[m].alwaysFitted)
            s.show[methods[m].name] = h.pick(kShow + showable++ % kShowBytes, 3);
        s.exported[methods[m].name] = h.pick(kExport + m % kExportBytes, 3);
    }
    s.scaleYFull = h.pick(kScaleY, 2) == 1;
    s.scaleXFull = h.pick(kScaleX, 2) == 1;
    s.allData = h.pick(kAllData, 2) == 1;
    s.level = h.pick(kLevel, static_cast<int>(levelItems().size()));
    const auto& items = degreeItems();
    if (h.pick(kDegreeMode, 4) < 3) {
        s.degreeText =
            items[static_cast<std::size_t>(h.pick(kDegreeItem, static_cast<int>(items.size())))];
    } else {
        // What can be typed into the combo box's edit field; letters other than the
        // exponent's would show up in the export's column titles as typed.
        constexpr std::string_view alphabet = "0123456789 +-.eE";
        s.degreeText.clear();
        const int length = h.pick(kDegreeLength, 5);
        for (int i = 0; i < length; ++i)
            s.degreeText += alphabet[static_cast<std::size_t>(
                h.pick(kDegreeChars + static_cast<std::size_t>(i), alphabet.size()))];
    }
    return s;
}

bool showsNonFinite(std::string_view text)
{
    std::string lower(text);
    for (char& ch : lower)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return lower.find("nan") != std::string::npos || lower.find("inf") != std::string::npos;
}

void checkCaption(const std::string& caption) { check(!showsNonFinite(caption), "caption finite"); }

void checkCaptions(const Captions& c)
{
    for (const std::string* s : {&c.nData, &c.nDataOK, &c.rejected, &c.listing})
        checkCaption(*s);
    for (const auto& cells : c.cells)
        for (const std::string& cell : cells)
            checkCaption(cell);
    for (const auto* column : {&c.looError, &c.looPercent})
        for (const std::string& cell : *column)
            checkCaption(cell);
}

bool finite(double v) { return std::isfinite(v); }

void checkLayer(const Layer& layer)
{
    for (const PointF& p : layer.points)
        check(finite(p.x) && finite(p.y), "layer point finite");
    for (const Shape& s : layer.shapes)
        check(std::uint64_t(s.first) + s.count <= layer.points.size(), "shape inside its layer");
}

template <std::size_t N>
void checkTickLabels(const std::array<TickLabel, N>& labels)
{
    for (const TickLabel& l : labels) {
        check(finite(l.rect.left) && finite(l.rect.top) && finite(l.rect.width) &&
                  finite(l.rect.height),
              "tick label box finite");
        checkCaption(l.caption);
    }
}

void checkPlot(const PlotDisplay& p)
{
    const UserScale& s = p.pict1Scale;
    check(finite(s.left) && finite(s.top) && finite(s.width) && finite(s.height),
          "pict1 scale finite");
    check(s.width > 0 && s.height < 0, "pict1 scale not empty");
    check(finite(s.left + s.width) && finite(s.top + s.height), "pict1 extent finite");
    check(finite(p.markDX) && finite(p.markDY), "mark size finite");
    check(finite(p.plotLeft) && finite(p.plotBottom), "plot corner finite");
    checkLayer(p.pict1);
    checkLayer(p.pict2);
    checkTickLabels(p.lblX);
    checkTickLabels(p.lblY);
}

// A run's analytes hold, at each X, the value of the last line there that matches the
// standard and has one; every other line is a sample with a value.
void checkRun(const RunTable& run, const std::vector<Analyte>& analytes, std::string_view pattern)
{
    check(run.analytes.size() == analytes.size(), "a run's analytes are the table's");
    check(run.reading.size() == analytes.size() && run.error.size() == analytes.size(),
          "a reading and an error column per analyte");
    int nData = 0;
    for (const RunLine& line : run.lines) {
        check(line.x >= 0 && line.x <= kMaxX, "a run's X in range");
        nData = std::max(nData, line.x);
    }
    check(run.nData == nData, "a run's nData is its largest X");
    const std::string standard = standardPatternOf(run, pattern);
    for (std::size_t a = 0; a < analytes.size(); ++a) {
        check(run.analytes[a] == analytes[a].name, "the analytes in the run's order");
        check(run.reading[a].size() == run.lines.size() && run.error[a].size() == run.lines.size(),
              "a reading and an error per line");
        const DataTable& t = analytes[a].table;
        check(t.nData == run.nData, "a run shares its nData");
        std::vector<std::optional<double>> expected(static_cast<std::size_t>(nData) + 1);
        for (std::size_t i = 0; i < run.lines.size(); ++i)
            if (idMatches(standard, run.lines[i].id) && run.reading[a][i])
                expected[static_cast<std::size_t>(run.lines[i].x)] = run.reading[a][i];
        for (int x = 0; x <= nData; ++x)
            check(t.y[static_cast<std::size_t>(x)] == expected[static_cast<std::size_t>(x)],
                  "a standard's value from its last line");
    }
    for (std::size_t i = 0; i < run.lines.size(); ++i) {
        if (idMatches(standard, run.lines[i].id))
            continue;
        bool any = false;
        for (const auto& reading : run.reading)
            any = any || reading[i].has_value();
        check(any, "a sample has a value");
    }
}

void checkAcceptedTable(const PastedTable& pasted)
{
    check(!pasted.analytes.empty(), "an analyte");
    check(pasted.named || pasted.analytes.size() == 1, "a plain table has one analyte");
    const int nData = pasted.analytes.front().table.nData;
    bool valueAtNData = false;
    for (std::size_t a = 0; a < pasted.analytes.size(); ++a) {
        const Analyte& analyte = pasted.analytes[a];
        check(pasted.named != analyte.name.empty(), "a name exactly in a named table");
        for (std::size_t b = 0; b < a; ++b)
            check(pasted.analytes[b].name != analyte.name, "names differ");
        check(analyte.table.nData == nData, "nData shared");
        valueAtNData = valueAtNData || analyte.table.hasValue(nData);
    }
    check(pasted.named || valueAtNData, "a value at nData");

    // What the paste took otherwise than written is said, each kind at a line of the text.
    std::size_t leftOut = 0;
    for (const Analyte& analyte : pasted.analytes)
        for (int x = 1; x <= nData; ++x)
            leftOut += analyte.table.leftOut(x);
    const PasteNotes& n = pasted.notes;
    check(n.leftOut.count == leftOut, "every value with Y <= 0 counted");
    for (const PasteNote* note :
         {&n.rounded, &n.replaced, &n.leftOut, &n.atZero, &n.lonelyErrors, &n.unusedCells})
        check(note->count == 0 || (note->line >= 1 && note->line <= pasted.lines + pasted.named),
              "a note's first one on a line of the text");
    check(pasteNotesText(pasted).empty() != n.any(), "the notes said when there are any");
    if (pasted.run) {
        check(pasted.named, "a run has names");
        check(pasted.run->lines.size() == pasted.lines, "a run holds every line");
        checkRun(*pasted.run, pasted.analytes, "");
    }
}

void checkAcceptedTable(const DataTable& t)
{
    check(t.nData >= 0 && t.nData <= kMaxX, "nData in range");
    check(t.nCol >= 2 && t.nCol <= kMaxPasteCells, "nCol in range");
    for (int x = 0; x <= kMaxX; ++x) {
        check(x <= t.nData || (!t.y[x] && !t.yErr[x]), "nothing beyond nData");
        check(!t.y[x] || finite(*t.y[x]), "Y finite");
        check(!t.yErr[x] || (t.y[x] && finite(*t.yErr[x])), "error finite, with a Y");
        check(t.rejFlag[x] == 0, "a new table has no rejections");
    }
}

bool sameTable(const DataTable& a, const DataTable& b)
{
    return a.y == b.y && a.yErr == b.yErr && a.rejFlag == b.rejFlag && a.nData == b.nData &&
           a.nY == b.nY && a.nCol == b.nCol;
}

bool sameAnalytes(const State& a, const State& b)
{
    if (a.named != b.named || a.selected != b.selected || a.analytes.size() != b.analytes.size() ||
        a.run != b.run)
        return false;
    for (std::size_t i = 0; i < a.analytes.size(); ++i)
        if (a.analytes[i].name != b.analytes[i].name ||
            !sameTable(a.analytes[i].table, b.analytes[i].table))
            return false;
    return true;
}

// The title line of the export: the program's title, or the names of the analytes with
// values, each at the start of its block of columns (as wide as a full data line of the
// exported methods, plus the empty cell between blocks).
std::string exportTitle(const State& state)
{
    if (!state.named)
        return kExportTitle;
    const std::span<const FitMethod> methods = fitMethods();
    std::size_t width = 0;
    for (std::size_t m = 0; m < methods.size(); ++m)
        if (isExported(methods[m], state.settings))
            width += methods[m].bandColumn ? 5 : 4;
    std::string title;
    bool first = true;
    for (const Analyte& analyte : state.analytes) {
        const DataTable& t = analyte.table;
        bool any = false;
        for (int x = 0; x <= t.nData && !any; ++x)
            any = t.hasValue(x);
        if (!any)
            continue;
        if (!first)
            title += std::string(width + 1, '\t');
        title += analyte.name;
        first = false;
    }
    return title;
}

void checkExport(const std::string& text, int nData, const std::string& title)
{
    check(text.find('\n') == std::string::npos, "no LF in the export");
    check(!text.empty() && text.back() == '\r', "the export ends with CR");
    std::size_t lines = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\t')
            continue;
        if (lines > 0)  // the names are the user's text
            checkCaption(text.substr(start, i - start));
        start = i + 1;
        if (text[i] == '\r') {
            ++lines;
            if (lines == 1)
                check(text.substr(0, i) == title, "the title line");
            if (lines == 3)
                check(text[i - 1] == '\r', "the third line is empty");
        }
    }
    check(lines == 4 + static_cast<std::size_t>(nData), "4 head lines and nData data lines");
}

void run(State& state, const NumberFormat& fmt, LeaveOneOutErrors loo = LeaveOneOutErrors::Skip)
{
    const RunReport report = plotAndCalculate(state, fmt, Drawing::Build, loo);
    check(report.ran, "the run took place");
    for (const Analyte& analyte : state.analytes) {
        checkCaptions(makeCaptions(analyte.results, fmt));
        for (const int x : analyte.results.suggested)
            check(x >= 1 && x <= analyte.table.nData && analyte.table.isFitted(x),
                  "a standard suggested");
    }
    checkPlot(state.plot);
}

// A click on the plot: on a data point (found from the bytes) or anywhere in the plot area.
void click(State& state, std::uint8_t kind, std::uint8_t a, std::uint8_t b)
{
    const DataTable& t = state.table();
    const MouseButton button = kind % 3 == 0   ? MouseButton::Left
                               : kind % 3 == 1 ? MouseButton::Right
                                               : MouseButton::Middle;
    if (kind / 3 % 2 == 0 && t.nData > 0) {
        int x = (a * 256 + b) % (t.nData + 1);
        while (x < t.nData && !t.hasValue(x))
            ++x;
        if (t.hasValue(x)) {
            clickOnPlot(state, button, x, state.plot.toPict1Y(*t.y[x]));
            return;
        }
    }
    const UserScale& s = state.plot.pict1Scale;
    clickOnPlot(state, button, s.left + s.width * a / 255.0, s.top + s.height * b / 255.0);
}

// Another standard of a run, as the window's "Standard" list chooses it: its analytes replace
// the table's when some line matches, else the message leaves the table as it was.
void chooseStandard(State& state, const Header& h)
{
    const RunTable& run = *state.run;
    const std::vector<std::string> ids = idsByFrequency(run);
    const int choice = h.pick(kStandard, 4);
    if (choice == 0)
        return;
    const std::string pattern = choice == 1   ? (ids.size() > 1 ? ids[1] : std::string("?"))
                                : choice == 2 ? std::string("*")
                                              : std::string("?*");
    RunSplit split = standardsOf(run, pattern);
    check(split.analytes.has_value() != split.message.has_value(), "standards or a message");
    if (!split.analytes) {
        check(!split.message->text.empty(), "the message says something");
        return;
    }
    checkRun(run, *split.analytes, pattern);
    for (const Analyte& analyte : *split.analytes)
        checkAcceptedTable(analyte.table);
    std::optional<RunTable> kept = std::move(state.run);
    state.replaceAnalytes(std::move(*split.analytes), true, std::move(kept));
}

void pasteRound(State& state, const Header& h, std::string_view text, const QLocale& locale,
                const NumberFormat& fmt)
{
    const State before = state;
    PasteResult pasted = parseTable(text, locale);
    check(pasted.table.has_value() != pasted.message.has_value(), "a table or a message");
    const bool accepted = pasted.table.has_value();
    if (accepted) {
        checkAcceptedTable(*pasted.table);
        for (const Analyte& analyte : pasted.table->analytes)
            checkAcceptedTable(analyte.table);
        state.replaceAnalytes(std::move(pasted.table->analytes), pasted.table->named,
                              std::move(pasted.table->run));
        if (state.run)
            chooseStandard(state, h);
    } else {
        check(!pasted.message->text.empty(), "the message says something");
        check(pasted.message->icon == MessageIcon::Exclamation, "an exclamation");
    }

    run(state, fmt);
    if (!accepted)
        check(sameAnalytes(state, before), "a refused text leaves the table");
    showAnalyte(state, fmt, static_cast<std::size_t>(h.raw(kAnalyte)) % state.analytes.size());
    checkPlot(state.plot);

    const int clicks = h.pick(kClickCount, 5);
    for (int i = 0; i < clicks; ++i)
        click(state, h.raw(kClicks + 3 * i), h.raw(kClicks + 3 * i + 1),
              h.raw(kClicks + 3 * i + 2));
    checkPlot(state.plot);
    if (h.pick(kRestore, 2) == 1)
        restoreAllData(state);

    run(state, fmt, LeaveOneOutErrors::Compute);
    checkExport(exportText(state, fmt), state.table().nData, exportTitle(state));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gSession = new Session;
    State& s = gSession->base;
    s.student = kalibrix::fuzz::shippedStudentTable("fuzz_session");
    s.table() = demonstrationTable();
    gSession->locales = {
        QLocale::c(),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::French, QLocale::France),       // narrow no-break space groups
        QLocale(QLocale::German, QLocale::Switzerland),  // apostrophe groups
        QLocale(QLocale::Arabic, QLocale::Egypt),        // Arabic-Indic digits
        QLocale(QLocale::Hindi, QLocale::India),         // groups of two
        QLocale(QLocale::Swedish, QLocale::Sweden),      // U+2212 minus
    };
    for (const QLocale& l : gSession->locales)
        gSession->formats.push_back(NumberFormat::fromLocale(l));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Header h(data, size);
    const std::size_t textSize = size > kHeaderSize ? size - kHeaderSize : 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + (size - textSize), textSize);

    State state = gSession->base;
    state.settings = settingsFrom(h);
    const int locale = h.pick(kLocale, static_cast<int>(gSession->locales.size()));
    const QLocale& loc = gSession->locales[locale];
    const NumberFormat& fmt = gSession->formats[locale];

    if (h.pick(kSecondPaste, 2) == 1) {
        const std::size_t split = (h.raw(kSplit) * 256u + h.raw(kSplit + 1)) % (textSize + 1);
        pasteRound(state, h, text.substr(0, split), loc, fmt);
        pasteRound(state, h, text.substr(split), loc, fmt);
    } else {
        pasteRound(state, h, text, loc, fmt);
    }
    return 0;
}
