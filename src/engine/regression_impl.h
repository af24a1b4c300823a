#pragma once

// Template body of fitLine, shared by the linear and the logarithmic regression.

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

namespace kalibrix {

namespace detail {

// A running sum that carries the rounding error of each addition along (Neumaier), so that
// its error does not grow with the number of terms.
struct CompensatedSum {
    double sum = 0;
    double carry = 0;

    void add(double v)
    {
        const double t = sum + v;
        carry += std::abs(sum) >= std::abs(v) ? (sum - t) + v : (v - t) + sum;
        sum = t;
    }
    double value() const { return sum + carry; }
};

// r from the sums over the points of the deviations dt = t - tMean and dy = y - yMean
// (the means as rounded): the sums of dt and dy take out what the rounding of the means
// puts in. r lies within [-1, 1]; beyond it by a few units in the last place it is
// rounding (compensated sums keep it there for any number of points) and is clamped, any
// further it is no result.
inline std::optional<double> correlation(double count, double dtSum, double dySum, double dtt,
                                         double dyy, double dty)
{
    const double stt = dtt - dtSum * dtSum / count;
    const double syy = dyy - dySum * dySum / count;
    const double sty = dty - dtSum * dySum / count;
    const double r = sty / std::sqrt(stt * syy);
    if (!std::isfinite(r))
        return std::nullopt;
    if (std::abs(r) <= 1)
        return r;
    if (std::abs(r) <= 1 + 4 * std::numeric_limits<double>::epsilon())
        return std::copysign(1.0, r);
    return std::nullopt;
}

// The five sums of Y * toScaled over the fitted points, with the largest Y, the number of
// points and whether every Y is the same.
struct LinePass {
    RegressionSums s;
    double maxY = 0;
    int count = 0;
    bool allYEqual = true;
};

template <class Transform, class TransformY>
LinePass sumLine(const DataTable& table, Transform transform, TransformY transformY,
                 double toScaled)
{
    LinePass p;
    RegressionSums& s = p.s;
    double firstY = 0;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x))
            continue;
        const double t = transform(x);
        const double ty = transformY(*table.y[x]);
        const double y = ty * toScaled;
        s.sumX += t;
        s.sumXX += t * t;
        s.sumY += y;
        s.sumYY += y * y;
        s.sumXY += t * y;
        p.maxY = std::max(p.maxY, std::abs(ty));
        if (p.count++ == 0)
            firstY = ty;
        else if (ty != firstY)
            p.allYEqual = false;
    }
    return p;
}

}  // namespace detail

template <class Transform, class TransformY>
RegressionFit fitLine(const DataTable& table, int nOK, Transform transform, TransformY transformY)
{
    RegressionFit fit;
    // Every sum and result below is of Y / 2^e, scaled back at the end; Y that need no
    // scaling (e = 0) are summed once.
    detail::LinePass pass = detail::sumLine(table, transform, transformY, 1.0);
    const int e = yScaleExponent(pass.maxY);
    const double toScaled = std::ldexp(1.0, -e);
    if (e != 0)
        pass = detail::sumLine(table, transform, transformY, toScaled);
    const RegressionSums& s = pass.s;
    const int count = pass.count;
    const double n = nOK;
    const double sxx = n * s.sumXX - s.sumX * s.sumX;
    const double sxy = n * s.sumXY - s.sumY * s.sumX;
    if (sxx == 0)
        return fit;
    const double b = sxy / sxx;
    const double a = (s.sumY - b * s.sumX) / n;
    if (!std::isfinite(b) || !std::isfinite(a))
        return fit;
    fit.b = scaledBack(b, e);
    fit.a = scaledBack(a, e);

    // r from the deviations from the means: the one-pass n * sum(Y^2) - sum(Y)^2 cancels
    // when the spread of Y is small against Y itself.
    const double tMean = s.sumX / count;
    const double yMean = s.sumY / count;
    double dtSum = 0, dySum = 0;
    detail::CompensatedSum dtt, dyy, dty;
    double diff = 0;
    double diffProc = 0;
    double sse = 0;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x))
            continue;
        const double t = transform(x);
        const double y = transformY(*table.y[x]) * toScaled;
        const double f = b * t + a;
        sse += (y - f) * (y - f);
        diff += std::abs(y - f);
        diffProc += std::abs(y - f) / y;
        const double dt = t - tMean;
        const double dy = y - yMean;
        dtSum += dt;
        dySum += dy;
        dtt.add(dt * dt);
        dyy.add(dy * dy);
        dty.add(dt * dy);
    }
    if (!pass.allYEqual)
        fit.r = detail::correlation(count, dtSum, dySum, dtt.value(), dyy.value(), dty.value());
    fit.diff = scaledBack(diff / n, e);
    fit.diffProc = finiteOrNone((diffProc / n) * 100);
    if (count > 2)
        fit.sEst = scaledBack(std::sqrt(sse / (count - 2)), e);
    return fit;
}

