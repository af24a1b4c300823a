#pragma once

#include "run/state.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kalibrix {

// One analyte at a glance, from its last run.
struct AnalyteGlance {
    std::string name;
    std::optional<std::size_t> best;   // the method that predicts best (leave-one-out run)
    std::optional<double> looPercent;  // its leave-one-out per cent
    int inUse = 0;                     // standards fitted
    int rejected = 0;                  // standards rejected
    std::vector<int> suggested;        // X of the standards suggested for rejection
};

// Every analyte of the state, in table order.
std::vector<AnalyteGlance> analytesAtAGlance(const State& state);

}  // namespace kalibrix
