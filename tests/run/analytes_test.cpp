// Named tables: how the names line is read, a column of IDs that makes the table a run of
// standards and samples, and the export of many analytes, which must be each analyte's own
// export side by side.
#include "run/driver.h"
#include "run/export.h"
#include "run/paste_table.h"
#include "run/run_split.h"
#include "run/status_text.h"
#include "support/test_support.h"

#include <QLocale>

#include <random>
#include <sstream>

using namespace kalibrix;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

// "name:nCol:X=Y/err X=Y ..." of each analyte.
std::string analytesOf(const std::vector<Analyte>& analytes)
{
    std::string s;
    for (const Analyte& a : analytes) {
        s += (s.empty() ? "" : " | ") + a.name + ":" + std::to_string(a.table.nCol) + ":" +
             std::to_string(a.table.nData) + ":";
        for (int x = 0; x <= a.table.nData; ++x) {
            if (!a.table.y[x])
                continue;
            std::ostringstream cell;
            cell << " " << x << "=" << *a.table.y[x];
            if (a.table.yErr[x])
                cell << "/" << *a.table.yErr[x];
            s += cell.str();
        }
    }
    return s;
}

// "id@X" of each line of a run.
std::string linesOf(const RunTable& run)
{
    std::string s;
    for (const RunLine& line : run.lines)
        s += (s.empty() ? "" : " ") + line.id + "@" + std::to_string(line.x);
    return s;
}

// The cells of one column of a run, "-" where there is none.
std::string cellsOf(const std::vector<std::optional<double>>& cells)
{
    std::ostringstream s;
    for (const std::optional<double>& cell : cells)
        s << (s.tellp() > 0 ? " " : "") << (cell ? std::to_string(*cell).substr(0, 4) : "-");
    return s.str();
}

std::string refusal(const std::string& text)
{
    const PasteResult r = parseTable(text, kEnglish);
    EXPECT_FALSE(r.table.has_value());
    return r.message ? r.message->text.substr(r.message->text.find('\n') + 1) : "";
}

}  // namespace

TEST(NamedTable, NamesErrorColumnsAndEmptyCells)
{
    // Error columns only right after their analyte, in any case; "Pb SD" before "Pb" is an
    // analyte of its own. Empty cells are no value, short lines end in empty cells, a later
    // line with the same X replaces only where it has a value, nData is the largest X.
    const PasteResult r = parseTable(
        " Pos \t Cu \tCu ERR\tZn\tZn \u00b1\tPb SD\tPb\tNi\tNi sd\tCo\tCo Error\n"
        "1\t10\t0.5\t\t\t7\t1\t5\t0.1\t3\t0.3\n"
        "2\t20\t\t0.2\t0.01\n"
        "1\t11\n"
        "40\n",
        kEnglish);
    ASSERT_TRUE(r.table) << r.message->text;
    EXPECT_TRUE(r.table->named);
    EXPECT_FALSE(r.table->run);
    EXPECT_EQ(analytesOf(r.table->analytes),
              "Cu:3:40: 1=11 2=20 | Zn:3:40: 2=0.2/0.01 | Pb SD:2:40: 1=7 | Pb:2:40: 1=1 | "
              "Ni:3:40: 1=5/0.1 | Co:3:40: 1=3/0.3");
    EXPECT_EQ(r.table->analytes[0].table.nY, 2);
    EXPECT_EQ(pasteNotesText(*r.table),
              "1 value replaced by a later line of the same X (line 2 by line 4: Cu at X 1)");

    // Values, not lines, are counted where a line holds one per analyte; the first is named
    // by its line and analyte.
    const PasteResult notes =
        parseTable("X\tCu\tCu err\tZn\n1\t-1\t0.1\t5\n2\t\t0.2\t0\n3\t4\t\t6\t9\n", kEnglish);
    ASSERT_TRUE(notes.table) << notes.message->text;
    EXPECT_EQ(pastedText(*notes.table),
              "Pasted 3 standards of 2 analytes (Cu, Zn), X 1 to 3, from 3 lines; 2 values left "
              "out with Y \u2264 0 (line 2: Cu at X 1); 1 error without a Y left out (line 3: Cu "
              "at X 2); 1 line with cells beyond the table's columns (line 4: cell 5 not used)");

    // A first line with a number in it is a data line, as always; names need two cells.
    EXPECT_EQ(refusal("1\tCu\n2\t3\n3\t4\n"), "Line 1, cell 2: \"Cu\" is not a number.");
    EXPECT_EQ(refusal("Cu\n1\t2\n2\t3\n3\t4\n"),
              "Line 1 has only one cell; X and Y must be separated by a tab.");
}

