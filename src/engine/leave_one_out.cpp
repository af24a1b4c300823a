#include "engine/leave_one_out.h"

#include "engine/data_stat.h"
#include "engine/finite.h"
#include "engine/fixed_count.h"
#include "engine/fit_method.h"
#include "engine/weights.h"

#include <algorithm>
#include <array>
#include <type_traits>
#include <utility>
#include <cmath>

namespace kalibrix {

namespace {

// A leverage this close to 1 means the other points do not determine the fit.
constexpr double kLeastFreedom = 1e-9;
// Below this 1 - leverage, residual / (1 - leverage) magnifies the basis's rounding too much:
// the point is fitted again without it.
constexpr double kRefitBelow = 0.05;
// A new column that keeps less than this share of its length after the columns before it
// are taken out of it depends on them.
constexpr double kDependent = 1e-10;
constexpr double kMadToSigma = 1.4826;  // the median absolute deviation of a normal sample

double median(std::vector<double> v)
{
    const std::size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
    const double upper = v[mid];
    if (v.size() % 2 != 0)
        return upper;
    return (upper + *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid))) / 2;
}

}  // namespace

LeastSquaresLoo::LeastSquaresLoo(std::vector<double> t, std::span<const double> y,
                                 std::span<const double> rowScale)
    : m_n(t.size()), m_scale(rowScale.begin(), rowScale.end()), m_s(std::move(t)),
      m_y(y.begin(), y.end()), m_leverage(m_n, 0.0)
{
    for (std::size_t i = 0; i < m_scale.size() && i < m_n; ++i)
        m_y[i] *= m_scale[i];
    double maxAbsY = 0;
    for (double v : m_y)
        maxAbsY = std::max(maxAbsY, std::abs(v));
    m_yExponent = yScaleExponent(maxAbsY);
    m_yUnit = std::ldexp(1.0, m_yExponent);  // a power of two: dividing by it is exact
    for (double& v : m_y)
        v /= m_yUnit;
    m_residual = m_y;

    const auto [lo, hi] = std::minmax_element(m_s.begin(), m_s.end());
    const double low = m_n ? *lo : 0;
    const double high = m_n ? *hi : 0;
    m_low = low;
    m_high = high;
    for (double& s : m_s)
        s = high > low ? std::clamp((2 * s - low - high) / (high - low), -1.0, 1.0) : 0.0;
    m_chebyshev.assign(2 * m_n, 0.0);
}

namespace {

// The largest number of columns before a new one that the passes below take at compile
// time (the polynomial degrees the program fits reach 23).
constexpr int kMaxEarlier = 24;

template <class F>
void withEarlier(std::size_t j, F&& f)
{
    withFixedCount<kMaxEarlier>(static_cast<int>(j), std::forward<F>(f));
}

// Sum of a[i] * b[i], four running sums at a time.
double dot(const double* a, const double* b, std::size_t n)
{
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        s0 += a[i] * b[i];
        s1 += a[i + 1] * b[i + 1];
        s2 += a[i + 2] * b[i + 2];
        s3 += a[i + 3] * b[i + 3];
    }
    for (; i < n; ++i)
        s0 += a[i] * b[i];
    return (s0 + s1) + (s2 + s3);
}

// The dot products of v with the J columns q, and of v with itself, in one pass.
template <int J>
double dotsWith(const std::vector<std::vector<double>>& q, const std::vector<double>& v,
                std::array<double, kMaxEarlier>& dots)
{
    std::array<const double*, J + 1> column{};
    for (int c = 0; c < J; ++c)
        column[c] = q[static_cast<std::size_t>(c)].data();
    double d[J + 1] = {};
    double self = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double vi = v[i];
        for (int c = 0; c < J; ++c)
            d[c] += column[c][i] * vi;
        self += vi * vi;
    }
    for (int c = 0; c < J; ++c)
        dots[c] = d[c];
    return self;
}

// v less its parts along the J columns q (given by their dot products with v); returns
// its squared length after.
template <int J>
double takeOut(const std::vector<std::vector<double>>& q, std::vector<double>& v,
               const std::array<double, kMaxEarlier>& dots)
{
    std::array<const double*, J + 1> column{};
    for (int c = 0; c < J; ++c)
        column[c] = q[static_cast<std::size_t>(c)].data();
    double length = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        double sum = 0;
        for (int c = 0; c < J; ++c)
            sum += dots[c] * column[c][i];
        v[i] -= sum;
        length += v[i] * v[i];
    }
    return length;
}

}  // namespace

