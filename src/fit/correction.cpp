#include "fit/correction.h"

namespace kalibrix {

double defaultKnownValue(CorrectionKind kind) { return kind == CorrectionKind::Ratio ? 1 : 0; }

std::optional<CorrectedValue> correct(CorrectionKind, const CorrectionInput&)
{
    return std::nullopt;
}

}  // namespace kalibrix
