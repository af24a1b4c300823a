#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kalibrix {

// Largest sequence position a table may hold; X = 0 exists but is never fitted.
inline constexpr int kMaxX = 30000;

// The table of standards, indexed by the sequence position X (0..kMaxX).
struct DataTable {
    // Measured value at X; nullopt = no standard at X. A value of 0 or below is
    // kept and drawn but never fitted.
    std::vector<std::optional<double>> y = std::vector<std::optional<double>>(kMaxX + 1);
    // Error of that value (third pasted column); carried and drawn, not fitted.
    std::vector<std::optional<double>> yErr = std::vector<std::optional<double>>(kMaxX + 1);
    // 1 = rejected by the user, 0 = in use.
    std::vector<std::uint8_t> rejFlag = std::vector<std::uint8_t>(kMaxX + 1, 0);
    int nData = 0;  // largest X present; every table loop runs X = 1..nData
    int nY = 0;     // number of X with Y > 0, counted at import
    int nCol = 2;   // columns of the pasted table

    bool hasValue(int x) const { return y[x].has_value(); }
    // Whether any X holds a value (an analyte's column of a named table may hold none).
    bool anyValue() const;
    bool inUse(int x) const { return rejFlag[x] < 1; }
    // A fitted point has Y > 0 and is in use; every fit takes exactly these.
    bool isFitted(int x) const { return inUse(x) && y[x].has_value() && *y[x] > 0; }
    // A value no fit ever takes, whether in use or not: at X = 0, or with Y <= 0. It is drawn
    // so that it looks left out and cannot be clicked.
    bool leftOut(int x) const { return y[x].has_value() && (x == 0 || !(*y[x] > 0)); }
};

// The five standards shown at start-up: X = 5, 10, 15, 25, 27.
DataTable demonstrationTable();

// The same table as the text a paste of it would be.
inline constexpr const char* kDemonstrationText =
    "5\t980\r\n10\t770\r\n15\t700\r\n25\t550\r\n27\t500\r\n";

}  // namespace kalibrix
