#include "engine/smoothing_spline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kalibrix {

namespace {

// The banded pieces of one spline: Q by its three entries of column c (rows c, c+1, c+2),
// and the factors L D L' of B.
struct Bands {
    std::size_t n = 0, m = 0;  // points, inner points
    std::vector<double> h, q0, q1, q2;
    // The bands of R and of Q' W^-1 Q: (c, c), (c, c+1), (c, c+2) at c.
    std::vector<double> r0, r1, m0, m1, m2;
    std::vector<double> d, l1, l2;  // D[c], L(c, c-1), L(c, c-2)

    double q(std::size_t row, std::size_t c) const
    {
        switch (row - c) {
        case 0:
            return q0[c];
        case 1:
            return q1[c];
        default:
            return q2[c];
        }
    }
};

// The columns of Q with an entry in `row`: c from first to last.
void columnsOf(std::size_t row, std::size_t m, std::size_t& first, std::size_t& last)
{
    first = row >= 2 ? row - 2 : 0;
    last = std::min(row, m - 1);
}

// The central bands 0..width (width 2 or 3) of the inverse of L D L', L unit lower with the
// bands l1 (L(c, c-1) at c) and l2 (L(c, c-2) at c; empty for a tridiagonal matrix):
// Takahashi's recurrence, from the last row up. s[k][i] is the inverse's (i, i + k).
void inverseBands(const std::vector<double>& d, const std::vector<double>& l1,
                  const std::vector<double>& l2, std::size_t width,
                  std::vector<std::vector<double>>& s)
{
    const std::size_t m = d.size();
    s.resize(width + 1);
    for (auto& band : s)
        band.assign(m + 3, 0.0);  // zeros past the end stand for the entries beyond
    const bool penta = !l2.empty();
    for (std::size_t i = m; i-- > 0;) {
        const double a = i + 1 < m ? l1[i + 1] : 0.0;
        const double b = penta && i + 2 < m ? l2[i + 2] : 0.0;
        // inverse(i, i + k) = [k == 0] / d_i - a inverse(i + 1, i + k) - b inverse(i + 2, i + k)
        if (width >= 3)
            s[3][i] = -a * s[2][i + 1] - b * s[1][i + 2];
        s[2][i] = -a * s[1][i + 1] - b * s[0][i + 2];
        s[1][i] = -a * s[0][i + 1] - b * s[1][i + 1];
        s[0][i] = 1 / d[i] - a * s[1][i] - b * s[2][i];
    }
}

// Factorises B = R + lambda Q' W^-1 Q as L D L' and solves L z = Q' y. False when the
// factorisation fails.
bool factor(Bands& b, std::span<const double> y, double lambda, std::vector<double>& z)
{
    const std::size_t m = b.m;
    b.d.resize(m);
    b.l1.resize(m + 1);
    b.l2.resize(m + 2);
    z.resize(m);
    b.l1[0] = 0;
    b.l2[0] = 0;
    b.l2[1] = 0;
    if (m >= 1)
        b.l1[m] = 0;
    if (m >= 2)
        b.l2[m] = 0;
    b.l2[m + 1] = 0;
    double d1 = 0, d2 = 0;  // D of the two columns before
    double z1 = 0, z2 = 0;  // z of the two columns before
    for (std::size_t c = 0; c < m; ++c) {
        const double l1 = b.l1[c], l2 = b.l2[c];
        const double b0 = b.r0[c] + lambda * b.m0[c] - l1 * l1 * d1 - l2 * l2 * d2;
        if (!(b0 > 0) || !std::isfinite(b0))
            return false;
        b.d[c] = b0;
        const double inverse = 1 / b0;
        if (c + 1 < m)
            b.l1[c + 1] = (b.r1[c] + lambda * b.m1[c] - b.l2[c + 1] * l1 * d1) * inverse;
        if (c + 2 < m)
            b.l2[c + 2] = lambda * b.m2[c] * inverse;
        const double v =
            (y[c] * b.q0[c] + y[c + 1] * b.q1[c] + y[c + 2] * b.q2[c]) - l1 * z1 - l2 * z2;
        z[c] = v;
        z2 = z1;
        z1 = v;
        d2 = d1;
        d1 = b0;
    }
    return true;
}

// The spline's fitted values, second derivatives and leverages from the factors, and the
// bands 0..width of B^-1.
void fitFromFactors(const Bands& b, std::span<const double> y, std::span<const double> w,
                    double lambda, std::vector<double>& g, std::vector<double>& inner,
                    std::vector<double>& h, std::vector<std::vector<double>>& sigma,
                    std::size_t width)
{
    const std::size_t n = b.n, m = b.m;
    // gamma = B^-1 Q' y, inner holding z.
    for (std::size_t c = m; c-- > 0;) {
        double v = inner[c] / b.d[c];
        if (c + 1 < m)
            v -= b.l1[c + 1] * inner[c + 1];
        if (c + 2 < m)
            v -= b.l2[c + 2] * inner[c + 2];
        inner[c] = v;
    }
    inverseBands(b.d, b.l1, b.l2, width, sigma);
    g.resize(n);
    h.resize(n);
    for (std::size_t r = 0; r < n; ++r) {
        // Row r of Q has the entries q2[r-2], q1[r-1], q0[r] (those of existing columns).
        double qg = 0, qsq = 0;
        double e[3] = {0, 0, 0};
        std::size_t col[3] = {0, 0, 0};
        int k = 0;
        if (r >= 2 && r - 2 < m) {
            e[k] = b.q2[r - 2];
            col[k++] = r - 2;
        }
        if (r >= 1 && r - 1 < m) {
            e[k] = b.q1[r - 1];
            col[k++] = r - 1;
        }
        if (r < m) {
            e[k] = b.q0[r];
            col[k++] = r;
        }
        for (int i = 0; i < k; ++i) {
            qg += e[i] * inner[col[i]];
            qsq += e[i] * e[i] * sigma[0][col[i]];
            for (int j = i + 1; j < k; ++j)
                qsq += 2 * e[i] * e[j] * sigma[col[j] - col[i]][col[i]];
        }
        g[r] = y[r] - lambda * qg / w[r];
        h[r] = 1 - lambda * qsq / w[r];
    }
}

// The weighted mean square of the leave-one-out residuals (y_i - g_i) / (1 - h_ii) of the
// spline whose factors b holds, z solving L z = Q' y: one pass from the last column up that
// finds gamma, the three central bands of B^-1 and, as soon as a row's columns are done, its
// fitted value and leverage, keeping three rows of each. Infinity where a leverage leaves
// nothing to predict a point by, or where the effective degrees of freedom exceed n - 1.
double looCriterion(const Bands& b, std::span<const double> w, double lambda,
                    const std::vector<double>& z)
{
    const std::size_t m = b.m;
    // Rows c, c + 1, c + 2 at [0], [1], [2]: gamma, inverse(c, c), (c, c+1), (c, c+2).
    double gamma[3] = {0, 0, 0}, s0[3] = {0, 0, 0}, s1[3] = {0, 0, 0}, s2[3] = {0, 0, 0};
    double sum = 0, weight = 0, edf = 0;
    bool finite = true;
    // Row r, once the columns r - 2 .. r it has are in the window at column c = r - 2 (its
    // entries q2[c], q1[c+1], q0[c+2] at window places 0, 1, 2), or at column 0 for the
    // first two rows. An entry of a column beyond the last is 0.
    auto row = [&](std::size_t r, std::size_t c) {
        double e[3] = {0, 0, 0};
        for (std::size_t col = r >= 2 ? r - 2 : 0; col <= r && col < m; ++col)
            e[col - c] = b.q(r, col);
        const double qg = e[0] * gamma[0] + e[1] * gamma[1] + e[2] * gamma[2];
        const double qsq = e[0] * e[0] * s0[0] + e[1] * e[1] * s0[1] + e[2] * e[2] * s0[2] +
                           2 * (e[0] * e[1] * s1[0] + e[1] * e[2] * s1[1] + e[0] * e[2] * s2[0]);
        const double rest = lambda * qsq / w[r];  // 1 - h_rr
        if (!(rest > 1e-9)) {
            finite = false;
            return;
        }
        edf += 1 - rest;
        const double residual = lambda * qg / w[r] / rest;  // (y_r - g_r) / (1 - h_rr)
        sum += w[r] * residual * residual;
        weight += w[r];
    };
    for (std::size_t c = m; c-- > 0;) {
        const double a = c + 1 < m ? b.l1[c + 1] : 0.0;
        const double bb = c + 2 < m ? b.l2[c + 2] : 0.0;
        const double g = z[c] / b.d[c] - a * gamma[0] - bb * gamma[1];
        const double n2 = -a * s1[0] - bb * s0[1];
        const double n1 = -a * s0[0] - bb * s1[0];
        const double n0 = 1 / b.d[c] - a * n1 - bb * n2;
        for (int k = 2; k > 0; --k) {
            gamma[k] = gamma[k - 1];
            s0[k] = s0[k - 1];
            s1[k] = s1[k - 1];
            s2[k] = s2[k - 1];
        }
        gamma[0] = g;
        s0[0] = n0;
        s1[0] = n1;
        s2[0] = n2;
        row(c + 2, c);
    }
    row(1, 0);
    row(0, 0);
    // A curve all but through every point leaves no degree of freedom for its scatter.
    const double criterion = sum / weight;
    return finite && std::isfinite(criterion) && edf <= static_cast<double>(b.n) - 1
               ? criterion
               : std::numeric_limits<double>::infinity();
}

// Q and R of the points x and the bands of Q' W^-1 Q (false where two x are not increasing).
bool secondDifferences(std::span<const double> x, std::span<const double> w, Bands& b)
{
    const std::size_t n = x.size();
    b.n = n;
    b.m = n - 2;
    b.h.resize(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        b.h[i] = x[i + 1] - x[i];
        if (!(b.h[i] > 0))
            return false;
    }
    b.q0.resize(b.m);
    b.q1.resize(b.m);
    b.q2.resize(b.m);
    for (std::size_t c = 0; c < b.m; ++c) {
        b.q0[c] = 1 / b.h[c];
        b.q2[c] = 1 / b.h[c + 1];
        b.q1[c] = -b.q0[c] - b.q2[c];
    }
    b.r0.resize(b.m);
    b.r1.assign(b.m, 0.0);
    b.m0.resize(b.m);
    b.m1.assign(b.m, 0.0);
    b.m2.assign(b.m, 0.0);
    for (std::size_t c = 0; c < b.m; ++c) {
        b.r0[c] = (b.h[c] + b.h[c + 1]) / 3;
        b.m0[c] =
            b.q0[c] * b.q0[c] / w[c] + b.q1[c] * b.q1[c] / w[c + 1] + b.q2[c] * b.q2[c] / w[c + 2];
        if (c + 1 < b.m) {
            b.r1[c] = b.h[c + 1] / 6;
            b.m1[c] = b.q1[c] * b.q0[c + 1] / w[c + 1] + b.q2[c] * b.q1[c + 1] / w[c + 2];
        }
        if (c + 2 < b.m)
            b.m2[c] = b.q2[c] * b.q0[c + 2] / w[c + 2];
    }
    return true;
}

}  // namespace

