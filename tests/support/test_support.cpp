#include "support/test_support.h"

#include <stdexcept>

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
