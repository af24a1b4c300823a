#include "support/test_support.h"

#include <stdexcept>

namespace kalibrix {

void PrintTo(const StatLabels& l, std::ostream* os)
{
    for (const std::string& s : {l.lblNData, l.lblnDataOK, l.lblRej, l.lbl_LRa, l.lbl_LRb,
                                 l.lbl_LRr, l.lblDiff, l.lblDiffProc, l.lbl_LoRa, l.lbl_LoRb,
                                 l.lbl_LoRr, l.lblDiffLog, l.lblDiffProcLog})
        *os << '"' << s << "\" ";
    for (int slot = 1; slot <= kPolySlots; ++slot)
        *os << slot << ":\"" << l.lblDiffPoly[slot] << "\",\"" << l.lblDiffProcPoly[slot] << "\" ";
    *os << "Label2 \"" << l.Label2 << '"';
}

}  // namespace kalibrix

namespace kalibrix::test {

DataTable tableOf(std::initializer_list<std::pair<int, double>> points)
{
    DataTable t;
    for (auto [x, y] : points) {
        t.y[x] = y;
        if (x > t.nData)
            t.nData = x;
        if (y > 0)
            ++t.nY;
    }
    return t;
}

State startedState()
{
    StartUp started = Main(KALIBRIX_BIN_DIR);
    if (!started.state)
        throw std::runtime_error(started.error);
    started.state->probCol = 3;
    return std::move(*started.state);
}

}  // namespace kalibrix::test
