#include "fit/polynomial.h"

#include "fit/finite.h"

#include <cmath>
#include <utility>

namespace kalibrix {

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

PolynomialFit Polynomial(std::span<const double> x, std::span<const double> y, int m,
                         const NumberFormat& fmt)
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
    GaussMatrix a(m + 1);
    a(1, 1) = n;
    for (int k = 0; k < n; ++k) {
        const double xk = x[k];
        const double yk = y[k];
        double p = 1;
        a(1, m + 2) += yk;
        for (int j = 2; j <= m + 1; ++j) {
            p = p * xk;
            a(1, j) += p;
            a(j, m + 2) += p * yk;
        }
        for (int j = 2; j <= m + 1; ++j) {
            p = p * xk;
            a(j, m + 1) += p;
        }
    }
    for (int i = 2; i <= m + 1; ++i)
        for (int j = 1; j <= m; ++j)
            a(i, j) = a(i - 1, j + 1);

    std::vector<double> b;
    if (!gauss(a, b)) {
        fit.outcome = PolyOutcome::Singular;
        return fit;
    }
    fit.coef.assign(b.begin() + 1, b.end());

    double sse = 0;
    for (int k = 0; k < n; ++k) {
        double f = b[m + 1];
        for (int j = m; j >= 1; --j)
            f = f * x[k] + b[j];
        sse += (y[k] - f) * (y[k] - f);
    }
    if (n > 2)
        fit.dsig = finiteOrNone(std::sqrt(sse / (n - 2)));

    std::string text;
    for (int i = 1; i <= m + 1; ++i)
        text += "P" + std::to_string(i - 1) + " = " + fmt.general(b[i]) + "\r\n";
    text += "\r\n";
    text += "\r\ndsig=" + fmt.general(fit.dsig) + "\r\n";
    fit.parameterText = std::move(text);
    fit.outcome = PolyOutcome::Fitted;
    return fit;
}

}  // namespace kalibrix
