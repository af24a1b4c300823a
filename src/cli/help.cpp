#include "cli/cli.h"

#include "cli/messages.h"
#include "cli/settings_options.h"
#include "engine/method_table.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalibrix::cli {

namespace {

// What the program does with its input, after "Usage: kalibrix-cli".
constexpr std::string_view kIntro = R"( [OPTIONS] [FILE]

Fits a table of standards as the regression window does at start-up and writes
the value of every exported fit at every X as tab-separated text.

The table (X, Y and an optional error per line, as pasted into the window) is
read from FILE (cells separated by tabs, commas or semicolons; UTF-8 or UTF-16),
or from standard input when FILE is absent or "-", or is the
table of a session (--session). A first line of names makes it a named table:
X, then one column per analyte, each followed by its errors where a column is
named after it with " err", " error", " sd" or " ±"; an empty cell is no
value. Its export is the analytes' exports side by side, each headed by its
name. As in the window, a table may have at most 6000 lines (besides a names
line) and 32 MB; a longer input is refused as soon as it is beyond that,
without reading the rest. Numbers are read and written with the decimal
separator of the user's locale; negative numbers are written with the ASCII
minus sign "-" in every locale. File names are used as given, byte for byte,
whatever their encoding.

)";

// The options after --show and --export: how the run is fitted and corrected.
constexpr std::string_view kFitOptions =
    R"(  --degree TEXT   degree of "poly", as typed into the window. Default: 6
  --level L       confidence level in per cent: 80, 90, 95, 98, 99 or 99.8.
                  Default: 95
  --uncertainty K after each exported method's value, its half-width at the
                  level in a cell titled "±": K is curve (how well the fit
                  knows the drift; the line's "C.I." is that figure, so it gets
                  none), new (where a new reading would fall) or none.
                  Default: none
  --band METHOD   the method whose band the picture draws (a name as in
                  --export). Default: linear
  --weights W     errors: every fit weighs each standard by 1 / err^2 (a
                  standard in use without an error above 0 leaves the run
                  unweighted, and standard error names its X); none.
                  Default: none
  --analyte LIST  of a named table, only these analytes, in this order; each
                  must have values.
  --reject LIST   whole X positions to reject before the fit; each must hold a
                  standard with Y > 0 (in a named table: X in every analyte
                  with a standard there, NAME:X in that analyte only).
                  "suggested" rejects the standards a first run suggests
                  (their leave-one-out errors lie far outside the others'),
                  then fits again.
  --standard PATTERN
                  of a run table (a named table with an ID column: ID, Sample,
                  Sample ID, Name or Label, in any case), the lines whose ID
                  matches PATTERN are the standard, fitted as above; the others
                  are samples. "*" stands for any characters, "?" for one.
                  Default: the most frequent ID (named on standard error).
  --check PATTERN the lines of a check standard, corrected as samples and
                  summed up (--summary, --report): count, mean, standard
                  deviation, bias from its known value and z = bias / u.
                  Default: none
  --correction K  how --samples corrects a reading r with the standard's value
                  S at its X and the standard's known value R: ratio (r R / S),
                  difference (r - S + R) or delta (per mil:
                  (r / S (1 + R / 1000) - 1) 1000). Default: ratio
  --correct-with METHOD
                  the method that gives S: a name as in --export (it must be
                  fitted, see --show), or best: the one that predicts best (the
                  smallest leave-one-out error). Default: best
  --reference LIST
                  the standard's known value R: VALUE for every analyte,
                  NAME=VALUE for one (comma-separated), "." as decimal point;
                  VALUE±U or VALUE+-U adds its standard uncertainty U. R must
                  be above 0 for a ratio and above -1000 for a delta.
                  Default: 1 for a ratio, 0 otherwise. Replaces a session's
                  known values.
  --check-reference LIST
                  the check standard's known values, written as --reference.
  --max-gap N     flag a sample farther than N from the nearest standard in use
                  before or after it ("gap"); none: no such flag. Default: none
)";

