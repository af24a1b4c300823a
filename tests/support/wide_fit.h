#pragma once

// Least squares in long double, by other means than the program's: the reference its fits
// and uncertainties are checked against.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace kalibrix::test {

using Wide = long double;

// Solves g z = rhs in place (Gaussian elimination with partial pivoting).
inline std::vector<Wide> solve(std::vector<std::vector<Wide>> g, std::vector<Wide> rhs)
{
    const std::size_t n = rhs.size();
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t pivot = k;
        for (std::size_t i = k + 1; i < n; ++i)
            if (std::abs(g[i][k]) > std::abs(g[pivot][k]))
                pivot = i;
        std::swap(g[k], g[pivot]);
        std::swap(rhs[k], rhs[pivot]);
        for (std::size_t i = k + 1; i < n; ++i) {
            const Wide f = g[i][k] / g[k][k];
            for (std::size_t j = k; j < n; ++j)
                g[i][j] -= f * g[k][j];
            rhs[i] -= f * rhs[k];
        }
    }
    std::vector<Wide> z(n);
    for (std::size_t i = n; i-- > 0;) {
        Wide s = rhs[i];
        for (std::size_t j = i + 1; j < n; ++j)
            s -= g[i][j] * z[j];
        z[i] = s / g[i][i];
    }
    return z;
}

// The weighted least-squares polynomial of degree m in t through (t, y) with weights w, by
// the normal equations in long double in u = (t - mid) / half: its coefficients in u, and
// the leverage phi(t)' G^-1 phi(t) at any t.
struct WideFit {
    Wide mid, half;
    std::vector<std::vector<Wide>> gram;
    std::vector<Wide> coef;
    std::vector<Wide> powers(Wide t) const
    {
        std::vector<Wide> p(coef.size(), 1);
        for (std::size_t j = 1; j < p.size(); ++j)
            p[j] = p[j - 1] * (t - mid) / half;
        return p;
    }
    Wide value(Wide t) const
    {
        const std::vector<Wide> p = powers(t);
        Wide v = 0;
        for (std::size_t j = 0; j < p.size(); ++j)
            v += coef[j] * p[j];
        return v;
    }
    Wide leverage(Wide t) const
    {
        const std::vector<Wide> p = powers(t);
        const std::vector<Wide> z = solve(gram, p);
        Wide h = 0;
        for (std::size_t j = 0; j < p.size(); ++j)
            h += p[j] * z[j];
        return h;
    }
};

inline WideFit wideFit(const std::vector<Wide>& t, const std::vector<double>& y,
                       const std::vector<Wide>& w, int m)
{
    WideFit f;
    const auto [lo, hi] = std::minmax_element(t.begin(), t.end());
    f.mid = (*lo + *hi) / 2;
    f.half = (*hi - *lo) / 2;
    const std::size_t p = static_cast<std::size_t>(m) + 1;
    f.coef.assign(p, 0);
    f.gram.assign(p, std::vector<Wide>(p, 0));
    std::vector<Wide> rhs(p, 0);
    for (std::size_t i = 0; i < t.size(); ++i) {
        const std::vector<Wide> u = f.powers(t[i]);
        for (std::size_t j = 0; j < p; ++j) {
            rhs[j] += w[i] * u[j] * y[i];
            for (std::size_t k = 0; k < p; ++k)
                f.gram[j][k] += w[i] * u[j] * u[k];
        }
    }
    f.coef = solve(f.gram, rhs);
    return f;
}

inline ::testing::AssertionResult relativelyNear(std::optional<double> actual, Wide expected,
                                                 Wide tolerance)
{
    if (actual && std::abs(*actual - expected) <= tolerance * std::abs(expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << ::testing::PrintToString(actual) << " against " << static_cast<double>(expected);
}

}  // namespace kalibrix::test
