// libFuzzer target: arbitrary bytes as a table file (CSV, UTF-16, any line end), fed to the
// file reader in pieces whose size the first byte picks.
//
// Beyond "no crash": a refusal names the file; a table taken has standards with finite Y
// only, and its kept text, read again as a session reads it, gives the same analytes.

#include "run/paste_table.h"
#include "run/table_file.h"

#include <QLocale>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <variant>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_table_file: check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kalibrix;
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 7;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    TableFileIntake intake;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        if (!intake.add(bytes.substr(at, piece)))
            break;
    const TableFileResult read = intake.finish("f.csv", QLocale::c());
    if (const UserMessage* refusal = std::get_if<UserMessage>(&read)) {
        check(refusal->text.starts_with("f.csv"), "a refusal names the file");
        return 0;
    }
    const TableFile& file = std::get<TableFile>(read);
    for (const Analyte& analyte : file.table.analytes)
        for (int x = 0; x <= analyte.table.nData; ++x)
            check(!analyte.table.y[x] || std::isfinite(*analyte.table.y[x]), "finite Y");
    const PasteResult again =
        parseTable(file.source.text, QLocale(QString::fromStdString(file.source.locale)));
    check(again.table.has_value(), "the kept text reads again");
    check(again.table->analytes.size() == file.table.analytes.size(), "the same analytes");
    for (std::size_t a = 0; a < file.table.analytes.size(); ++a)
        check(again.table->analytes[a].table.y == file.table.analytes[a].table.y, "the same Y");
    return 0;
}
