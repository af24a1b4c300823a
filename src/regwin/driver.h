#pragma once

#include "app/state.h"
#include "app/user_message.h"
#include "fit/number_format.h"
#include "regwin/controls.h"

#include <vector>

namespace kalibrix {

struct RunReport {
    bool ran = false;                   // false when the window has not chosen a level yet
    std::vector<UserMessage> messages;  // to show, in order, after the run
};

enum class Drawing {
    Build,  // rebuild the picture in state.plot (what every window action does)
    Skip,   // numbers and labels only (batch runs that write no picture, benchmarks)
};

// Plot and calculate: recounts the table, runs every ticked fit, writes the statistics
// labels into controls.labels, and rebuilds the picture in state.plot. Every run starts
// from no result, so state.results holds exactly what this run computed. Does nothing
// while state.probCol is empty.
RunReport A_PLOT(State& state, RegControls& controls, const NumberFormat& fmt,
                 Drawing drawing = Drawing::Build);

// Reads the degree text of ComboBox1: a whole number (blanks around it allowed), or no value.
std::optional<int> parseDegreeText(const std::string& text);

}  // namespace kalibrix
