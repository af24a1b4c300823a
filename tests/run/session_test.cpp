// Session files: what is saved comes back exactly, and what is not a whole session is refused
// with a message that names the problem.
#include "model/version.h"
#include "run/driver.h"
#include "run/export.h"
#include "run/paste_table.h"
#include "run/run_split.h"
#include "run/samples.h"
#include "run/session.h"
#include "support/test_support.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>

using namespace kalibrix;
using kalibrix::test::method;

namespace {

const std::string kNamed =
    "Pos\tCu\tCu err\tZn/66\n5\t980\t9\t50\n10\t770\t8\t\n"
    "15\t700\t\t60\n25\t550\t5\t70\n27\t500\t5\t80\n";
// A run: the standard "STD" and, with "S?D", also "SXD"; samples "A" and "B", a check "QC".
const std::string kRun =
    "Pos\tID\tCu\tZn/66\n1\tSTD\t110\t55\n2\tA\t60\t30\n3\tSXD\t130\t65\n"
    "4\tQC\t130\t65\n5\tSTD\t150\t75\n6\tB\t75\t35\n7\tSTD\t170\t85\n";
const std::string kGerman = "5\t980,5\r\n10\t770,25\r\n15\t700\r\n25\t550\r\n27\t500\r\n";

// The started state with `text` pasted in `locale`, the standard of a run matching `pattern`,
// the rejections and the analyte shown.
State pasted(const std::string& text, const char* locale, std::vector<std::pair<int, int>> rejected,
             std::size_t shown, const std::string& pattern = "")
{
    State s = test::startedState();
    PasteResult r = parseTable(text, QLocale(QString::fromLatin1(locale)));
    EXPECT_TRUE(r.table);
    s.replaceAnalytes(std::move(r.table->analytes), r.table->named, std::move(r.table->run));
    if (!pattern.empty()) {
        s.settings.standardPattern = pattern;
        s.analytes = std::move(*standardsOf(*s.run, pattern).analytes);
    }
    s.source = {text, locale, "clipboard"};
    for (auto [analyte, x] : rejected)
        s.analytes[static_cast<std::size_t>(analyte)].table.rejFlag[static_cast<std::size_t>(x)] =
            1;
    s.selected = shown;
    return s;
}

State opened(const std::string& bytes)
{
    auto contents = readSessionText(bytes);
    if (const std::string* refusal = std::get_if<std::string>(&contents))
        throw std::runtime_error(*refusal);
    State s = test::startedState();
    applySession(s, std::move(std::get<SessionContents>(contents)));
    return s;
}

}  // namespace

