#pragma once

#include "app/startup.h"
#include "fit/method_table.h"
#include "model/data_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>

namespace kalibrix::test {

// Relative closeness for reference figures quoted to a few significant digits.
inline ::testing::AssertionResult nearRel(const std::optional<double>& actual, double expected,
                                          double relTol)
{
    if (actual && std::abs(*actual - expected) <= relTol * std::abs(expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << ::testing::PrintToString(actual) << " is not " << expected;
}

// A two-column table with the given (X, Y) points; nData and nY as an import would set them.
DataTable tableOf(std::initializer_list<std::pair<int, double>> points);

// The state right after start-up and the window's set-up: the shipped t table, the
// demonstration table and the 95 % level.
State startedState();

// The position of the method called `name` in the method table.
std::size_t method(std::string_view name);

}  // namespace kalibrix::test