// The options of what is written.
constexpr std::string_view kOutputOptions =
    R"(  --samples       write the corrected samples of a run table instead of the
                  export (see Samples below).
  --raw           write the export with CR line ends, exactly as the clipboard
                  gets it (default: LF line ends).
  --summary       write the statistics of the window instead of the export.
  --format FORMAT how the export is written: wide (default: as the clipboard
                  gets it), long (tab-separated, one title line Analyte, X,
                  Data, State, Method, Value, ±: a line per X per method per
                  analyte) or csv (comma-separated, "." the decimal point, one
                  title line, X once, per analyte its Data, each exported
                  method's value and with uncertainties its ±). long and csv
                  cannot be combined with --raw, --summary, --samples or
                  --residuals.
  --residuals     write the residuals instead of the export (tab-separated, LF
                  line ends, one title line): per standard X, Y, its state
                  (standard, suggested or rejected) and for each method fitted
                  its value, residual (Y - value) and leave-one-out residual;
                  of a named table every line starts with the analyte's name.
  --plot FILE     also write the plot as a picture, PNG, SVG or PDF by the
                  ending. An existing file is replaced only by a complete
                  picture, and only where the shell could write it (a link is
                  followed where the system allows it; a link to no file is
                  refused; a device or FIFO is written directly). No file may
                  be named by two of --plot, --save-session, --report and
                  --xlsx. Of a
                  named table the first analyte is drawn; with
                  "%a" in FILE every analyte, "%a" replaced by its name
                  (characters other than letters, digits and "-_.+" as "_").
  --size WxH      size of that picture in pixels. Default: 777x433
  --residual-plot with --plot or --report, draw the residuals of the band's
                  method (see --band) about zero instead of the data and the
                  curves; the report then lists every standard's residuals.
  --zoom LIST     x, y or x,y: those axes of the picture on "Zoom" (the range
                  of the data) rather than "Full" (from 0).
  --session FILE  read a session (.kalibrix, as the window saves it)
                  instead of a table: its table, rejections and settings
                  apply, and --plot draws the analyte it shows; the options
                  given change them (--reject adds rejections, --analyte
                  chooses among its analytes). A damaged or foreign file is
                  refused.
  --save-session FILE
                  also write the session of the run: the table read, the
                  settings and every rejection (also those of --reject), as
                  the window opens it, also of the analytes --analyte leaves
                  out. Written whole or not at all.
  --report FILE   also write the report of the run as PDF (FILE ends in .pdf):
                  for each analyte a page with the figures of the window, the
                  rejected standards, the settings and the plot.
  --xlsx FILE     also write the results as an XLSX workbook (FILE ends in
                  .xlsx): a sheet per analyte (X, Data, State, the exported
                  values and their ±, the residuals), "Summary", "Samples"
                  (of a run table) and "Settings". Written whole or not at all.
  -h, --help      show this text and exit.

)";

// The summary's first rows; the rest comes from the method table.
constexpr std::string_view kSummaryHelp =
    R"(Summary (tab-separated, LF line ends, an empty cell means no result; of a
named table every row starts with the analyte's name, under "Analyte"):
  Row  a  b  r^2  Aver. diff.  %  LOO  LOO %  (and with --weights errors MSWD,
                  empty where the fit was not weighted; with the smoothing
                  spline shown edf, its effective degrees of freedom)
  Maximum:  <largest X>
  Number of data:  <standards with Y > 0>
  Rejected:  <how many of them are rejected>
)";

