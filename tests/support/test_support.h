#pragma once

#include "startup/startup.h"
#include "engine/data_stat.h"
#include "engine/method_table.h"
#include "model/data_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace kalibrix::test {

// A two-column table with the given (X, Y) points; nData and nY as an import would set them.
inline DataTable tableOf(std::initializer_list<std::pair<int, double>> points)
{
    DataTable t;
    for (auto [x, y] : points) {
        t.y[x] = y;
        t.nData = std::max(t.nData, x);
        t.nY += y > 0;
    }
    return t;
}

// The state right after start-up and the window's set-up: the shipped t table, the
// demonstration table and the 95 % level.
inline State startedState()
{
    StartUp started = Main(KALIBRIX_BIN_DIR);
    if (!started.state)
        throw std::runtime_error(started.error);
    started.state->settings.level = kDefaultLevel;
    // The methods the tests were written with, whatever the window shows at start.
    for (const FitMethod& method : fitMethods()) {
        const std::string_view name = method.name;
        started.state->settings.show[method.name] =
            method.alwaysFitted || name == "log" || name == "poly2" || name == "zigzag" ? kTicked
                                                                                        : kUnticked;
    }
    return std::move(*started.state);
}

// The student table of the started state, read once.
inline const StudentTable& student()
{
    static const State state = startedState();
    return state.student;
}

// A method's input on `table`: its statistics over all data, the settings at the 95 % level,
// weighted by the errors of Y or not, the chosen degree 6.
struct Standards {
    DataTable table;
    DataStats stats;
    Settings settings = defaultSettings();
    explicit Standards(DataTable t, bool weighted = false)
        : table(std::move(t)), stats(computeDataStats(table, true))
    {
        settings.level = kDefaultLevel;
        settings.weightByErrors = weighted;
        settings.degreeText = "6";
    }
    FitInput input() const { return {table, stats, student(), settings}; }
};

// Deterministic uniform numbers in [0, 1) or [-1, 1) (splitmix64) and normal ones (Box-Muller).
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    double uniform()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1.0p-53;
    }
    double signedUniform() { return 2 * uniform() - 1; }
    int between(int low, int high) { return low + static_cast<int>(uniform() * (high - low + 1)); }
    double normal()
    {
        const double u = 1 - uniform();
        return std::sqrt(-2 * std::log(u)) * std::cos(2 * std::numbers::pi * uniform());
    }

private:
    std::uint64_t m_state;
};

// The position of the method called `name` in the method table.
inline std::size_t method(std::string_view name)
{
    if (const std::optional<std::size_t> m = methodNamed(name))
        return *m;
    throw std::invalid_argument("no method " + std::string(name));
}

}  // namespace kalibrix::test
