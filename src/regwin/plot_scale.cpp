#include "regwin/plot_scale.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

namespace kalibrix {

namespace {

// Largest tick index kept exact in a double.
constexpr double kMaxTickIndex = 1e15;

// A small range around v: +-10 % of it, or +-1 around 0.
void rangeAround(double v, double& low, double& high)
{
    const double d = v == 0 ? 1.0 : 0.1 * std::abs(v);
    low = v - d;
    high = v + d;
}

// How the X axis maps onto pict2: axisStart lies at the plot's left edge and axisEnd at
// (1 - kMarginX) of its width. Normally these are Xs and nData (the ticks follow this
// rule, not pict1's scale, which reaches 1.05 nData).
struct XAxisMap {
    UserScale scale;  // only left and width are set
    double axisStart = 0;
    double axisEnd = 1;
};

XAxisMap xAxisMap(int nData, const DataStats& stats, bool full)
{
    XAxisMap m;
    const double xs = full ? 0.0 : stats.firstX;
    if (nData - xs > 0) {
        m.scale.width = (1 + kMarginX) * nData - xs;
        m.scale.left = xs;
        m.axisStart = xs;
        m.axisEnd = nData;
        return m;
    }
    // No width (no data, or Zoom X on a single X): the range around nData, ticks mapped
    // onto pict1's own scale.
    double low = 0;
    double high = 0;
    rangeAround(nData, low, high);
    m.scale.left = low;
    m.scale.width = high - low;
    m.axisStart = low;
    m.axisEnd = low + (1 - kMarginX) * (high - low);
    return m;
}

// Sets top and height of `scale`: Full Y runs from 0 to 1.1 YMax, Zoom Y from
// YMin - 0.1 R to YMax + 0.1 R. Full Y with no Y above 0 takes the Zoom range of the
// counted values (up to 0, where YMax starts); a range still empty (every Y equal, nothing
// counted) or not finite becomes the range around YMax, or around 0.
void setYScale(UserScale& scale, const DataStats& stats, bool full)
{
    // yMin keeps its start value above yMax when no point was counted.
    const bool counted = stats.yMin <= stats.yMax;
    auto zoom = [&](double low, double high) {
        const double r = high - low;
        scale.height = -(1 + 2 * kMarginY) * r;
        scale.top = high + kMarginY * r;
    };
    scale.top = 0;
    scale.height = 0;
    if (full && stats.yMax > 0) {
        scale.height = -(1 + kMarginY) * stats.yMax;
        scale.top = (1 + kMarginY) * stats.yMax;
    } else if (counted) {
        zoom(stats.yMin, stats.yMax);
    }
    if (std::isfinite(scale.top) && std::isfinite(scale.height) && scale.height < 0 &&
        std::isfinite(scale.top + scale.height))
        return;
    double low = 0;
    double high = 0;
    rangeAround(counted ? stats.yMax : 0.0, low, high);
    if (!std::isfinite(low) || !std::isfinite(high))
        rangeAround(0.0, low, high);
    scale.top = high;
    scale.height = low - high;
}

// k * 10^p, divided rather than multiplied for negative p so that 3 * 0.1 gives 0.3.
double tickValue(long long k, int p)
{
    return p >= 0 ? static_cast<double>(k) * std::pow(10.0, p)
                  : static_cast<double>(k) / std::pow(10.0, -p);
}

struct TickIndices {
    long long first = 0;
    long long last = -1;  // empty when last < first
    long long count() const { return last >= first ? last - first + 1 : 0; }
};

// The k whose tick value k * 10^p lies in [low, high], or in (low, high] when lowOpen.
TickIndices multiplesInside(double low, double high, int p, bool lowOpen)
{
    const double step = std::pow(10.0, p);
    const double kLow = std::ceil(low / step);
    const double kHigh = std::floor(high / step);
    if (!std::isfinite(kLow) || !std::isfinite(kHigh) || std::abs(kLow) > kMaxTickIndex ||
        std::abs(kHigh) > kMaxTickIndex)
        return {};
    TickIndices r{static_cast<long long>(kLow), static_cast<long long>(kHigh)};
    // The divisions may miss by one; settle on the tick values themselves.
    auto aboveLow = [&](long long k) {
        const double y = tickValue(k, p);
        return lowOpen ? y > low : y >= low;
    };
    if (aboveLow(r.first - 1))
        --r.first;
    else if (!aboveLow(r.first))
        ++r.first;
    if (tickValue(r.last + 1, p) <= high)
        ++r.last;
    else if (tickValue(r.last, p) > high)
        --r.last;
    return r;
}

// "###,###": an integer with the group separator, nothing for 0.
std::string groupedInteger(double v, const NumberFormat& fmt)
{
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::abs(v), std::chars_format::fixed, 0);
    const std::string_view digits(buf, static_cast<size_t>(res.ptr - buf));
    if (digits == "0")
        return {};
    std::string out = v < 0 ? fmt.minusSign : std::string();
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += fmt.groupSeparator;
        out += digits[i];
    }
    return out;
}

