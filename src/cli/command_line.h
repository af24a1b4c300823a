#pragma once

#include "model/settings.h"

#include <QCommandLineParser>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalibrix::cli {

// The parser sees every byte of the command line as one character (Latin-1), so that no
// byte is lost; these turn such a text into a standard string of its characters, back into
// its bytes, or into the UTF-8 text it holds.
std::string str(const QString& s);
std::string bytes(const QString& latin1);
QString text(const QString& latin1);

// The items of every occurrence of a comma-separated list option, blanks around them trimmed.
QStringList listItems(const QCommandLineParser& parser, const QString& option);

// Where the table of a run comes from: a session, a table file or standard input.
struct Input {
    std::optional<std::string> session;  // the bytes of --session's file name
    std::string file;                    // the table file's; empty or "-": standard input

    std::string name() const
    {
        return session ? *session : file.empty() || file == "-" ? "standard input" : file;
    }
};

// One item of --reject: X in every analyte, or NAME:X in the analyte of that name.
struct Rejection {
    std::optional<std::string> analyte;
    int x = 0;
};

// --reject: the listed X and whether "suggested" is among them.
struct Rejections {
    std::vector<Rejection> xs;
    bool suggested = false;
};

// "%a" in the name of --plot: one picture per analyte, named after it.
inline constexpr std::string_view kAnalyteField = "%a";

struct PlotRequest {
    std::string file;         // the name's bytes
    QSize size;               // empty: the designed size
    bool perAnalyte = false;  // kAnalyteField in the name: one picture per analyte
};

// What standard output gets.
enum class OutputText { Export, Raw, Summary, Samples, Residuals };

// --format: how the export is written on standard output: as the clipboard has it (wide),
// one line per X per method per analyte (long), or comma-separated (csv).
enum class ExportFormat { Wide, Long, Csv };

// The command line, read and checked as far as it can be without the table.
struct CliOptions {
    Input input;
    Settings settings;  // of the window at start-up at the 95 % level, the options over them
    Rejections rejections;
    std::optional<PlotRequest> plot;
    std::optional<std::string> sessionOut;  // --save-session's file name
    std::optional<std::string> report;      // --report's file name
    std::optional<std::string> workbook;    // --xlsx's file name
    ExportFormat format = ExportFormat::Wide;
    OutputText output = OutputText::Export;
    std::optional<std::vector<std::string>> analytes;  // --analyte's names, in its order
    std::optional<std::string> needsRunTable;          // the first option given that needs one
    bool standardGiven = false;                        // --standard
};

// Sets up the parser with every option of kalibrix-cli.
void addOptions(QCommandLineParser& parser);

// Parses `arguments` (the command line's bytes, the program name first); false when help is
// asked for. Throws UsageError when they cannot be parsed.
bool parseArguments(QCommandLineParser& parser, const std::vector<std::string>& arguments);

// The options of a parsed command line; throws UsageError at the first refused.
CliOptions readOptions(const QCommandLineParser& parser);

}  // namespace kalibrix::cli
