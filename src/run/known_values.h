#pragma once

#include "model/settings.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kalibrix {

// The names of the correction kinds, by CorrectionKind: kalibrix-cli's --correction and a
// session's "correction".
inline constexpr std::array<const char*, 3> kCorrectionNames{"ratio", "difference", "delta"};

inline const char* correctionName(CorrectionKind kind)
{
    return kCorrectionNames.at(static_cast<std::size_t>(kind));
}

// A known value as typed: "1000", "50±0.2" or "50+-0.2" (blanks around the parts taken,
// "." as decimal point, an exponent allowed); the uncertainty a standard one (1 sigma), not
// negative. None when the text is anything else or a number is not finite.
std::optional<KnownValue> readKnownValue(std::string_view text);

// The text readKnownValue reads back exactly: "1000", "50±0.2".
std::string knownValueText(const KnownValue& known);

// Why `known` cannot serve as a known value of a correction of `kind`: "a ratio needs a known
// value above 0", "a delta needs a known value above -1000"; none when it can.
std::optional<std::string> knownValueProblem(CorrectionKind kind, const KnownValue& known);

}  // namespace kalibrix