// The samples of --samples, the exit status.
constexpr std::string_view kSamplesHelp = R"(
Samples (--samples; tab-separated, LF line ends, one title line, then a line
per sample of each analyte with a reading, in the table's order):
  Analyte  ID  X  Reading  Reading err  Standard  Standard ±  Corrected
  Corrected ±  Method  Flag
  Standard is S at the sample's X, Corrected its corrected reading, each ± the
  half-width at the level (the reading's error, S's uncertainty of the curve
  and that of the known value combined). Flag: extrapolated (before the first
  or after the last standard in use), gap (see --max-gap), no value (the
  method has none at X), joined by ", "; a flagged sample still gets its
  number.

Messages of the fit go to standard error, one per line.

Exit status:
  0  done (also when the fit wrote messages)
  1  the t table (student.dat beside the program) could not be read, the input
     could not be read, the table or session was refused, or the picture, the
     session, the report or standard output could not be written, or memory
     ran out (message on standard error)
  2  usage error
)";

// `text` as lines of at most kHelpWidth characters, the first starting with `first`, the
// others with as many blanks, broken between words.
constexpr std::size_t kHelpWidth = 78;

std::string wrapped(std::string_view first, std::string_view text)
{
    const std::string indent(first.size(), ' ');
    std::string out;
    std::string line(first);
    bool empty = true;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty())
            continue;
        if (!empty && line.size() + 1 + word.size() > kHelpWidth) {
            out += line + "\n";
            line = indent;
            empty = true;
        }
        line += empty ? std::string(word) : " " + std::string(word);
        empty = false;
    }
    return out + line + "\n";
}

std::string joined(const std::vector<std::string>& items, const char* separator)
{
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

// The lines of --show and --export in the help, from the method table.
std::string methodOptionsHelp()
{
    const std::span<const FitMethod> methods = fitMethods();
    std::vector<std::string> shown, shownAtStart, exported, exportedAtStart;
    std::string alwaysFitted;
    for (const FitMethod& m : methods) {
        exported.push_back(m.name);
        if (m.exportedAtStart)
            exportedAtStart.push_back(m.name);
        if (m.alwaysFitted) {
            alwaysFitted = m.name;
            continue;
        }
        shown.push_back(m.cliNote ? std::string(m.name) + " " + m.cliNote : m.name);
        if (m.shownAtStart)
            shownAtStart.push_back(m.name);
    }
    shown.push_back(kBandName);
    shownAtStart.push_back(kBandName);
    return wrapped("  --show LIST     ",
                   "methods fitted, comma-separated: " + joined(shown, ", ") + "; or none. The " +
                       alwaysFitted + " fit always runs. Default: " + joined(shownAtStart, ",")) +
           wrapped("  --export LIST   ", "methods exported: " + joined(exported, ", ") +
                                             "; or none. A method not fitted gets empty cells. "
                                             "Default: " +
                                             joined(exportedAtStart, ","));
}

// The rows of the summary in the help, from the method table.
std::string summaryHelp()
{
    std::vector<std::string> rows;
    std::string listed;
    for (const FitMethod& m : fitMethods()) {
        rows.push_back(methodLabel(m, "<degree>"));
        if (m.listsParameters)
            listed = m.name;
    }
    return wrapped("  ",
                   "then one row per method with its a, b, r^2, average difference, per cent, "
                   "leave-one-out error and leave-one-out per cent (empty where the method has "
                   "no such figure): " +
                       joined(rows, ", ") +
                       ". Every figure but r^2 (two decimals) shows at least four significant "
                       "digits, outside 0.001 to 9999999 in exponent form (2.565E+10).") +
           "  Suggested  <the X suggested for rejection, one a cell>\n"
           "  then one row per parameter of the \"" +
           listed + "\" fit: P0 <value> ... dsig <value>\n" +
           wrapped("  ",
                   "and with --check the check standard's rows: Check count, Check mean, "
                   "Check SD, Check bias, Check z (empty where there is no such figure).");
}

}  // namespace

std::string usageText()
{
    return std::string("Usage: ") + kProgram + std::string(kIntro) + "Options:\n" +
           methodOptionsHelp() + std::string(kFitOptions) + std::string(kOutputOptions) +
           std::string(kSummaryHelp) + summaryHelp() + std::string(kSamplesHelp);
}

}  // namespace kalibrix::cli
