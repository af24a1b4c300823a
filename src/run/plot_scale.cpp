#include "run/plot_scale.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace kalibrix {

namespace {

// Largest tick index kept exact in a double.
constexpr double kMaxTickIndex = 1e15;
// Zoom Y on values that agree to 12 digits shows the range around them.
constexpr double kLeastSpread = 1e-12;
// Measured values within 2^-500 .. 2^500 are drawn as they are (a Y unit of 1).
constexpr int kSafeExponent = 500;
// Shares of the label font's size taken by a digit or letter, by punctuation or a space,
// and by a character beyond ASCII (the minus sign U+2212, other scripts' digits).
constexpr double kDigitShare = 0.64;
constexpr double kNarrowShare = 0.32;
constexpr double kWideShare = 0.84;

// A small range around v: +-10 % of it, or +-1 around 0.
void rangeAround(double v, double& low, double& high)
{
    const double d = v == 0 ? 1.0 : 0.1 * std::abs(v);
    low = v - d;
    high = v + d;
}

// How the X axis maps onto pict2: axisStart lies at the plot's left edge and axisEnd at
// (1 - kMarginX) of its width, so that every tick stands where pict1's scale draws its X
// (also in the Zoom view, where pict1 runs from FirstX to 1.05 nData).
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
        m.axisEnd = xs + (1 - kMarginX) * m.scale.width;
        return m;
    }
    // No width (no data, or Zoom X on a single X): +-10 % around nData, at least +-1 so that
    // the X before it has a tick too; ticks mapped onto pict1's own scale.
    const double d = std::max(1.0, 0.1 * std::abs(static_cast<double>(nData)));
    const double low = nData - d;
    const double high = nData + d;
    m.scale.left = low;
    m.scale.width = high - low;
    m.axisStart = low;
    m.axisEnd = low + (1 - kMarginX) * (high - low);
    return m;
}

// yMin keeps its start value above yMax when no point was counted.
bool anyCounted(const DataStats& stats) { return stats.yMin <= stats.yMax; }

// The power of two pict1's Y is measured in: 1 while the values the Y scale is built from
// lie within 2^+-kSafeExponent, else about their size, so that the range, its margins and
// the twips per unit stay ordinary numbers.
double yUnitFor(const DataStats& stats, bool full)
{
    double size = 0;
    if (full && stats.yMax > 0)
        size = stats.yMax;
    else if (anyCounted(stats))
        size = std::max(std::abs(stats.yMin), std::abs(stats.yMax));
    if (size == 0 || !std::isfinite(size) || std::abs(std::ilogb(size)) <= kSafeExponent)
        return 1;
    constexpr int lowest = std::numeric_limits<double>::min_exponent - 1;  // 2^-1022, normal
    return std::ldexp(1.0, std::max(std::ilogb(size), lowest));
}

// Sets top and height of `scale`, in units of `yUnit`: Full Y runs from 0 to 1.1 YMax, Zoom
// Y from YMin - 0.1 R to YMax + 0.1 R. Full Y with no Y above 0 takes the Zoom range of the
// counted values (up to 0, where YMax starts); a range still empty (every Y equal to 12
// digits, nothing counted) or not finite becomes the range around YMax, or around 0.
void setYScale(UserScale& scale, const DataStats& stats, bool full, double yUnit)
{
    const bool counted = anyCounted(stats);
    const double yMax = stats.yMax / yUnit;
    const double yMin = stats.yMin / yUnit;
    auto zoom = [&](double low, double high) {
        const double r = high - low;
        // A spread too small for tick captions to tell apart is taken as none.
        if (r < kLeastSpread * std::max(std::abs(low), std::abs(high)))
            return;
        scale.height = -(1 + 2 * kMarginY) * r;
        scale.top = high + kMarginY * r;
    };
    scale.top = 0;
    scale.height = 0;
    if (full && yMax > 0) {
        scale.height = -(1 + kMarginY) * yMax;
        scale.top = (1 + kMarginY) * yMax;
    } else if (counted) {
        zoom(yMin, yMax);
    }
    if (std::isfinite(scale.top) && std::isfinite(scale.height) && scale.height < 0 &&
        std::isfinite(scale.top + scale.height))
        return;
    double low = 0;
    double high = 0;
    rangeAround(counted ? yMax : 0.0, low, high);
    if (!std::isfinite(low) || !std::isfinite(high))
        rangeAround(0.0, low, high);
    scale.top = high;
    scale.height = low - high;
}

