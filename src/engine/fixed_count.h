#pragma once

#include <type_traits>
#include <utility>

namespace kalibrix {

// Calls f(std::integral_constant<int, N>{}) with N = n, for 0 <= n <= Max (nothing for other
// n), so that loops over n inside f have fixed lengths the compiler unrolls and their sums
// stay in registers.
template <int Max, class F>
void withFixedCount(int n, F&& f)
{
    [&]<int... Ns>(std::integer_sequence<int, Ns...>)
    {
        static_cast<void>(
            ((n == Ns ? (f(std::integral_constant<int, Ns>{}), true) : false) || ...));
    }
    (std::make_integer_sequence<int, Max + 1>{});
}

}  // namespace kalibrix
