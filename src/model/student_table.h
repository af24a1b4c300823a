#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace kalibrix {

inline constexpr int kStudentColumns = 6;  // upper-tail probabilities, see kUpperTailProbability
inline constexpr int kStudentRows = 101;   // df 1..100; row 101 = large-sample (normal) limit
inline constexpr std::array<double, kStudentColumns + 1> kUpperTailProbability{
    0.0, 0.1, 0.05, 0.025, 0.01, 0.005, 0.001};

// One-sided Student t quantiles: value[column][row], column 1..6, row 1..101 (index 0 unused).
struct StudentTable {
    std::array<std::array<double, kStudentRows + 1>, kStudentColumns + 1> value{};

    // Returns t for the level column probCol (1..6) and nOK fitted points (at least 3):
    // row nOK - 2, or row 101 beyond 102 points.
    double lookup(int probCol, int nOK) const
    {
        return value[static_cast<std::size_t>(probCol)]
                    [static_cast<std::size_t>(std::clamp(nOK - 2, 1, kStudentRows))];
    }

    // Returns t for the level column probCol (1..6) and `dof` degrees of freedom (row dof,
    // row 101 beyond 100); no dof: a scale known beforehand, the large-sample row 101.
    double quantile(int probCol, std::optional<int> dof) const
    {
        return value[static_cast<std::size_t>(probCol)]
                    [static_cast<std::size_t>(dof ? std::clamp(*dof, 1, kStudentRows)
                                                  : kStudentRows)];
    }
};

// Either the table or the reason it could not be read ("student.dat: ...").
struct StudentLoad {
    std::optional<StudentTable> table;
    std::string error;
};

}  // namespace kalibrix