template <class Transform, class TransformY>
RegressionFit fitWeightedLine(const DataTable& table, Transform transform,
                              std::span<const double> weights, double unit, TransformY transformY)
{
    struct Point {
        double t, y, w;
    };
    std::vector<Point> points;
    points.reserve(weights.size());
    double maxY = 0;
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x) || points.size() >= weights.size())
            continue;
        const double ty = transformY(*table.y[x]);
        points.push_back({transform(x), ty, weights[points.size()]});
        maxY = std::max(maxY, std::abs(ty));
    }
    RegressionFit fit;
    const std::size_t count = points.size();
    if (count < 2)
        return fit;
    // Y / 2^e as in the unweighted fit.
    const int e = yScaleExponent(maxY);
    const double toScaled = std::ldexp(1.0, -e);
    detail::CompensatedSum w, wt, wy;
    for (Point& p : points) {
        p.y *= toScaled;
        w.add(p.w);
        wt.add(p.w * p.t);
        wy.add(p.w * p.y);
    }
    const double weight = w.value();
    const double tMean = wt.value() / weight;
    const double yMean = wy.value() / weight;
    double dtSum = 0, dySum = 0;
    detail::CompensatedSum dtt, dyy, dty;
    for (const Point& p : points) {
        const double dt = p.t - tMean;
        const double dy = p.y - yMean;
        dtSum += p.w * dt;
        dySum += p.w * dy;
        dtt.add(p.w * dt * dt);
        dyy.add(p.w * dy * dy);
        dty.add(p.w * dt * dy);
    }
    const double stt = dtt.value() - dtSum * dtSum / weight;
    const double sty = dty.value() - dtSum * dySum / weight;
    if (!(stt > 0))
        return fit;
    const double b = sty / stt;
    const double a = yMean + dySum / weight - b * (tMean + dtSum / weight);
    if (!std::isfinite(b) || !std::isfinite(a))
        return fit;
    fit.b = scaledBack(b, e);
    fit.a = scaledBack(a, e);
    if (count > 2)
        fit.r = detail::correlation(weight, dtSum, dySum, dtt.value(), dyy.value(), dty.value());
    double diff = 0, diffProc = 0, sse = 0, chi = 0;
    for (const Point& p : points) {
        const double d = p.y - (b * p.t + a);
        diff += std::abs(d);
        diffProc += std::abs(d) / p.y;
        sse += d * d;
        chi += p.w * (d * d);
    }
    // w = (unit / err)^2 and d in units of 2^e.
    const double toY = std::ldexp(1.0, e) / unit;
    chi *= toY * toY;
    const double n = static_cast<double>(count);
    fit.diff = scaledBack(diff / n, e);
    fit.diffProc = finiteOrNone((diffProc / n) * 100);
    if (count > 2)
        fit.sEst = scaledBack(std::sqrt(sse / (n - 2)), e);
    fit.chiSquare = finiteOrNone(chi);
    return fit;
}

}  // namespace kalibrix
