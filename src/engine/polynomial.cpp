#include "engine/polynomial.h"

#include "engine/finite.h"
#include "engine/fixed_count.h"
#include "engine/leave_one_out.h"
#include "engine/uncertainty.h"
#include "engine/weights.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace kalibrix {

namespace {

// The loops over the degree below take it at compile time.
template <class F>
void withDegree(int m, F&& f)
{
    withFixedCount<kMaxPolyDegree>(m, std::forward<F>(f));
}

// Writes the point sums of the normal equations of degree M into `a`: row 1 (the powers
// x^1 .. x^M), column M+1 of rows 2..M+1 (x^(M+1) .. x^(2M)) and the right-hand side
// column M+2 (y x^0 .. y x^M), with y = Y * yFactor. Each power is the running product
// p = p * x from 1, each sum adds the points in their order. Returns the largest |Y|.
// Weighted, each point's terms are multiplied by its weight w[k] and a(1, 1) is their sum.
template <int M, bool Weighted = false>
double gatherSums(std::span<const double> x, std::span<const double> y, double yFactor,
                  GaussMatrix& a, std::span<const double> w = {})
{
    double row1[M + 2] = {};
    double rhs[M + 2] = {};
    double last[M + 2] = {};
    double maxAbsY = 0;
    double weightSum = 0;
    const std::size_t n = x.size();
    for (std::size_t k = 0; k < n; ++k) {
        const double xk = x[k];
        const double yk = y[k] * yFactor;
        maxAbsY = std::max(maxAbsY, std::abs(y[k]));
        double p = 1;
        if constexpr (Weighted) {
            const double wk = w[k];
            weightSum += wk;
            rhs[1] += wk * yk;
#pragma GCC unroll 32
            for (int j = 2; j <= M + 1; ++j) {
                p = p * xk;
                row1[j] += wk * p;
                rhs[j] += wk * p * yk;
            }
#pragma GCC unroll 32
            for (int j = 2; j <= M + 1; ++j) {
                p = p * xk;
                last[j] += wk * p;
            }
            continue;
        }
        rhs[1] += yk;
#pragma GCC unroll 32
        for (int j = 2; j <= M + 1; ++j) {
            p = p * xk;
            row1[j] += p;
            rhs[j] += p * yk;
        }
#pragma GCC unroll 32
        for (int j = 2; j <= M + 1; ++j) {
            p = p * xk;
            last[j] += p;
        }
    }
    if constexpr (Weighted)
        a(1, 1) = weightSum;
    a(1, M + 2) = rhs[1];
    for (int j = 2; j <= M + 1; ++j) {
        a(1, j) = row1[j];
        a(j, M + 2) = rhs[j];
        a(j, M + 1) = last[j];
    }
    return maxAbsY;
}

// Sum of (y - P(x))^2 over the points in their order, y = Y * yFactor, P by Horner's rule
// from b[M + 1] down to b[1]; with Weighted, in the same pass, the sum of w * (y - P(x))^2
// for the weights w = (unit / err)^2 (zero otherwise).
template <int M, bool Weighted>
std::pair<double, double> squaredResiduals(std::span<const double> x, std::span<const double> y,
                                           double yFactor, std::span<const double> w,
                                           const std::vector<double>& b)
{
    double c[M + 2];
    for (int j = 1; j <= M + 1; ++j)
        c[j] = b[static_cast<std::size_t>(j)];
    double sse = 0;
    double weightedSse = 0;
    const std::size_t n = x.size();
    for (std::size_t k = 0; k < n; ++k) {
        double f = c[M + 1];
#pragma GCC unroll 32
        for (int j = M; j >= 1; --j)
            f = f * x[k] + c[j];
        const double yk = y[k] * yFactor;
        sse += (yk - f) * (yk - f);
        if constexpr (Weighted)
            weightedSse += w[k] * ((yk - f) * (yk - f));
    }
    return {sse, weightedSse};
}

}  // namespace

bool gauss(GaussMatrix& a, std::vector<double>& b)
{
    const int n = a.size();
    b.assign(static_cast<size_t>(n + 1), 0.0);
    std::vector<int> perm(static_cast<size_t>(n + 1));
    std::vector<double> scale(static_cast<size_t>(n + 1));
    for (int i = 1; i <= n; ++i)
        perm[i] = i;
    for (int i = 1; i <= n; ++i) {
        double rowSum = 0;
        for (int j = 1; j <= n; ++j)
            rowSum += std::abs(a(i, j));
        if (rowSum == 0)
            return false;
        scale[i] = 1 / rowSum;
    }
    for (int k = 1; k <= n - 1; ++k) {
        double best = std::abs(a(k, k)) * scale[k];
        int r = k;
        int q = k;
        for (int i = k; i <= n; ++i)
            for (int j = k; j <= n; ++j)
                if (std::abs(a(i, j)) * scale[i] > best) {
                    r = i;
                    q = j;
                    best = std::abs(a(i, j)) * scale[i];
                }
        if (r != k) {
            for (int j = k; j <= n + 1; ++j)
                std::swap(a(k, j), a(r, j));
            std::swap(scale[k], scale[r]);
        }
        if (q != k) {
            for (int i = 1; i <= n; ++i)
                std::swap(a(i, k), a(i, q));
            std::swap(perm[k], perm[q]);
        }
        if (a(k, k) == 0)
            return false;
        for (int i = k + 1; i <= n; ++i) {
            const double f = a(i, k) / a(k, k);
            a(i, k) = 0;
            for (int j = k + 1; j <= n + 1; ++j)
                a(i, j) = a(i, j) - f * a(k, j);
        }
    }
    if (a(n, n) == 0)
        return false;
    b[perm[n]] = a(n, n + 1) / a(n, n);
    for (int i = n - 1; i >= 1; --i) {
        double t = a(i, n + 1);
        for (int j = i + 1; j <= n; ++j)
            t = t - a(i, j) * b[perm[j]];
        b[perm[i]] = t / a(i, i);
    }
    for (int i = 1; i <= n; ++i)
        if (!std::isfinite(b[i]))
            return false;
    return true;
}