bool LeastSquaresLoo::addColumn()
{
    const std::size_t j = m_q.size();
    if (j > static_cast<std::size_t>(kMaxEarlier)) {
        m_complete = true;
        return false;
    }
    // T_j at every point: T_(j+1) = 2 s T_j - T_(j-1), the last two kept.
    std::vector<double> v(m_n);
    for (std::size_t i = 0; i < m_n; ++i) {
        double& previous = m_chebyshev[2 * i];
        double& current = m_chebyshev[2 * i + 1];
        if (j == 0) {
            current = 1;
        } else if (j == 1) {
            previous = 1;
            current = m_s[i];
        } else {
            const double next = 2 * m_s[i] * current - previous;
            previous = current;
            current = next;
        }
        v[i] = current;
    }
    if (!m_scale.empty())
        for (std::size_t i = 0; i < m_n; ++i)
            v[i] *= m_scale[i];

    // Gram-Schmidt against the columns so far, and once more when that took most of the
    // column away (then rounding left a share of the others in it).
    std::array<double, kMaxEarlier> dots{};
    std::vector<double> takenOut(j);
    double before = 0;
    double length = 0;
    withEarlier(j, [&](auto earlier) {
        constexpr int J = earlier();
        before = dotsWith<J>(m_q, v, dots);
        length = takeOut<J>(m_q, v, dots);
        std::copy_n(dots.begin(), J, takenOut.begin());
        if (J > 0 && !(length > 0.5 * before)) {
            const double kept = length;
            dotsWith<J>(m_q, v, dots);
            length = takeOut<J>(m_q, v, dots);
            for (int c = 0; c < J; ++c)
                takenOut[static_cast<std::size_t>(c)] += dots[static_cast<std::size_t>(c)];
            if (!(length > kDependent * kDependent * kept))
                length = 0;
        }
    });
    if (!(length > kDependent * kDependent * before)) {
        m_complete = true;
        return false;
    }

    const double inverseNorm = 1 / std::sqrt(length);
    const double along = dot(v.data(), m_residual.data(), m_n) * inverseNorm;
    std::vector<std::optional<double>>& errors = m_errors.emplace_back(m_n);
    bool refit = false;
    for (std::size_t i = 0; i < m_n; ++i) {
        const double q = v[i] * inverseNorm;
        v[i] = q;
        m_leverage[i] += q * q;
        m_residual[i] -= along * q;
        const double freedom = 1 - m_leverage[i];
        if (freedom >= kRefitBelow)
            errors[i] =
                finiteOrNone(m_scale.empty() ? m_residual[i] / freedom * m_yUnit
                                             : m_residual[i] / freedom / m_scale[i] * m_yUnit);
        else
            refit = true;
    }
    m_q.push_back(std::move(v));
    m_takenOutFlat.insert(m_takenOutFlat.end(), takenOut.begin(), takenOut.end());
    m_inverseLength.push_back(inverseNorm);
    if (refit) {
        for (std::size_t i = 0; i < m_n; ++i) {
            const double freedom = 1 - m_leverage[i];
            if (freedom < kRefitBelow && freedom > kLeastFreedom)
                errors[i] = refitAt(i, m_q.size());
        }
    }
    return true;
}