// 10^p * 2^m (p >= 0) for a result within the doubles; the factors are applied so that the
// partial products lie between 2^m and the result.
double pow10Times2(int p, int m)
{
    double r = std::ldexp(1.0, m);
    for (; p > 300; p -= 300)
        r *= 1e300;
    return r * std::pow(10.0, p);
}

// The tick k * 10^p in units of 2^n, divided rather than multiplied for negative p so that
// 3 * 0.1 gives 0.3.
double tickValue(long long k, int p, int n = 0)
{
    return p >= 0 ? static_cast<double>(k) * pow10Times2(p, -n)
                  : static_cast<double>(k) / pow10Times2(-p, n);
}

// floor(log10(reach * 2^n)), also when reach * 2^n is beyond the doubles.
int decade(double reach, int n)
{
    const double r = std::ldexp(reach, n);
    const double log = std::isnormal(r) ? std::log10(r) : std::log10(reach) + n * std::log10(2.0);
    return static_cast<int>(std::floor(log));
}

struct TickIndices {
    long long first = 0;
    long long last = -1;  // empty when last < first
    long long count() const { return last >= first ? last - first + 1 : 0; }
};

// The k whose tick k * 10^p, in units of 2^n, lies in [low, high], or in (low, high] when
// lowOpen.
TickIndices multiplesInside(double low, double high, int p, int n, bool lowOpen)
{
    const double step = tickValue(1, p, n);
    const double kLow = std::ceil(low / step);
    const double kHigh = std::floor(high / step);
    if (!std::isfinite(kLow) || !std::isfinite(kHigh) || std::abs(kLow) > kMaxTickIndex ||
        std::abs(kHigh) > kMaxTickIndex)
        return {};
    TickIndices r{static_cast<long long>(kLow), static_cast<long long>(kHigh)};
    // The divisions may miss by one; settle on the tick values themselves.
    auto aboveLow = [&](long long k) {
        const double y = tickValue(k, p, n);
        return lowOpen ? y > low : y >= low;
    };
    if (aboveLow(r.first - 1))
        --r.first;
    else if (!aboveLow(r.first))
        ++r.first;
    if (tickValue(r.last + 1, p, n) <= high)
        ++r.last;
    else if (tickValue(r.last, p, n) > high)
        --r.last;
    return r;
}

// The k whose k * c is among `m`.
TickIndices multiplesOf(TickIndices m, long long c)
{
    auto floorDiv = [&](long long a) { return a / c - (a % c != 0 && a < 0); };
    auto ceilDiv = [&](long long a) { return a / c + (a % c != 0 && a > 0); };
    return {ceilDiv(m.first), floorDiv(m.last)};
}

// "###,###": an integer with the group separator.
std::string groupedInteger(double v, const NumberFormat& fmt)
{
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::abs(v), std::chars_format::fixed, 0);
    const std::string_view digits(buf, static_cast<size_t>(res.ptr - buf));
    std::string out = v < 0 ? fmt.minusSign : std::string();
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += fmt.groupSeparator;
        out += digits[i];
    }
    return out;
}

// Decimals that show m * 10^p in scientific notation without rounding.
int significantDecimals(long long m)
{
    if (m == 0)
        return 0;
    const std::string digits = std::to_string(m < 0 ? -m : m);
    return static_cast<int>(digits.find_last_not_of('0'));
}

// m * 10^p as "0.0E-00" with `decimals` decimals (at least significantDecimals(m)): an
// exponent of two digits at least, a sign only for negative exponents.
std::string scientific(long long m, int p, int decimals, const NumberFormat& fmt)
{
    if (m == 0)
        return "0";
    std::string digits = std::to_string(m < 0 ? -m : m);
    const int exponent = p + static_cast<int>(digits.size()) - 1;
    digits.resize(static_cast<size_t>(decimals) + 1, '0');  // cuts trailing zeros only
    std::string out = m < 0 ? fmt.minusSign : std::string();
    out += digits.front();
    if (decimals > 0)
        out += fmt.decimalPoint + digits.substr(1);
    out += exponent < 0 ? "E-" : "E";
    const std::string e = std::to_string(exponent < 0 ? -exponent : exponent);
    out += (e.size() < 2 ? "0" : "") + e;
    return out;
}