TEST(NamedTable, RefusedNamesAndLines)
{
    EXPECT_EQ(refusal("X\tCu\t \tZn\n1\t2\t3\t4\n2\t3\t4\t5\n3\t4\t5\t6\n"),
              "Column 3 has no name in line 1; every analyte needs one.");
    EXPECT_EQ(refusal("X\tCu\tZn\tCu\n1\t2\t3\t4\n2\t3\t4\t5\n3\t4\t5\t6\n"),
              "Column 4 has the name \"Cu\" of column 2; every analyte needs its own name.");
    EXPECT_EQ(refusal("X\tCu\n1\t2\n2\t3\n"),
              "The table has 2 lines below its names; at least 3 are needed.");
    EXPECT_EQ(refusal("X\tCu\n1\t2\n\t3\n3\t4\n"), "Line 3, cell 1 is empty.");
    EXPECT_EQ(refusal("X\tCu\n1\t2\n\n3\t4\n"), "Line 3 is empty.");
    EXPECT_EQ(refusal("X\tCu\n1\t2\n2\tn/a\n3\t4\n"), "Line 3, cell 2: \"n/a\" is not a number.");
    EXPECT_EQ(refusal("X\tCu\tZn\n1\n2\t\t\n3\n"), "No cell below the names holds a value.");

    // A column of IDs: one only, below a names line; every sample has a value.
    const std::string idNames = "ID, Sample, Sample ID, Name or Label.";
    EXPECT_EQ(refusal("X\tID\tCu\tlabel\n1\tStd\t2\tA\n2\tS1\t3\tB\n3\tStd\t4\tC\n"),
              "Column 4 (\"label\") is a second column of IDs beside column 2 (\"ID\"); a table "
              "may have only one.");
    EXPECT_EQ(refusal("1\tStd\t980\n2\tS1\t500\n3\tStd\t970\n"),
              "Line 1, cell 2: \"Std\" is not a number; a column of IDs needs a names line above "
              "the table, naming it " +
                  idNames);
    EXPECT_EQ(refusal("X\tSmp\tCu\n1\t2\t2\n2\tS1\t3\n3\tStd\t4\n"),
              "Line 3, cell 2: \"S1\" is not a number; a column of IDs must be named " + idNames);
    EXPECT_EQ(refusal("X\tID\tCu\tZn\n1\tStd\t2\t5\n2\tS1\t\t\n3\tStd\t4\t6\n"),
              "Line 3, cell 2: the sample \"S1\" has no value of any analyte.");
    EXPECT_EQ(refusal("X\tName\tCu\n1\tA\n2\tB\t3\n3\tA\n"),
              "No line of the standard \"A\" holds a value.");
    EXPECT_EQ(refusal("X\tName\tCu\n1\tA\n2\tB\n3\tA\n"), "No cell below the names holds a value.");
}