// The error at point `left` of the fit with `columns` columns to the other points: the same
// Gram-Schmidt over them, with the left-out point's row carried along, so that its value of
// each new column, and so the prediction, come out directly.
std::optional<double> LeastSquaresLoo::refitAt(std::size_t left, std::size_t columns) const
{
    const std::size_t n = m_n;
    std::vector<double> q(n * columns);  // row by row; row `left` is the carried one
    std::vector<double> previous(n), current(n, 1.0), v(n), dots(columns);
    double prediction = 0;
    for (std::size_t j = 0; j < columns; ++j) {
        for (std::size_t i = 0; i < n; ++i) {
            if (j == 1) {
                previous[i] = 1;
                current[i] = m_s[i];
            } else if (j > 1) {
                const double next = 2 * m_s[i] * current[i] - previous[i];
                previous[i] = current[i];
                current[i] = next;
            }
            v[i] = m_scale.empty() ? current[i] : current[i] * m_scale[i];
        }
        for (int pass = 0; pass < 2 && j > 0; ++pass) {
            std::fill(dots.begin(), dots.end(), 0.0);
            for (std::size_t i = 0; i < n; ++i)
                if (i != left)
                    for (std::size_t c = 0; c < j; ++c)
                        dots[c] += q[i * columns + c] * v[i];
            for (std::size_t i = 0; i < n; ++i) {
                double sum = 0;
                for (std::size_t c = 0; c < j; ++c)
                    sum += dots[c] * q[i * columns + c];
                v[i] -= sum;
            }
        }
        double norm = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (i != left)
                norm += v[i] * v[i];
        norm = std::sqrt(norm);
        if (!(norm > 0))
            return std::nullopt;
        double along = 0;
        for (std::size_t i = 0; i < n; ++i) {
            q[i * columns + j] = v[i] / norm;
            if (i != left)
                along += q[i * columns + j] * m_y[i];
        }
        prediction += along * q[left * columns + j];
    }
    const double error = (m_y[left] - prediction) * m_yUnit;
    return finiteOrNone(m_scale.empty() ? error : error / m_scale[left]);
}

bool LeastSquaresLoo::haveColumns(std::size_t columns)
{
    while (m_q.size() < columns && !m_complete && addColumn()) {
    }
    return m_q.size() >= columns;
}

std::optional<LeverageBasis> LeastSquaresLoo::leverageBasis(int degree)
{
    if (degree < 0 || !haveColumns(static_cast<std::size_t>(degree) + 1))
        return std::nullopt;
    const std::size_t columns = static_cast<std::size_t>(degree) + 1;
    LeverageBasis basis;
    basis.low = m_low;
    basis.high = m_high;
    basis.takenOut.assign(
        m_takenOutFlat.begin(),
        m_takenOutFlat.begin() + static_cast<std::ptrdiff_t>(columns * (columns - 1) / 2));
    basis.inverseLength.assign(m_inverseLength.begin(),
                               m_inverseLength.begin() + static_cast<std::ptrdiff_t>(columns));
    return basis;
}

std::optional<double> LeastSquaresLoo::leverageAt(double t, int degree)
{
    const std::optional<LeverageBasis> basis = leverageBasis(degree);
    return basis ? basis->at(t) : std::nullopt;
}

std::optional<double> LeverageBasis::at(double t) const
{
    const double s = high > low ? (2 * t - low - high) / (high - low) : 0.0;
    // The values at t of the columns, each made from T_j(s) as its column was made from
    // T_j at the points.
    std::array<double, kMaxEarlier + 1> q;
    double previous = 1, current = 1;
    double h = 0;
    const double* amounts = takenOut.data();
    for (std::size_t j = 0; j < inverseLength.size() && j <= kMaxEarlier; ++j) {
        if (j == 1) {
            current = s;
        } else if (j > 1) {
            const double next = 2 * s * current - previous;
            previous = current;
            current = next;
        }
        double v = current;
        for (std::size_t c = 0; c < j; ++c)
            v -= amounts[c] * q[c];
        amounts += j;
        q[j] = v * inverseLength[j];
        h += q[j] * q[j];
    }
    return finiteOrNone(h);
}

LooErrors LeastSquaresLoo::errors(int degree)
{
    if (degree < 0) {
        m_none.assign(m_n, std::nullopt);
        return m_none;
    }
    const std::size_t columns = static_cast<std::size_t>(degree) + 1;
    if (!haveColumns(columns)) {
        m_none.assign(m_n, std::nullopt);
        return m_none;
    }
    return m_errors[static_cast<std::size_t>(degree)];
}

LooWorkspace::LooWorkspace(const DataTable& table)
{
    for (int x = 1; x <= table.nData; ++x) {
        if (table.isFitted(x)) {
            m_x.push_back(x);
            m_y.push_back(*table.y[x]);
            const std::optional<double>& err = table.yErr[static_cast<std::size_t>(x)];
            m_err.push_back(err && std::isfinite(*err) && *err > 0 ? *err : 0.0);
        }
    }
    m_errorUnit = kalibrix::errorUnit(m_err);
}

