#include "regwin/run_split.h"

namespace kalibrix {

std::vector<std::string> idsByFrequency(const RunTable&) { return {}; }

bool idMatches(std::string_view pattern, std::string_view id) { return pattern == id; }

std::string standardPatternOf(const RunTable&, std::string_view pattern)
{
    return std::string(pattern);
}

RunSplit standardsOf(const RunTable&, std::string_view) { return {}; }

}  // namespace kalibrix
