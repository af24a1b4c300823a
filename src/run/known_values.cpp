#include "run/known_values.h"

#include <QLocale>
#include <QString>

#include <cmath>

namespace kalibrix {

namespace {

std::optional<double> finiteNumber(const QString& text)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

std::string shortest(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest).toStdString();
}

}  // namespace

std::optional<KnownValue> readKnownValue(std::string_view text)
{
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("+-"), QStringLiteral("\u00b1"));
    const QStringList parts = s.split(u'\u00b1');
    if (parts.size() > 2)
        return std::nullopt;
    const std::optional<double> value = finiteNumber(parts[0]);
    if (!value)
        return std::nullopt;
    KnownValue known{*value, std::nullopt};
    if (parts.size() == 2) {
        known.u = finiteNumber(parts[1]);
        if (!known.u || *known.u < 0)
            return std::nullopt;
    }
    return known;
}

std::string knownValueText(const KnownValue& known)
{
    return shortest(known.value) + (known.u ? "\u00b1" + shortest(*known.u) : std::string());
}

std::optional<std::string> knownValueProblem(CorrectionKind kind, const KnownValue& known)
{
    if (kind == CorrectionKind::Ratio && !(known.value > 0))
        return "a ratio needs a known value above 0";
    if (kind == CorrectionKind::Delta && !(known.value > -1000))
        return "a delta needs a known value above -1000";
    return std::nullopt;
}

}  // namespace kalibrix