std::span<const double> LooWorkspace::rowScales(bool weighted)
{
    if (!weighted)
        return {};
    if (m_rowScale.empty())
        for (double e : m_err)
            m_rowScale.push_back(m_errorUnit / e);
    return m_rowScale;
}

std::span<const double> LooWorkspace::weights()
{
    if (m_weights.empty())
        for (double r : rowScales(true))
            m_weights.push_back(r * r);
    return m_weights;
}

LeastSquaresLoo& LooWorkspace::inX(bool weighted)
{
    if (!m_inX || m_inXWeighted != weighted) {
        m_inX.emplace(m_x, m_y, rowScales(weighted));
        m_inXWeighted = weighted;
    }
    return *m_inX;
}

LeastSquaresLoo& LooWorkspace::inLnX(bool weighted)
{
    if (!m_inLnX || m_inLnXWeighted != weighted) {
        std::vector<double> t(m_x.size());
        std::transform(m_x.begin(), m_x.end(), t.begin(), [](double x) { return std::log(x); });
        m_inLnX.emplace(std::move(t), m_y, rowScales(weighted));
        m_inLnXWeighted = weighted;
    }
    return *m_inLnX;
}

LooErrors leastSquaresLoo(const FitInput& input, LooWorkspace& workspace, bool inLnX, int degree)
{
    const bool weighted = weighsByErrors(input);
    return (inLnX ? workspace.inLnX(weighted) : workspace.inX(weighted)).errors(degree);
}

LooErrors refitLeaveOneOut(const FitMethod& method, const FitInput& in, LooWorkspace& workspace)
{
    DataTable without = in.table;
    std::vector<std::optional<double>>& errors = workspace.scratch();
    errors.clear();
    for (std::size_t i = 0; i < workspace.x().size(); ++i) {
        const int x = static_cast<int>(workspace.x()[i]);
        without.rejFlag[static_cast<std::size_t>(x)] = 1;
        const DataStats stats = computeDataStats(without, in.settings.allData);
        std::optional<double> predicted;
        if (stats.nOK >= method.minPoints) {
            const FitOutcome outcome = method.fit({without, stats, in.student, in.settings});
            if (outcome.result)
                predicted = outcome.result->value(x);
        }
        errors.push_back(predicted ? finiteOrNone(workspace.y()[i] - *predicted) : std::nullopt);
        without.rejFlag[static_cast<std::size_t>(x)] = 0;
    }
    return errors;
}

LeaveOneOut summariseLoo(std::span<const double> y, LooErrors errors)
{
    LeaveOneOut loo;
    if (errors.size() != y.size())
        return loo;
    double largest = 0;
    double relative = 0;
    int count = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        if (!errors[i])
            continue;
        const double e = std::abs(*errors[i]);
        ++count;
        relative += e / y[i];
        largest = std::max(largest, e);
    }
    if (count >= 2) {
        // The squares of e / 2^k, scaled where they could overflow or underflow.
        const int k = yScaleExponent(largest);
        double squares = 0;
        for (const std::optional<double>& e : errors)
            if (e)
                squares += std::ldexp(*e, -k) * std::ldexp(*e, -k);
        loo.error = scaledBack(std::sqrt(squares / count), k);
        loo.percent = finiteOrNone(relative / count * 100);
    }
    return loo;
}

Suggestions suggestedOutliers(LooErrors errors, std::span<const int> x)
{
    std::vector<double> spread;
    for (const std::optional<double>& e : errors)
        if (e)
            spread.push_back(*e);
    if (spread.size() < static_cast<std::size_t>(kLeastForSuggestions))
        return {};
    const double middle = median(spread);
    for (double& e : spread)
        e = std::abs(e - middle);
    const double sigma = kMadToSigma * median(spread);
    Suggestions far;
    if (!(sigma > 0) || !std::isfinite(sigma))
        return far;
    far.typical = sigma;
    for (std::size_t i = 0; i < errors.size() && i < x.size(); ++i)
        if (errors[i] && std::abs(*errors[i] - middle) > kOutlierSpread * sigma)
            far.x.push_back(x[i]);
    return far;
}

}  // namespace kalibrix