double evaluatePolynomial(std::span<const double> coef, double x)
{
    double sum = 0;
    double power = 1;
    for (double c : coef) {
        sum += c * power;
        power *= x;
    }
    return sum;
}

void evaluatePolynomialAtIntegers(std::span<const double> coef, std::span<double> out)
{
    // Four X at a time: four independent chains of the very operations evaluatePolynomial
    // performs, so the processor overlaps them (named variables, so they stay in registers).
    const std::size_t n = out.size();
    std::size_t x = 0;
    for (; x + 4 <= n; x += 4) {
        const double x0 = static_cast<double>(x);
        const double x1 = static_cast<double>(x + 1);
        const double x2 = static_cast<double>(x + 2);
        const double x3 = static_cast<double>(x + 3);
        double sum0 = 0, sum1 = 0, sum2 = 0, sum3 = 0;
        double power0 = 1, power1 = 1, power2 = 1, power3 = 1;
        for (double c : coef) {
            sum0 += c * power0;
            sum1 += c * power1;
            sum2 += c * power2;
            sum3 += c * power3;
            power0 *= x0;
            power1 *= x1;
            power2 *= x2;
            power3 *= x3;
        }
        out[x] = sum0;
        out[x + 1] = sum1;
        out[x + 2] = sum2;
        out[x + 3] = sum3;
    }
    for (; x < n; ++x)
        out[x] = evaluatePolynomial(coef, static_cast<double>(x));
}

PolynomialFit Polynomial(std::span<const double> x, std::span<const double> y, int m,
                         std::span<const double> w, double unit)
{
    PolynomialFit fit;
    fit.degree = m;
    if (m < 0 || m > kMaxPolyDegree) {
        fit.outcome = PolyOutcome::DegreeOutOfRange;
        return fit;
    }
    const int n = static_cast<int>(x.size());
    if (n < m + 1) {
        fit.outcome = PolyOutcome::TooFewData;
        return fit;
    }

    // Normal equations: row 1 gathers the powers of x, column m+1 the highest powers of
    // each row, column m+2 the right-hand side; the rest follows from the Hankel form.
    // The fit is of Y / 2^e (so that the products y x^j and the squared residuals stay
    // within range for any Y), its coefficients and dsig scaled back; Y that need no
    // scaling (e = 0) are summed once.
    GaussMatrix a(m + 1);
    a(1, 1) = n;
    double maxAbsY = 0;
    const bool weighted = !w.empty();
    auto gather = [&](double yFactor) {
        withDegree(m, [&](auto degree) {
            maxAbsY = weighted ? gatherSums<degree(), true>(x, y, yFactor, a, w)
                               : gatherSums<degree()>(x, y, yFactor, a);
        });
    };
    gather(1.0);
    const int e = yScaleExponent(maxAbsY);
    const double yFactor = std::ldexp(1.0, -e);
    if (e != 0)
        gather(yFactor);
    for (int i = 2; i <= m + 1; ++i)
        for (int j = 1; j <= m; ++j)
            a(i, j) = a(i - 1, j + 1);

    std::vector<double> b;
    const GaussMatrix normal = a;
    if (!gauss(a, b)) {
        fit.outcome = PolyOutcome::Singular;
        return fit;
    }
    if (weighted) {
        // One step of refinement: the normal equations again with the weighted residuals
        // of the solution on the right, their solution added to it. It takes the solution
        // from the accuracy of the normal equations near that of the least-squares problem.
        GaussMatrix again = normal;
        withDegree(m, [&](auto degree) {
            constexpr int M = degree();
            double rhs[M + 2] = {};
            double c[M + 2];
            for (int j = 1; j <= M + 1; ++j)
                c[j] = b[static_cast<std::size_t>(j)];
            for (std::size_t k = 0; k < x.size(); ++k) {
                const double xk = x[k];
                double f = c[M + 1];
#pragma GCC unroll 32
                for (int j = M; j >= 1; --j)
                    f = f * xk + c[j];
                double term = w[k] * (y[k] * yFactor - f);
#pragma GCC unroll 32
                for (int j = 1; j <= M + 1; ++j) {
                    rhs[j] += term;
                    term *= xk;
                }
            }
            for (int j = 1; j <= M + 1; ++j)
                again(j, M + 2) = rhs[j];
        });
        std::vector<double> step;
        if (gauss(again, step))
            for (int i = 1; i <= m + 1; ++i)
                b[static_cast<std::size_t>(i)] += step[static_cast<std::size_t>(i)];
    }
    for (int i = 1; i <= m + 1; ++i) {
        const std::optional<double> c = scaledBack(b[i], e);
        if (!c) {
            fit.coef.clear();
            fit.outcome = PolyOutcome::Singular;
            return fit;
        }
        fit.coef.push_back(*c);
    }

    double sse = 0;
    withDegree(m, [&](auto degree) {
        if (!weighted) {
            sse = squaredResiduals<degree(), false>(x, y, yFactor, w, b).first;
            return;
        }
        const auto [plain, chi] = squaredResiduals<degree(), true>(x, y, yFactor, w, b);
        sse = plain;
        // w = (unit / err)^2: the weighted sum is in units of (unit / yUnit)^2.
        const double toY = std::ldexp(1.0, e) / unit;
        fit.chiSquare = finiteOrNone(chi * toY * toY);
    });
    if (n > 2)
        fit.dsig = scaledBack(std::sqrt(sse / (n - 2)), e);

    fit.outcome = PolyOutcome::Fitted;
    return fit;
}

