#include "engine/weights.h"

#include <algorithm>
#include <cmath>

namespace kalibrix {

std::optional<int> firstStandardWithoutError(const DataTable& table)
{
    for (int x = 1; x <= table.nData; ++x) {
        if (!table.isFitted(x))
            continue;
        const std::optional<double>& err = table.yErr[static_cast<std::size_t>(x)];
        if (!err || !std::isfinite(*err) || !(*err > 0))
            return x;
    }
    return std::nullopt;
}

bool weighsByErrors(const FitInput& input)
{
    if (!input.settings.weightByErrors)
        return false;
    std::optional<bool>& weighted = input.shared->weighted;
    if (!weighted)
        weighted = !firstStandardWithoutError(input.table);
    return *weighted;
}

double errorUnit(std::span<const double> errors)
{
    if (errors.empty())
        return 1;
    int e = 0;
    std::frexp(*std::min_element(errors.begin(), errors.end()), &e);
    return std::ldexp(1.0, std::clamp(e, -1022, 1023));
}

ReadingVariance::ReadingVariance(std::span<const double> x, std::span<const double> err,
                                 double unit)
    : m_x(x.begin(), x.end())
{
    m_variance.reserve(err.size());
    for (double e : err)
        m_variance.push_back((e / unit) * (e / unit));
}

double ReadingVariance::at(double x) const
{
    if (m_x.empty())
        return 0;
    if (x <= m_x.front())
        return m_variance.front();
    if (x >= m_x.back())
        return m_variance.back();
    const std::size_t right =
        static_cast<std::size_t>(std::lower_bound(m_x.begin(), m_x.end(), x) - m_x.begin());
    const std::size_t left = right - 1;
    if (m_x[right] == x)
        return m_variance[right];
    const double f = (x - m_x[left]) / (m_x[right] - m_x[left]);
    return (1 - f) * m_variance[left] + f * m_variance[right];
}

}  // namespace kalibrix
