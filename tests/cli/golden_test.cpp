// The export and the summary of a few tables with every method, byte for byte as they were
// when each method's figures had been checked against independent computations: whatever
// is reshaped inside, what the user copies and reads stays the same.
#include "startup/student_file.h"
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kGolden =
    std::filesystem::path(KALIBRIX_SOURCE_DIR) / "tests" / "data" / "golden";

std::string contents(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Golden, ExportsAndSummariesStayAsTheyWere)
{
    for (const char* name :
         {"demonstration", "clusters_rejected_99", "mixed_german", "two_points"}) {
        SCOPED_TRACE(name);
        // NAME.args: one option or value per line, the last "--locale=LOCALE".
        std::vector<std::string> args{"kalibrix-cli"};
        std::ifstream list(kGolden / (std::string(name) + ".args"));
        std::string locale;
        for (std::string line; std::getline(list, line);) {
            if (line.starts_with("--locale="))
                locale = line.substr(9);
            else
                args.push_back(line);
        }
        const std::string table = contents(kGolden / (std::string(name) + ".txt"));
        kalibrix::cli::CliEnvironment env;
        env.loadStudent = [] { return kalibrix::loadStudentTable(KALIBRIX_BIN_DIR); };
        env.readStdin = [&] { return std::optional<std::string>(table); };
        env.locale = QLocale(QString::fromStdString(locale));
        for (const char* kind : {"export", "summary"}) {
            std::vector<std::string> run = args;
            run.push_back(kind == std::string("export") ? "--raw" : "--summary");
            const kalibrix::cli::CliResult r = kalibrix::cli::runCli(run, env);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, contents(kGolden / (std::string(name) + "." + kind))) << kind;
        }
    }
}

}  // namespace
