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
    started.state->settings.level = kDefaultLevel;
    return std::move(*started.state);
}

std::size_t method(std::string_view name)
{
    const std::optional<std::size_t> m = methodNamed(name);
    if (!m)
        throw std::invalid_argument("no method " + std::string(name));
    return *m;
}

}  // namespace kalibrix::test
