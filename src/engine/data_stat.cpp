#include "engine/data_stat.h"

namespace kalibrix {

DataStats computeDataStats(const DataTable& table, bool allData)
{
    DataStats s;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.hasValue(x))
            continue;
        if (table.isFitted(x))
            ++s.nOK;
        if (!allData && !table.inUse(x))
            continue;
        const double y = *table.y[x];
        if (s.firstX == 0)
            s.firstX = x;
        if (y > s.yMax)
            s.yMax = y;
        if (y < s.yMin)
            s.yMin = y;
    }
    return s;
}

}  // namespace kalibrix
