#include "regwin/samples.h"

namespace kalibrix {

std::string flagText(unsigned) { return {}; }

AnalyteSamples correctSamples(const State&, std::size_t) { return {}; }

std::string samplesText(const State&, const NumberFormat&) { return {}; }

std::string samplesClipboardText(const State&, std::size_t, const NumberFormat&) { return {}; }

}  // namespace kalibrix
