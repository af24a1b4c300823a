#pragma once

#include "app/startup.h"
#include "fit/method_table.h"
#include "model/data_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
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
    return std::move(*started.state);
}

// The position of the method called `name` in the method table.
inline std::size_t method(std::string_view name)
{
    if (const std::optional<std::size_t> m = methodNamed(name))
        return *m;
    throw std::invalid_argument("no method " + std::string(name));
}

}  // namespace kalibrix::test