// Saved, opened and saved again: the same bytes, the same settings, rejections and analyte
// shown, and the export of the opened session is the export of the state that saved it. A
// byte order mark before the table is part of what was read: the session keeps it.
TEST(Session, SavedOpenedAndSavedAgainIsTheSame)
{
    Settings changed = defaultSettings();
    for (const FitMethod& method : fitMethods()) {
        int& show = changed.show[method.name];
        show = ticked(show) && !method.alwaysFitted ? kUnticked : kTicked;
        int& exported = changed.exported[method.name];
        exported = ticked(exported) ? kUnticked : kTicked;
    }
    changed.showBand = kUnticked;
    changed.level = 5;
    changed.scaleXFull = changed.scaleYFull = changed.allData = false;
    changed.weightByErrors = changed.exportUncertainties = true;
    changed.bandMethod = "poly3";
    changed.uncertaintyKind = UncertaintyKind::Reading;
    changed.standardPattern = "S?D";
    changed.checkPattern = "QC*";
    changed.correction = CorrectionKind::Delta;
    changed.correctWith = "poly2";
    changed.maxGap = 2.5;
    changed.known = {{"", {-999.5, std::nullopt}}, {"Cu", {0.1, 1e-17}}};
    changed.checkKnown = {{"Zn/66", {-3, 0.25}}};
    changed.plotResiduals = true;
    auto choices = [](const Settings& s) {
        return std::tie(s.show, s.exported, s.showBand, s.degreeText, s.level, s.scaleYFull,
                        s.scaleXFull, s.allData, s.weightByErrors, s.bandMethod, s.uncertaintyKind,
                        s.exportUncertainties, s.standardPattern, s.checkPattern, s.correction,
                        s.correctWith, s.maxGap, s.known, s.checkKnown, s.plotResiduals);
    };
    const std::string bom = "\xEF\xBB\xBF";
    std::tuple<State, const char*, bool> cases[] = {
        {pasted(kDemonstrationText, "C", {}, 0), "6", false},
        {pasted(kGerman, "de_DE", {{0, 10}, {0, 27}}, 0), " 3", true},
        {pasted(kNamed, "C", {{0, 15}, {1, 5}}, 1), "abc", true},
        {pasted(kNamed, "de_DE", {}, 0), "4", false},
        {pasted(bom + kDemonstrationText, "C", {{0, 10}}, 0), "6", false},
        {pasted(bom + kNamed, "C", {{0, 10}}, 0), "6", true},
        {pasted(kRun, "C", {{0, 3}}, 1, "S?D"), "6", true},
        {pasted(kRun, "C", {{1, 7}}, 0), "6", false}};
    QTemporaryDir dir;
    for (auto& [saved, degree, change] : cases) {
        SCOPED_TRACE(saved.source.text + degree);
        if (change)
            saved.settings = changed;
        saved.settings.degreeText = degree;
        const std::string bytes = sessionText(saved);
        State back = opened(bytes);
        EXPECT_EQ(sessionText(back), bytes);
        EXPECT_EQ(back.source.text, saved.source.text);
        EXPECT_EQ(saveSession(saved, dir.filePath("s.kalibrix").toStdString()), std::nullopt);
        EXPECT_EQ(back.selected, saved.selected);
        EXPECT_TRUE(choices(back.settings) == choices(saved.settings));
        for (std::size_t a = 0; a < saved.analytes.size(); ++a)
            EXPECT_EQ(back.analytes[a].table.rejFlag, saved.analytes[a].table.rejFlag);
        EXPECT_EQ(back.run, saved.run);
        plotAndCalculate(saved, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
        plotAndCalculate(back, NumberFormat{}, Drawing::Skip, LeaveOneOutErrors::Compute);
        EXPECT_EQ(exportText(back, NumberFormat{}), exportText(saved, NumberFormat{}));
        EXPECT_EQ(samplesText(back, NumberFormat{}), samplesText(saved, NumberFormat{}));
    }
}

TEST(Session, DamagedTruncatedAndForeignFilesAreRefusedSayingWhatIsWrong)
{
    State named = pasted(kNamed, "C", {{0, 5}, {1, 15}}, 1);
    named.settings.show["poly"] = kTicked;
    named.settings.known = {{"Cu", {1000, 0.25}}};
    const std::string good = sessionText(named);
    auto changed = [&good](std::string_view from, std::string_view to) {
        std::string s = good;
        const std::size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };
    const char* damaged = "The session is damaged: ";
    std::string everyName;
    for (const FitMethod& method : fitMethods())
        everyName += (everyName.empty() ? "" : ", ") + std::string(method.name);
    const std::pair<std::string, std::string> cases[] = {
        {"", "The file is not a KALIBRIX session (it is not JSON: "},
        {kDemonstrationText, "The file is not a KALIBRIX session (it is not JSON: "},
        {"[1, 2]", "The file is not a KALIBRIX session (it is not a JSON object)."},
        {"{\"table\": 1}", "The file is not a KALIBRIX session (no \"format\")."},
        {"{\"format\": \"Excel\"}",
         "The file is not a KALIBRIX session (its \"format\" is \"Excel\")."},
        {good.substr(0, good.size() / 2), "The session is damaged: it is no longer JSON ("},
        {changed("\"formatVersion\": 1", "\"formatVersion\": 2"),
         "The session is of format version 2, written by a newer KALIBRIX; this one (" +
             std::string(kProgramVersion) + ") reads format version 1."},
        {changed("\"formatVersion\": 1", "\"formatVersion\": 0.5"),
         damaged +
             std::string("\"formatVersion\" is 0.5, not a whole number from 1 to 2147483647.")},
        {changed("\"level\": 95", "\"level\": 97"),
         damaged +
             std::string("\"settings\".\"level\" is 97, not one of 80, 90, 95, 98, 99, 99.8.")},
        {changed("\"poly\"", "\"poly9\""),
         std::string(damaged) + "\"settings\".\"show\" names the method \"poly9\", not one of " +
             everyName + "."},
        {changed("\"poly\"", "\"log\""),
         damaged + std::string("\"settings\".\"show\" lists \"log\" twice.")},
        {changed("\"band\": true", "\"band\": \"yes\""),
         damaged + std::string("\"settings\".\"band\" is \"yes\", not true or false.")},
        {changed("\"degree\": \"6\",", ""),
         damaged + std::string("\"settings\".\"degree\" is missing.")},
        {changed("\"bandOf\": \"linear\"", "\"bandOf\": \"band\""),
         damaged + std::string("\"settings\".\"bandOf\" names the method \"band\", not one of ") +
             everyName + "."},
        {changed("\"uncertainty\": \"curve\"", "\"uncertainty\": \"reading\""),
         damaged + std::string("\"settings\".\"uncertainty\" is \"reading\", not one of "
                               "\"curve\", \"new\".")},
        {changed("\"weights\": \"none\"", "\"weights\": true"),
         damaged + std::string("\"settings\".\"weights\" is true, not a text.")},
        {changed("\"exportUncertainties\": false", "\"exportUncertainties\": 1"),
         damaged + std::string("\"settings\".\"exportUncertainties\" is 1, not true or false.")},
        {changed("\"xScale\": \"full\"", "\"xScale\": \"wide\""),
         damaged +
             std::string("\"settings\".\"xScale\" is \"wide\", not one of \"full\", \"zoom\".")},
        {changed("\"correction\": \"ratio\"", "\"correction\": \"sum\""),
         damaged + std::string("\"settings\".\"correction\" is \"sum\", not one of \"ratio\", "
                               "\"difference\", \"delta\".")},
        {changed("\"correctWith\": \"best\"", "\"correctWith\": \"poly9\""),
         damaged +
             std::string("\"settings\".\"correctWith\" names the method \"poly9\", not one "
                         "of ") +
             everyName + ", best."},
        {changed("\"maxGap\": null", "\"maxGap\": 0"),
         damaged + std::string("\"settings\".\"maxGap\" is 0, not above 0.")},
        {changed("\"value\": 1000", "\"value\": 0"),
         damaged + std::string("\"settings\".\"known\".\"Cu\".\"value\" is 0, but a ratio "
                               "needs a known value above 0.")},
        {changed("\"u\": 0.25", "\"u\": -1"),
         damaged + std::string("\"settings\".\"known\".\"Cu\".\"u\" is -1, below 0.")},
        {changed("\"checkPattern\": \"\"", "\"checkPattern\": []"),
         damaged + std::string("\"settings\".\"checkPattern\" is a list, not a text.")},
        {changed("\"locale\": \"C\"", "\"locale\": \"xx_YY\""),
         damaged +
             std::string(
                 "\"table\".\"locale\" is \"xx_YY\", which is no locale this KALIBRIX knows.")},
        {changed("\\n10\\t770", "\\n10\\tx"),
         "The session's table is refused: Line 3, cell 2: \"x\" is not a number."},
        {changed("\"text\": \"Pos", "\"text\": 7, \"x\": \"Pos"),
         damaged + std::string("\"table\".\"text\" is 7, not a text.")},
        {changed("\"Cu\": [", "\"Fe\": ["),
         damaged +
             std::string("\"rejected\" names the analyte \"Fe\", which the table does not have.")},
        {changed("            15\n", "            10\n"),
         damaged + std::string(
                       "\"rejected\".\"Zn/66\" rejects X = 10 of \"Zn/66\", where the table has no "
                       "standard with Y > 0.")},
        // X = 0 is drawn but holds no standard: nothing could take its rejection back.
        {[] {
             std::string s = sessionText(pasted("0\t40\n5\t980\n10\t770\n", "C", {{0, 5}}, 0));
             return s.replace(s.find("    5\n"), 6, "    0\n");
         }(),
         damaged + std::string("\"rejected\" is 0, not a whole number from 1 to 30000.")},
        // A run's standard that matches none of its lines.
        {[] {
             std::string s = sessionText(pasted(kRun, "C", {}, 0, "S?D"));
             return s.replace(s.find("\"S?D\""), 5, "\"X*\"");
         }(),
         "The session's table is refused: No line's ID matches the standard \"X*\"."},
        {changed("\"shown\": \"Zn/66\"", "\"shown\": \"Fe\""),
         damaged + std::string("\"shown\" is \"Fe\", which the table does not have.")},
    };
    for (const auto& [bytes, message] : cases) {
        SCOPED_TRACE(bytes.substr(0, 200));
        auto r = readSessionText(bytes);
        ASSERT_TRUE(std::holds_alternative<std::string>(r));
        const std::string& said = std::get<std::string>(r);
        if (message.ends_with('.'))
            EXPECT_EQ(said, message);
        else
            EXPECT_TRUE(said.starts_with(message)) << said;
    }
}

// A session saved before the uncertainties, without their keys, opens with their defaults.
TEST(Session, ASessionWithoutTheUncertaintyKeysOpensWithTheirDefaults)
{
    State saved = pasted(kDemonstrationText, "C", {}, 0);
    saved.settings.weightByErrors = saved.settings.exportUncertainties = true;
    saved.settings.bandMethod = "log";
    saved.settings.uncertaintyKind = UncertaintyKind::Reading;
    std::string old = sessionText(saved);
    for (const char* key :
         {"        \"bandOf\": \"log\",\n", "        \"exportUncertainties\": true,\n",
          "        \"uncertainty\": \"new\",\n", "        \"weights\": \"errors\",\n"}) {
        const std::size_t at = old.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        old.erase(at, std::string_view(key).size());
    }
    auto keys = [](const Settings& s) {
        return std::tie(s.weightByErrors, s.exportUncertainties, s.bandMethod, s.uncertaintyKind);
    };
    EXPECT_TRUE(keys(opened(old).settings) == keys(defaultSettings()));
}

// A session saved before run tables, without the keys of their samples, opens with their
// defaults.
TEST(Session, ASessionWithoutTheSampleKeysOpensWithTheirDefaults)
{
    State saved = pasted(kNamed, "C", {}, 0);
    Settings& s = saved.settings;
    s.standardPattern = "S*";
    s.checkPattern = "QC";
    s.correction = CorrectionKind::Difference;
    s.correctWith = "log";
    s.maxGap = 3;
    s.known = {{"Cu", {5, std::nullopt}}};
    s.checkKnown = {{"", {6, 0.5}}};
    QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(sessionText(saved))).object();
    QJsonObject settings = root["settings"].toObject();
    for (const char* key : {"standardPattern", "checkPattern", "correction", "correctWith",
                            "maxGap", "known", "checkKnown"}) {
        EXPECT_TRUE(settings.contains(QLatin1String(key))) << key;
        settings.remove(QLatin1String(key));
    }
    root["settings"] = settings;
    auto keys = [](const Settings& s) {
        return std::tie(s.standardPattern, s.checkPattern, s.correction, s.correctWith, s.maxGap,
                        s.known, s.checkKnown);
    };
    const Settings back = opened(QJsonDocument(root).toJson().toStdString()).settings;
    EXPECT_TRUE(keys(back) == keys(defaultSettings()));
}