// Captions of the Y ticks m * 10^p; the decade e of the major step chooses the format:
// scientific from 10^6 and below 10^-4 (all with the decimals the most precise one needs),
// grouped integers from 10, else as many decimals as the step has; 0 is "0".
std::vector<std::string> yCaptions(const std::vector<long long>& ms, int p, int e,
                                   const NumberFormat& fmt)
{
    std::vector<std::string> out;
    if (e >= 6 || e <= -5) {
        int decimals = e >= 6 ? 1 : 0;
        for (long long m : ms)
            decimals = std::max(decimals, significantDecimals(m));
        for (long long m : ms)
            out.push_back(scientific(m, p, decimals, fmt));
        return out;
    }
    for (long long m : ms) {
        const double y = tickValue(m, p);
        out.push_back(m == 0 ? "0" : e >= 1 ? groupedInteger(y, fmt) : fmt.fixed(y, -p));
    }
    return out;
}

// Estimated width of a caption in the label font, in twips: every digit and letter as wide
// as in the widest common sans-serif faces, punctuation and spaces half that.
double captionWidthTwips(std::string_view caption)
{
    double ems = 0;
    for (const char ch : caption) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) == 0x80)
            continue;  // inside a UTF-8 sequence
        if (c >= 0x80)
            ems += kWideShare;
        else if (std::string_view(" .,':;").find(ch) != std::string_view::npos)
            ems += kNarrowShare;
        else
            ems += kDigitShare;
    }
    return ems * kLabelFontTwips;
}

// An X label that may be shown: its tick index, its position on pict2 and its caption.
struct LabelCandidate {
    long long k;
    double at;
    std::string caption;
};

// The smallest stride of 1, 2, 5, 10, 20, 50, ... for which the labels whose k is a
// multiple of it leave kLabelGapTwips between their captions.
long long labelStride(const std::vector<LabelCandidate>& labels)
{
    for (long long power = 1;; power *= 10) {
        for (const long long stride : {power, 2 * power, 5 * power}) {
            const LabelCandidate* previous = nullptr;
            bool apart = true;
            for (const LabelCandidate& l : labels) {
                if (l.k % stride != 0)
                    continue;
                if (previous &&
                    std::abs(l.at - previous->at) <
                        (captionWidthTwips(previous->caption) + captionWidthTwips(l.caption)) / 2 +
                            kLabelGapTwips) {
                    apart = false;
                    break;
                }
                previous = &l;
            }
            if (apart)
                return stride;
        }
    }
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
    const int n = std::ilogb(plot.yUnit);
    const double ybot = sc.top + sc.height;
    plot.pict1.addLine({0, ybot}, {0, sc.top}, std::nullopt);

    double reach = stats.yMax / plot.yUnit - ybot;
    if (!(reach > 0) || !std::isfinite(reach))
        reach = sc.top - ybot;
    int e = decade(reach, n);
    // Ticks only where the measured value is a double.
    const double limit = std::numeric_limits<double>::max() / plot.yUnit;
    const double low = std::max(ybot, -limit);
    const double high = std::min(sc.top, limit);
    // A fallback range may hold more major multiples than there are labels.
    while (multiplesInside(low, high, e, n, true).count() > kYLabels)
        ++e;

    const double twipsPerY = plot.pict1Rect.height / -sc.height;
    auto ypos = [&](double y) { return plot.plotBottom - (y - ybot) * twipsPerY; };

    const TickIndices minor = multiplesInside(low, high, e - 1, n, false);
    for (long long k = minor.first; k <= minor.last; ++k) {
        const double p = ypos(tickValue(k, e - 1, n));
        plot.pict2.addLine({plot.plotLeft - kMinorTickTwips, p}, {plot.plotLeft, p}, std::nullopt);
    }
    // Major ticks at the multiples of c * 10^p: 10^e, or 5, 2 or 1 times 10^(e-1) when fewer
    // than two of the coarser step fall in the range.
    long long c = 1;
    int p = e;
    TickIndices major = multiplesInside(low, high, e, n, true);
    for (const long long finer : {5, 2, 1}) {
        if (major.count() >= 2)
            break;
        c = finer;
        p = e - 1;
        major = multiplesOf(multiplesInside(low, high, p, n, true), c);
    }
    std::vector<long long> ms;
    for (long long k = major.first; k <= major.last; ++k)
        ms.push_back(k * c);
    // Majors lie at least a twentieth of pict1's height apart, more than a caption is high.
    const std::vector<std::string> captions = yCaptions(ms, p, e, fmt);
    for (size_t label = 0; label < ms.size(); ++label) {
        const double at = ypos(tickValue(ms[label], p, n));
        plot.pict2.addLine({plot.plotLeft - kMajorTickTwips, at}, {plot.plotLeft, at},
                           std::nullopt);
        if (label >= kYLabels)
            continue;
        TickLabel& l = plot.lblY[label];
        l.visible = true;
        l.caption = captions[label];
        l.rect.top = at - kLblYTopShare * l.rect.height;
    }
}