// A column of IDs makes a named table a run: every line is kept with its ID and cells (an ID
// is text, never a number), and the analytes take the lines of the most frequent ID as a
// table without IDs takes its lines; the others are samples. Another standard's ID, or a
// pattern, splits the same run otherwise.
TEST(NamedTable, RunTableSplitsIntoStandardsAndSamples)
{
    const PasteResult r = parseTable(
        "X\t sample id \tCu\tCu err\tZn\n"
        "1\tStd\t10\t0.5\t5\n"
        "2\tS1\t11\t\t6\n"
        "3\tStd\t12\t\t0\n"
        "2\tStd\t13\t0.2\n"
        "4\t S1 \t14\n"
        "5\t\t15\n"
        "6\tn/a\t\t\t7\n"
        "7\tStd\n"
        "1\tStd\t16\n",
        kEnglish);
    ASSERT_TRUE(r.table) << r.message->text;
    ASSERT_TRUE(r.table->run);
    const RunTable& run = *r.table->run;
    EXPECT_EQ(run.idColumn, "sample id");
    EXPECT_EQ(linesOf(run), "Std@1 S1@2 Std@3 Std@2 S1@4 @5 n/a@6 Std@7 Std@1");
    EXPECT_EQ(run.lines.back().textLine, 10u);
    EXPECT_EQ(run.analytes, (std::vector<std::string>{"Cu", "Zn"}));
    EXPECT_EQ(cellsOf(run.reading[0]), "10.0 11.0 12.0 13.0 14.0 15.0 - - 16.0");
    EXPECT_EQ(cellsOf(run.error[0]), "0.50 - - 0.20 - - - - -");
    EXPECT_EQ(cellsOf(run.reading[1]), "5.00 6.00 0.00 - - - 7.00 - -");
    EXPECT_EQ(run.nData, 7);
    EXPECT_EQ(idsByFrequency(run), (std::vector<std::string>{"Std", "S1", "n/a"}));

    // The standards only: the sample at X 2 neither replaces nor is replaced.
    EXPECT_EQ(analytesOf(r.table->analytes), "Cu:3:7: 1=16 2=13/0.2 3=12 | Zn:2:7: 1=5 3=0");
    EXPECT_EQ(pasteNotesText(*r.table),
              "1 value replaced by a later line of the same X (line 2 by line 10: Cu at X 1); 1 "
              "value left out with Y \u2264 0 (line 4: Zn at X 3)");

    const RunSplit either = standardsOf(run, "S*");
    ASSERT_TRUE(either.analytes) << either.message->text;
    EXPECT_EQ(analytesOf(*either.analytes),
              "Cu:3:7: 1=16 2=13/0.2 3=12 4=14 | Zn:2:7: 1=5 2=6 3=0");
    // "?1" leaves the standard's line 9 without a value a sample; "Q*" matches no line.
    EXPECT_EQ(standardsOf(run, "?1").message,
              (UserMessage{"Line 9, cell 2: the sample \"Std\" has no value of any analyte.",
                           MessageIcon::Exclamation, ""}));
    EXPECT_EQ(standardsOf(run, "Q*").message->text, "No line's ID matches the standard \"Q*\".");
}