// Sessions are parsed in bounded memory: more bytes, values or lists and objects than the
// largest real session holds are refused before they are parsed; that session itself (the
// largest named table with every standard rejected) is read back.
TEST(Session, OnlyWhatARealSessionCanHoldIsParsed)
{
    std::string largest = "X";
    for (int a = 1; a < kMaxPasteCells; ++a)
        largest += "\tA" + std::to_string(a);
    largest += "\n";
    for (int x = 1; x <= kMaxPasteLines; ++x) {
        largest += std::to_string(x);
        for (int a = 1; a < kMaxPasteCells; ++a)
            largest += "\t1";
        largest += "\n";
    }
    State all = pasted(largest, "C", {}, 0);
    for (Analyte& analyte : all.analytes)
        for (int x = 1; x <= kMaxPasteLines; ++x)
            analyte.table.rejFlag[static_cast<std::size_t>(x)] = 1;
    const std::string bytes = sessionText(all);
    EXPECT_EQ(sessionText(opened(bytes)), bytes);

    auto said = [](const std::string& session) {
        auto r = readSessionText(session);
        return std::holds_alternative<std::string>(r) ? std::get<std::string>(r) : "read";
    };
    const std::string head = "{\"format\": \"KALIBRIX session\", \"formatVersion\": 1, \"note\": ";
    // Commas, brackets and quotes inside a text are no values.
    EXPECT_EQ(said(head + "\"" + std::string(kMaxSessionValues, ',') + "[{\\\"\"}"),
              "The session is damaged: \"program\" is missing.");
    std::string values = head + "[0";
    for (std::size_t i = 0; i < kMaxSessionValues; ++i)
        values += ",0";
    EXPECT_EQ(said(values + "]}"),
              "The file is not a KALIBRIX session (it holds more than 1000000 values).");
    EXPECT_EQ(said(head + std::string(kMaxSessionContainers, '[') +
                   std::string(kMaxSessionContainers, ']') + "}"),
              "The file is not a KALIBRIX session (it holds more than 1000 lists and objects).");
    EXPECT_EQ(said(head + "\"" + std::string(kMaxSessionBytes, 'a') + "\"}"),
              "The file is not a KALIBRIX session (it is larger than 64 MB).");
}