// The number of multiples of `step` in [first, last], first >= 0.
int multiplesBetween(int first, int last, int step)
{
    return last >= first ? last / step - (first + step - 1) / step + 1 : 0;
}

void drawXTicks(PlotDisplay& plot, const XAxisMap& m, int nData)
{
    const double axisTwips = (1 - kMarginX) * plot.pict1Rect.width;
    auto xpos = [&](double x) {
        return plot.plotLeft + (x - m.axisStart) * axisTwips / (m.axisEnd - m.axisStart);
    };
    const int start = std::max(0, static_cast<int>(std::ceil(m.axisStart)));
    // The spacing by nData; when fewer than two major ticks lie on the axis, the major step
    // becomes a half or a fifth of it, or else a tenth, with minor ticks a tenth as far apart,
    // and so on down to every X.
    auto [minor, major] = xTickSpacing(nData);
    while (major > 1 && multiplesBetween(start, nData, major) < 2) {
        if (multiplesBetween(start, nData, major / 2) >= 2) {
            major /= 2;
        } else if (multiplesBetween(start, nData, major / 5) >= 2) {
            major /= 5;
        } else {
            major /= 10;
            minor = std::max(1, minor / 10);
            continue;
        }
        break;
    }
    const int firstMinor = (start + minor - 1) / minor * minor;
    std::vector<LabelCandidate> labels;
    for (int x = firstMinor; x <= nData; x += minor) {
        const double p = xpos(x);
        plot.pict2.addLine({p, plot.plotBottom}, {p, plot.plotBottom + kMinorTickTwips},
                           std::nullopt);
        if (x % major != 0)
            continue;
        plot.pict2.addLine({p, plot.plotBottom}, {p, plot.plotBottom + kMajorTickTwips},
                           std::nullopt);
        labels.push_back({x / major, p, std::to_string(x)});
    }
    if (labels.empty())
        return;
    // lblX(X / step), or counted from the first label when that runs out of labels.
    const long long first = labels.back().k < kXLabels ? 0 : labels.front().k;
    const long long stride = labelStride(labels);
    for (LabelCandidate& candidate : labels) {
        const long long j = candidate.k - first;
        if (candidate.k % stride != 0 || j >= kXLabels)
            continue;
        TickLabel& l = plot.lblX[static_cast<size_t>(j)];
        l.visible = true;
        l.caption = std::move(candidate.caption);
        l.rect.left = candidate.at - l.rect.width / 2;
    }
}

}  // namespace

void SetPlotScale(PlotDisplay& plot, const DataTable& table, const DataStats& stats,
                  const Settings& settings)
{
    UserScale& sc = plot.pict1Scale;
    const XAxisMap m = xAxisMap(table.nData, stats, settings.scaleXFull);
    sc.width = m.scale.width;
    sc.left = m.scale.left;
    plot.yUnit = yUnitFor(stats, settings.scaleYFull);
    setYScale(sc, stats, settings.scaleYFull, plot.yUnit);

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
              const Settings& settings, const NumberFormat& fmt)
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
    if (!settings.scaleXFull) {
        const double x = plot.plotLeft - kZoomLineOffsetTwips;
        plot.pict2.addLine({x, plot.plotBottom}, {x, plot.plotBottom - p1.height}, std::nullopt);
    }
    if (anything)
        drawXTicks(plot, xAxisMap(table.nData, stats, settings.scaleXFull), table.nData);
}

}  // namespace kalibrix