std::optional<SmoothingSpline> SmoothingSpline::fit(std::span<const double> x,
                                                    std::span<const double> y,
                                                    std::span<const double> w, double lambda)
{
    const std::size_t n = x.size();
    if (n < 3 || y.size() != n || w.size() != n || !(lambda > 0) || !std::isfinite(lambda))
        return std::nullopt;
    Bands b;
    if (!secondDifferences(x, w, b))
        return std::nullopt;
    const std::size_t m = b.m;
    SmoothingSpline s;
    std::vector<double> inner;
    std::vector<std::vector<double>> sigma;  // the bands 0..3 of B^-1
    if (!factor(b, y, lambda, inner))
        return std::nullopt;
    fitFromFactors(b, y, w, lambda, s.m_g, inner, s.m_h, sigma, 3);
    s.m_lambda = lambda;
    s.m_x.assign(x.begin(), x.end());
    s.m_gamma.assign(n, 0.0);
    std::copy(inner.begin(), inner.end(), s.m_gamma.begin() + 1);

    // The bands 0..1 of R^-1.
    std::vector<double> e(m), k1(m + 1, 0.0);
    for (std::size_t c = 0; c < m; ++c) {
        e[c] = (b.h[c] + b.h[c + 1]) / 3 - (c >= 1 ? k1[c] * k1[c] * e[c - 1] : 0.0);
        if (c + 1 < m)
            k1[c + 1] = b.h[c + 1] / 6 / e[c];
    }
    std::vector<std::vector<double>> rInverse;
    inverseBands(e, k1, {}, 2, rInverse);
    auto sig = [&sigma, m](std::size_t i, std::size_t j) {
        const std::size_t lo = std::min(i, j), k = std::max(i, j) - lo;
        return k <= 3 && lo + k < m ? sigma[k][lo] : 0.0;
    };
    // (Q Sigma Q')(r, s) for |r - s| <= 1.
    auto qsq = [&](std::size_t r, std::size_t s2) {
        std::size_t f1 = 0, l1 = 0, f2 = 0, l2 = 0;
        columnsOf(r, m, f1, l1);
        columnsOf(s2, m, f2, l2);
        double v = 0;
        for (std::size_t c = f1; c <= l1; ++c)
            for (std::size_t c2 = f2; c2 <= l2; ++c2)
                v += b.q(r, c) * sig(c, c2) * b.q(s2, c2);
        return v;
    };
    // Cov(g_r, gamma_k) = (W^-1 Q Sigma)(r, k - 1) for an inner k; 0 at the ends.
    auto covGC = [&](std::size_t r, std::ptrdiff_t k) {
        if (k < 1 || k > static_cast<std::ptrdiff_t>(m))
            return 0.0;
        const auto c = static_cast<std::size_t>(k - 1);
        std::size_t first = 0, last = 0;
        columnsOf(r, m, first, last);
        double v = 0;
        for (std::size_t c2 = first; c2 <= last; ++c2)
            v += b.q(r, c2) * sig(c2, c);
        return v / w[r];
    };
    auto covCC = [&](std::size_t k, std::size_t l) {
        if (k < 1 || l < 1 || k > m || l > m)
            return 0.0;
        const std::size_t lo = std::min(k, l) - 1, d = std::max(k, l) - 1 - lo;
        return (rInverse[d][lo] - sig(lo, lo + d)) / lambda;
    };
    s.m_varG.resize(n);
    s.m_covGG.assign(n, 0.0);
    s.m_varC.resize(n);
    s.m_covCC.assign(n, 0.0);
    s.m_covGCm.resize(n);
    s.m_covGC0.resize(n);
    s.m_covGCp.resize(n);
    s.m_edf = 0;
    for (std::size_t r = 0; r < n; ++r) {
        s.m_edf += s.m_h[r];
        s.m_varG[r] = s.m_h[r] / w[r];
        if (r + 1 < n) {
            s.m_covGG[r] = -lambda * qsq(r, r + 1) / (w[r] * w[r + 1]);
            s.m_covCC[r] = covCC(r, r + 1);
        }
        s.m_varC[r] = covCC(r, r);
        const auto k = static_cast<std::ptrdiff_t>(r);
        s.m_covGCm[r] = covGC(r, k - 1);
        s.m_covGC0[r] = covGC(r, k);
        s.m_covGCp[r] = covGC(r, k + 1);
    }
    for (double v : s.m_g)
        if (!std::isfinite(v))
            return std::nullopt;
    if (!std::isfinite(s.m_edf))
        return std::nullopt;
    return s;
}

