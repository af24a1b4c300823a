#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalibrix {

// The names an ID column may have (in any case): its cells name each line of a run.
inline constexpr std::array<std::string_view, 5> kIdColumnNames = {"ID", "Sample", "Sample ID",
                                                                   "Name", "Label"};

// One line of a run table: what names it and where it stands.
struct RunLine {
    std::string id;            // the ID cell, trimmed; may be empty
    int x = 0;                 // X as taken (rounded halves to even)
    std::size_t textLine = 0;  // its line in the text, from 1 (the names line is line 1)
    bool operator==(const RunLine&) const = default;
};

// A named table with an ID column: every line of the run, standards and samples alike, with
// each analyte's reading and error on it. Which lines are standards follows from the
// standard's ID (or a pattern); the others are samples.
struct RunTable {
    std::string idColumn;               // the ID column's name as written
    std::vector<RunLine> lines;         // in text order
    std::vector<std::string> analytes;  // in column order, as the table's analytes
    // reading[a][i], error[a][i]: analyte a's cells on line i; none where a cell is empty.
    std::vector<std::vector<std::optional<double>>> reading;
    std::vector<std::vector<std::optional<double>>> error;
    int nData = 0;  // the largest X of all lines
    // Whether analyte a has a column of errors (its standards' tables then count 3 columns).
    std::vector<bool> hasErrors;
    int idCell = 0;  // the ID column's cell in a line, from 1 (X is cell 1)
    bool operator==(const RunTable&) const = default;
};

}  // namespace kalibrix