// The standard's pattern: '*' any run of characters, '?' one character (of UTF-8 text),
// nothing else special; case-sensitive, the whole ID.
TEST(NamedTable, StandardPatterns)
{
    const struct {
        const char* pattern;
        const char* id;
        bool matches;
    } cases[] = {
        {"Std", "Std", true},     {"Std", "std", false},     {"Std", "Std2", false},
        {"Std", "St", false},     {"S*", "S", true},         {"S*", "Std-1", true},
        {"*-1", "Std-1", true},   {"*-1", "Std-12", false},  {"S?d", "Std", true},
        {"S?d", "Sd", false},     {"?", "\u00d8", true},     {"??", "\u00d8", false},
        {"a*b*c", "abbbc", true}, {"*a*b", "xaxxbc", false}, {"*", "", true},
        {"", "", true},           {"", "x", false},          {"[a]", "a", false},
        {"a.c", "abc", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(idMatches(c.pattern, c.id), c.matches) << c.pattern << " " << c.id;

    // Of equally frequent IDs the first seen comes first; the empty ID is no standard's.
    RunTable run;
    for (const char* id : {"", "B", "A", "", "A", "B", "C", ""})
        run.lines.push_back({id, 1, 2});
    EXPECT_EQ(idsByFrequency(run), (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_EQ(standardPatternOf(run, ""), "B");
    EXPECT_EQ(standardPatternOf(run, "A*"), "A*");
}

// Named tables of 2 to 30 analytes, with error columns, empty cells, Y <= 0, rejections and
// random methods, with or without their "±" cells: the export is, cell by cell, each
// analyte's export of its own plain paste (its lines with a value, the shared nData, its
// rejections) with its name as the title, in a block of columns of its own that is as wide
// on every line.
TEST(NamedTable, ExportIsEachAnalytesOwnExportSideBySide)
{
    const State started = test::startedState();
    std::mt19937 rng(12345);
    const auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
    const std::size_t kLinear = test::method("linear");
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const std::size_t analytes = 2 + round % 29;
        const int lines = 4 + static_cast<int>(rng() % 30);
        std::vector<bool> errors(analytes);
        std::string named = "X";
        for (std::size_t a = 0; a < analytes; ++a) {
            named += "\tA" + std::to_string(a);
            if ((errors[a] = chance(40)))
                named += "\tA" + std::to_string(a) + " err";
        }
        // Each analyte's own plain paste: its lines with a value, an empty error cell as 0.
        std::vector<std::string> plain(analytes);
        for (int i = 0; i < lines; ++i) {
            const std::string x = std::to_string(1 + rng() % 60);
            named += "\n" + x;
            for (std::size_t a = 0; a < analytes; ++a) {
                std::string y, err;
                const bool silent = round % 4 == 0 && a == 1;  // a column without values
                if (!silent && !chance(25)) {
                    y = std::to_string(static_cast<int>(rng() % 2000) - (chance(10) ? 1900 : 0));
                    if (errors[a] && !chance(10))
                        err = std::to_string(static_cast<int>(rng() % 50));
                }
                named += "\t" + y + (errors[a] ? "\t" + err : "");
                if (!y.empty())
                    plain[a] +=
                        x + "\t" + y + (errors[a] ? "\t" + (err.empty() ? "0" : err) : "") + "\n";
            }
        }
        State state = started;
        Settings& settings = state.settings;
        for (const FitMethod& method : fitMethods()) {
            if (!method.alwaysFitted)
                settings.show[method.name] = chance(50) ? kTicked : kUnticked;
            settings.exported[method.name] = chance(50) ? kTicked : kUnticked;
        }
        settings.showBand = chance(50) ? kTicked : kUnticked;
        settings.exportUncertainties = chance(50);
        settings.uncertaintyKind = chance(50) ? UncertaintyKind::Curve : UncertaintyKind::Reading;

        PasteResult pasted = parseTable(named + "\n", kEnglish);
        ASSERT_TRUE(pasted.table) << pasted.message->text << "\n" << named;
        state.replaceAnalytes(std::move(pasted.table->analytes), true);
        const int nData = state.analytes[0].table.nData;
        for (Analyte& analyte : state.analytes)
            for (int x = 1; x <= nData; ++x)
                if (analyte.table.y[x] && chance(15))
                    analyte.table.rejFlag[x] = 1;
        plotAndCalculate(state, NumberFormat{}, Drawing::Skip);
        const QStringList got =
            QString::fromStdString(exportText(state, NumberFormat{})).split(u'\r');

        // Each analyte's own export, and the cells that stand for its groups on a full line.
        std::vector<QStringList> own;
        int fullTabs = 0;
        for (std::size_t m = 0; m < fitMethods().size(); ++m)
            if (isExported(fitMethods()[m], settings))
                fullTabs +=
                    4 + (m == kLinear ? 1 : 0) +
                    (settings.exportUncertainties &&
                             !(m == kLinear && settings.uncertaintyKind == UncertaintyKind::Curve)
                         ? 1
                         : 0);
        for (std::size_t a = 0; a < analytes; ++a) {
            std::string text = plain[a];
            if (text.empty())
                continue;  // an analyte without values adds nothing
            if (std::count(text.begin(), text.end(), '\n') < 3)
                text += "0\t1\n0\t1\n";  // X = 0 is no standard: only the paste minimum
            State single = started;
            single.settings = settings;
            PasteResult p = parseTable(text, kEnglish);
            ASSERT_TRUE(p.table) << p.message->text << "\n" << text;
            single.replaceAnalytes(std::move(p.table->analytes), false);
            DataTable& t = single.table();
            const DataTable& mine = state.analytes[a].table;
            t.y[0].reset();
            t.yErr[0].reset();
            for (int x = 0; x <= nData; ++x)
                if (t.y[x] && !mine.yErr[x])
                    t.yErr[x].reset();  // an error cell left empty is no error
            t.nData = nData;
            t.rejFlag = mine.rejFlag;
            plotAndCalculate(single, NumberFormat{}, Drawing::Skip);
            QStringList lines =
                QString::fromStdString(exportText(single, NumberFormat{})).split(u'\r');
            lines[0] = "A" + QString::number(a);
            own.push_back(lines);
        }
        // Column by column: analyte b's cells of every line start in column b * (fullTabs + 1),
        // its name on the first line too; a line ends with the last analyte's own cells.
        ASSERT_EQ(got.size(), own.empty() ? 1 : own[0].size());
        const qsizetype block = fullTabs + 1;
        for (qsizetype k = 0; k < got.size(); ++k) {
            SCOPED_TRACE(k);
            const QStringList cells = got[k].isEmpty() ? QStringList() : got[k].split(u'\t');
            qsizetype end = 0;  // cells the line must have
            for (qsizetype b = 0; b < static_cast<qsizetype>(own.size()); ++b)
                if (!own[b][k].isEmpty())
                    end = b * block + own[b][k].count(u'\t') + 1;
            ASSERT_EQ(cells.size(), end) << got[k].toStdString();
            for (qsizetype b = 0; b * block < end; ++b) {
                const QStringList mine = own[b][k].split(u'\t');
                for (qsizetype c = 0; c < block && b * block + c < end; ++c)
                    EXPECT_EQ(cells[b * block + c], c < mine.size() ? mine[c] : QString())
                        << "analyte " << b << ", cell " << c;
            }
        }
    }
}

// An analyte whose zigzag has no node (no Y > 0) still has its block: with only the zigzag
// exported, the next analyte's name, summary, titles and values start 5 columns on.
TEST(NamedTable, AnAnalyteWithoutZigzagNodesKeepsItsBlock)
{
    State state = test::startedState();
    state.settings.exported = {{"zigzag", kTicked}};
    state.settings.show["zigzag"] = kTicked;
    // B's clusters 1-2, 5-6 and 9-10 give nodes between them; A has no Y > 0.
    PasteResult pasted = parseTable(
        "X\tA\tB\n1\t-1\t10\n2\t-2\t20\n5\t-5\t50\n6\t\t60\n9\t\t90\n10\t\t100\n", kEnglish);
    ASSERT_TRUE(pasted.table);
    state.replaceAnalytes(std::move(pasted.table->analytes), true);
    plotAndCalculate(state, NumberFormat{}, Drawing::Skip);
    const QStringList lines =
        QString::fromStdString(exportText(state, NumberFormat{})).split(u'\r');
    ASSERT_EQ(lines.size(), 4 + 10 + 1);
    EXPECT_EQ(lines[0], "A\t\t\t\t\tB");
    EXPECT_EQ(lines[1], "Zigzag\t\t\t\t\tZigzag");
    EXPECT_EQ(lines[3], "No.\tData\tZigzag\t\t\tNo.\tData\tZigzag");
    int written = 0;  // data lines with B's zigzag
    for (int x = 1; x <= 10; ++x) {
        if (lines[3 + x].isEmpty())
            continue;
        ++written;
        const bool measured = x % 4 == 1 || x % 4 == 2;
        EXPECT_EQ(lines[3 + x].split(u'\t').mid(0, 7),
                  QStringList({"", "", "", "", "", QString::number(x),
                               measured ? QString::number(10 * x) : QString()}));
    }
    EXPECT_GT(written, 0);
}