std::size_t SmoothingSpline::interval(double t) const
{
    const std::size_t n = m_x.size();
    const auto it = std::upper_bound(m_x.begin(), m_x.end(), t);
    const std::size_t after = static_cast<std::size_t>(it - m_x.begin());
    return std::clamp<std::size_t>(after == 0 ? 0 : after - 1, 0, n - 2);
}

void SmoothingSpline::weightsAt(double t, std::size_t i, double c[4]) const
{
    const double hi = m_x[i + 1] - m_x[i];
    if (t < m_x.front()) {  // straight on with the slope at the first point
        const double d = t - m_x[0];
        c[0] = 1 - d / hi;
        c[1] = d / hi;
        c[2] = 0;
        c[3] = -d * hi / 6;
        return;
    }
    if (t > m_x.back()) {  // and at the last
        const double d = t - m_x[i + 1];
        c[0] = -d / hi;
        c[1] = 1 + d / hi;
        c[2] = d * hi / 6;
        c[3] = 0;
        return;
    }
    const double a = t - m_x[i], bb = m_x[i + 1] - t;
    c[0] = bb / hi;
    c[1] = a / hi;
    c[2] = -a * bb / 6 * (1 + bb / hi);
    c[3] = -a * bb / 6 * (1 + a / hi);
}