// "0.0E-00" (one decimal) or "0E-00" (none): two exponent digits at least, a sign only
// for negative exponents.
std::string scientific(double v, int decimals, const NumberFormat& fmt)
{
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, decimals);
    const std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
    const size_t e = text.find('e');
    std::string out;
    for (char c : text.substr(0, e)) {
        if (c == '.')
            out += fmt.decimalPoint;
        else if (c == '-')
            out += fmt.minusSign;
        else
            out += c;
    }
    out += 'E';
    std::string_view exponent = text.substr(e + 1);
    if (exponent.front() == '-')
        out += '-';
    exponent.remove_prefix(1);
    out += exponent;
    return out;
}

// Caption of a major Y tick; the decade e of the major step chooses the format.
std::string yCaption(double y, int e, const NumberFormat& fmt)
{
    if (e >= 6)
        return scientific(y, 1, fmt);
    if (e >= 1)
        return groupedInteger(y, fmt);
    if (e >= -4)
        return fmt.fixed(y, -e);
    return scientific(y, 0, fmt);
}

struct XSpacing {
    int minor;
    int major;
};

XSpacing xTickSpacing(int nData)
{
    if (nData <= 130)
        return {1, 10};
    if (nData <= 2000)
        return {10, 100};
    if (nData <= 20000)
        return {100, 1000};
    return {1000, 10000};
}

void drawYAxis(PlotDisplay& plot, const DataStats& stats, const NumberFormat& fmt)
{
    const UserScale& sc = plot.pict1Scale;
    const double ybot = sc.top + sc.height;
    plot.pict1.addLine({0, ybot}, {0, sc.top}, std::nullopt);

    double reach = stats.yMax - ybot;
    if (!(reach > 0) || !std::isfinite(reach))
        reach = sc.top - ybot;
    int e = static_cast<int>(std::floor(std::log10(reach)));
    // A fallback range may hold more major multiples than there are labels.
    while (multiplesInside(ybot, sc.top, e, true).count() > kYLabels)
        ++e;

    const double twipsPerY = plot.pict1Rect.height / -sc.height;
    auto ypos = [&](double y) { return plot.plotBottom - (y - ybot) * twipsPerY; };

    const TickIndices minor = multiplesInside(ybot, sc.top, e - 1, false);
    for (long long k = minor.first; k <= minor.last; ++k) {
        const double p = ypos(tickValue(k, e - 1));
        plot.pict2.addLine({plot.plotLeft - kMinorTickTwips, p}, {plot.plotLeft, p}, std::nullopt);
    }
    const TickIndices major = multiplesInside(ybot, sc.top, e, true);
    int label = 0;
    for (long long k = major.first; k <= major.last; ++k, ++label) {
        const double y = tickValue(k, e);
        const double p = ypos(y);
        plot.pict2.addLine({plot.plotLeft - kMajorTickTwips, p}, {plot.plotLeft, p}, std::nullopt);
        if (label >= kYLabels)
            continue;
        TickLabel& l = plot.lblY[static_cast<size_t>(label)];
        l.visible = true;
        l.caption = yCaption(y, e, fmt);
        l.rect.top = p - kLblYTopShare * l.rect.height;
    }
}

