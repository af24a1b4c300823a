#include "regwin/rejection.h"

#include <cmath>

namespace kalibrix {

namespace {

constexpr Rgb kRejectedRed{255, 0, 0};

}  // namespace

int pict1_MouseDown(State& state, MouseButton button, double x, double y)
{
    if (button != MouseButton::Left)
        return 0;
    DataTable& t = state.table();
    PlotDisplay& plot = state.plot;
    const double w = kHitWindow * plot.pict1Scale.width;
    const double h = kHitWindow * std::abs(plot.pict1Scale.height);
    int flipped = 0;
    // X = 0 holds no standard ("Restore all data" covers X = 1 to nData).
    for (int px = 1; px <= t.nData; ++px) {
        if (!t.y[px] || *t.y[px] <= 0)
            continue;
        const double py = plot.toPict1Y(*t.y[px]);
        if (!(x - w < px && px < x + w) || !(y - h < py && py < y + h))
            continue;
        const PointF lo{px - plot.markDX, py - plot.markDY};
        const PointF hi{px + plot.markDX, py + plot.markDY};
        if (t.rejFlag[px] < 1) {
            plot.pict1.addRect(lo, hi, kRejectedRed);
            t.rejFlag[px] = 1;
        } else {
            plot.pict1.addRect(lo, hi, std::nullopt);
            t.rejFlag[px] = 0;
        }
        ++flipped;
    }
    return flipped;
}

void restoreAllData(State& state)
{
    DataTable& t = state.table();
    for (int x = 1; x <= t.nData; ++x)
        t.rejFlag[x] = 0;
}

}  // namespace kalibrix