double SmoothingSpline::value(double t) const
{
    const std::size_t i = interval(t);
    double c[4];
    weightsAt(t, i, c);
    return c[0] * m_g[i] + c[1] * m_g[i + 1] + c[2] * m_gamma[i] + c[3] * m_gamma[i + 1];
}

double SmoothingSpline::variance(double t) const
{
    const std::size_t i = interval(t);
    double c[4];
    weightsAt(t, i, c);
    // The covariance of (g_i, g_(i+1), gamma_i, gamma_(i+1)).
    const double cov[4][4] = {
        {m_varG[i], m_covGG[i], m_covGC0[i], m_covGCp[i]},
        {m_covGG[i], m_varG[i + 1], m_covGCm[i + 1], m_covGC0[i + 1]},
        {m_covGC0[i], m_covGCm[i + 1], m_varC[i], m_covCC[i]},
        {m_covGCp[i], m_covGC0[i + 1], m_covCC[i], m_varC[i + 1]},
    };
    double v = 0;
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            v += c[r] * cov[r][k] * c[k];
    return std::max(v, 0.0);
}

namespace {}  // namespace

std::optional<SmoothingSpline> smoothingSplineByLeaveOneOut(std::span<const double> x,
                                                            std::span<const double> y,
                                                            std::span<const double> w)
{
    const std::size_t n = x.size();
    if (n < 4)
        return std::nullopt;
    Bands bands;
    if (!secondDifferences(x, w, bands))
        return std::nullopt;
    // The lambda at which roughness and fit weigh alike: trace R over trace Q' W^-1 Q.
    double traceR = 0, traceM = 0;
    for (std::size_t c = 0; c < bands.m; ++c) {
        traceR += bands.r0[c];
        traceM += bands.m0[c];
    }
    const double base = traceR / traceM;
    if (!(base > 0) || !std::isfinite(base))
        return std::nullopt;
    std::vector<double> z;
    double bestCriterion = std::numeric_limits<double>::infinity();
    std::optional<double> bestLog;
    auto tryAt = [&](double logLambda) {
        const double lambda = base * std::pow(10.0, logLambda);
        if (!factor(bands, y, lambda, z))
            return std::numeric_limits<double>::infinity();
        const double c = looCriterion(bands, w, lambda, z);
        if (c < bestCriterion) {
            bestCriterion = c;
            bestLog = logLambda;
        }
        return c;
    };
    // From close to the curve through every point (1e-3) to close to the straight line (1e9).
    constexpr double kLowest = -3, kHighest = 9, kStep = 0.5;
    for (double l = kLowest; l <= kHighest; l += kStep)
        tryAt(l);
    if (!bestLog)
        return std::nullopt;
    // Golden section within a step of the best grid point.
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double lo = std::max(kLowest, *bestLog - kStep), hi = std::min(kHighest, *bestLog + kStep);
    double a = hi - ratio * (hi - lo), bb = lo + ratio * (hi - lo);
    double fa = tryAt(a), fb = tryAt(bb);
    for (int step = 0; step < 10; ++step) {
        if (fa <= fb) {
            hi = bb;
            bb = a;
            fb = fa;
            a = hi - ratio * (hi - lo);
            fa = tryAt(a);
        } else {
            lo = a;
            a = bb;
            fa = fb;
            bb = lo + ratio * (hi - lo);
            fb = tryAt(bb);
        }
    }
    return SmoothingSpline::fit(x, y, w, base * std::pow(10.0, *bestLog));
}

}  // namespace kalibrix