void drawXTicks(PlotDisplay& plot, const XAxisMap& m, int nData)
{
    const double axisTwips = (1 - kMarginX) * plot.pict1Rect.width;
    auto xpos = [&](double x) {
        return plot.plotLeft + (x - m.axisStart) * axisTwips / (m.axisEnd - m.axisStart);
    };
    const XSpacing sp = xTickSpacing(nData);
    const int start = static_cast<int>(std::ceil(m.axisStart));
    const int firstMinor = start <= 0 ? 0 : (start + sp.minor - 1) / sp.minor * sp.minor;
    for (int x = firstMinor; x <= nData; x += sp.minor) {
        const double p = xpos(x);
        plot.pict2.addLine({p, plot.plotBottom}, {p, plot.plotBottom + kMinorTickTwips},
                           std::nullopt);
        if (x % sp.major != 0)
            continue;
        plot.pict2.addLine({p, plot.plotBottom}, {p, plot.plotBottom + kMajorTickTwips},
                           std::nullopt);
        const int j = x / sp.major;
        if (j >= kXLabels)
            continue;
        TickLabel& l = plot.lblX[static_cast<size_t>(j)];
        l.visible = true;
        l.caption = std::to_string(x);
        l.rect.left = p - l.rect.width / 2;
    }
}

}  // namespace

void SetPlotScale(PlotDisplay& plot, const DataTable& table, const DataStats& stats,
                  const RegControls& controls)
{
    UserScale& sc = plot.pict1Scale;
    const XAxisMap m = xAxisMap(table.nData, stats, controls.optScaleXFull);
    sc.width = m.scale.width;
    sc.left = m.scale.left;
    setYScale(sc, stats, controls.optScaleFull);

    // Both ratios are rounded to single precision, unless that would lose them entirely.
    auto single = [](double ratio) {
        const float f = static_cast<float>(ratio);
        return std::isfinite(f) && f != 0 ? static_cast<double>(f) : ratio;
    };
    plot.markDX = sc.width * kMarkFactor;
    plot.markDY = plot.markDX * single(-sc.height / sc.width) *
                  single(plot.pict1Rect.width / plot.pict1Rect.height);
}

void DrawAxes(PlotDisplay& plot, const DataTable& table, const DataStats& stats,
              const RegControls& controls, const NumberFormat& fmt)
{
    const TwipsRect& p1 = plot.pict1Rect;
    plot.plotLeft = p1.left - plot.pict2Rect.left;
    plot.plotBottom = p1.top - plot.pict2Rect.top + p1.height;

    for (TickLabel& l : plot.lblX)
        l.rect = {0, plot.plotBottom + kMajorTickTwips + kLblXGapTwips, kLblXWidth, kLblXHeight};
    for (TickLabel& l : plot.lblY)
        l.rect = {plot.plotLeft - kMajorTickTwips - kLblYGapTwips - kLblYWidth, 0, kLblYWidth,
                  kLblYHeight};

    // With no X at all there is nothing to plot: no Y axis and no ticks.
    const bool anything = table.nData > 0;
    if (anything)
        drawYAxis(plot, stats, fmt);

    plot.pict2.addLine({plot.plotLeft, plot.plotBottom},
                       {plot.plotLeft + (1 - kMarginX) * p1.width, plot.plotBottom}, std::nullopt);
    if (!controls.optScaleXFull) {
        const double x = plot.plotLeft - kZoomLineOffsetTwips;
        plot.pict2.addLine({x, plot.plotBottom}, {x, plot.plotBottom - p1.height}, std::nullopt);
    }
    if (anything)
        drawXTicks(plot, xAxisMap(table.nData, stats, controls.optScaleXFull), table.nData);
}

}  // namespace kalibrix
