#include "window/results_grid.h"

#include "window/window_layout.h"

#include <algorithm>

namespace kalibrix {

namespace {

constexpr GridColumn kColumns[kResultCells] = {
    {"a:", 6480, 600, 6240, 900},           {"b:", 7560, 600, 7200, 1020},
    {"r^2:", 8400, 600, 8280, 780},         {nullptr, 0, 0, 6240, 900},
    {"Aver. diff.:", 9120, 900, 9120, 780}, {"%:", 10080, 420, 9960, 600}};

constexpr double kFirstRowTop = 6960;
constexpr double kInGroup = 240;      // from one row of a group to the next
constexpr double kToDegreeBox = 360;  // from a group's row to its degree box
constexpr double kMinimumGap = 15;    // between one row's bottom and the next row's top
constexpr double kBottomMargin = 90;  // below the last row, within the designed area
constexpr double kApart[] = {480, 360, 300, 240};  // between rows not of one group

// The captions' column left of the figures holds captions only down to the band's frame,
// which stands below it.
constexpr double kCaptionColumnBottom = 7740;

// The degree box stands a little above its row and is taller than a cell.
constexpr double kDegreeBoxRaise = 30;
constexpr double kDegreeBoxHeight = 315;

TwipsRect captionAt(const FitMethod& method, double top)
{
    if (!method.caption)
        return {8360, top - kDegreeBoxRaise, 615, kDegreeBoxHeight};
    if (method.group)
        return {8360, top, 700, kGridRowHeight};
    const auto& f = method.figures;
    if (!(f[kCellA] || f[kCellB] || f[kCellRSquared] || f[kCellEdf]))
        return {6240, top, 4320, kGridRowHeight};  // across the figures' columns
    if (top + kGridRowHeight <= kCaptionColumnBottom || f[kCellB] || f[kCellRSquared])
        return {4200, top, 1980, kGridRowHeight};
    // Below the captions' column: across the b and r² columns, which a smoother leaves free.
    return {7200, top, 1860, kGridRowHeight};
}

std::vector<GridRow> rowsApart(std::span<const FitMethod> methods, double apart)
{
    std::vector<GridRow> rows;
    for (std::size_t m = 0; m < methods.size(); ++m) {
        double top = kFirstRowTop;
        if (m > 0) {
            const FitMethod& previous = methods[m - 1];
            const bool grouped = previous.group && methods[m].group &&
                                 std::string_view(previous.group) == methods[m].group;
            const double step = !grouped ? apart : methods[m].caption ? kInGroup : kToDegreeBox;
            const double raise = top - captionAt(methods[m], top).top;
            top = std::max(rows.back().top + step, rows.back().bottom() + kMinimumGap + raise);
        }
        rows.push_back({top, captionAt(methods[m], top)});
    }
    return rows;
}

}  // namespace

const GridColumn& gridColumn(int cell) { return kColumns[cell]; }

std::vector<GridRow> gridRows(std::span<const FitMethod> methods)
{
    std::vector<GridRow> rows;
    for (const double apart : kApart) {
        rows = rowsApart(methods, apart);
        if (rows.empty() || rows.back().bottom() + kBottomMargin <= kDesignedClientHeight)
            break;
    }
    return rows;
}

double designedHeightFor(const std::vector<GridRow>& rows)
{
    return rows.empty() ? kDesignedClientHeight
                        : std::max(kDesignedClientHeight, rows.back().bottom() + kBottomMargin);
}

TwipsRect groupHeading(const GridRow& first) { return {7080, first.top + 330, 1200, 435}; }

double looColumnLeft() { return 10560; }
double showColumnLeft() { return 10680 + kLooColumnWidth; }
double exportColumnLeft() { return 11160 + kLooColumnWidth; }

}  // namespace kalibrix