std::optional<int> parseDegreeText(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    const auto last = text.find_last_not_of(" \t");
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+')
        ++begin;
    int value = 0;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

FitOutcome fitPolynomial(const FitInput& in, int degree, std::string_view degreeText)
{
    const DataTable& table = in.table;
    const bool weighted = weighsByErrors(in);
    std::vector<double> xs;
    std::vector<double> ys;
    xs.reserve(static_cast<std::size_t>(in.stats.nOK));
    ys.reserve(static_cast<std::size_t>(in.stats.nOK));
    for (int x = 1; x <= table.nData; ++x) {
        if (table.isFitted(x)) {
            xs.push_back(x);
            ys.push_back(*table.y[x]);
        }
    }
    std::shared_ptr<LooWorkspace> ws = weighted ? sharedWorkspace(in) : nullptr;
    PolynomialFit p = weighted ? Polynomial(xs, ys, degree, ws->weights(), ws->errorUnit())
                               : Polynomial(xs, ys, degree);
    switch (p.outcome) {
    case PolyOutcome::Fitted:
        break;
    case PolyOutcome::TooFewData:
        return {std::nullopt, FitWarning{FitWarning::Kind::TooFewData, 0, std::string(degreeText)}};
    case PolyOutcome::DegreeOutOfRange:
        return {std::nullopt,
                FitWarning{FitWarning::Kind::DegreeOutOfRange, 0, std::string(degreeText)}};
    case PolyOutcome::Singular:
        return {};
    }

    // A polynomial with a value beyond the doubles anywhere on the table has no result.
    std::vector<double> values(static_cast<std::size_t>(table.nData) + 1);
    evaluatePolynomialAtIntegers(p.coef, values);
    for (double v : values)
        if (!std::isfinite(v))
            return {};
    const double nOK = in.stats.nOK;
    double diff = 0;
    double diffProc = 0;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x))
            continue;
        const double d = std::abs(*table.y[x] - values[static_cast<std::size_t>(x)]);
        diff += d;
        diffProc += d / *table.y[x];
    }
    FitResult result;
    result.diff = finiteOrNone(diff / nOK);
    result.diffProc = finiteOrNone(100 * (diffProc / nOK));
    result.dsig = p.dsig;
    result.coef = std::move(p.coef);
    result.valueAt = [coef = result.coef](double x) {
        return finiteOrNone(evaluatePolynomial(coef, x));
    };
    result.weighted = weighted;
    // s^2 = SSE / (n - p) from dsig^2 = SSE / (n - 2).
    const int n = static_cast<int>(xs.size());
    std::optional<double> s;
    if (p.dsig && n > degree + 1)
        s = finiteOrNone(*p.dsig * std::sqrt(static_cast<double>(n - 2) / (n - degree - 1)));
    addLeastSquaresUncertainty(result, in, false, degree, s, p.chiSquare);
    return {std::move(result), std::nullopt};
}

FitOutcome fitChosenPolynomial(const FitInput& in)
{
    const std::string& text = in.settings.degreeText;
    const std::optional<int> degree = parseDegreeText(text);
    if (!degree)
        return {std::nullopt, FitWarning{FitWarning::Kind::DegreeOutOfRange, 0, text}};
    return fitPolynomial(in, *degree, text);
}

LooErrors looPolynomial(const FitInput& in, LooWorkspace& workspace, int degree)
{
    return leastSquaresLoo(in, workspace, false,
                           degree < 0 || degree > kMaxPolyDegree ? -1 : degree);
}

LooErrors looChosenPolynomial(const FitInput& in, LooWorkspace& workspace)
{
    const std::optional<int> degree = parseDegreeText(in.settings.degreeText);
    return looPolynomial(in, workspace, degree.value_or(-1));
}

}  // namespace kalibrix
