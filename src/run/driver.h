#pragma once

#include "model/user_message.h"
#include "run/number_format.h"
#include "run/state.h"

#include <vector>

namespace kalibrix {

inline constexpr const char* kTooFewDataMessage =
    "Too few data for polynomial regression of the requested degree.";
inline constexpr const char* kDegreeRangeMessage =
    "Polynomial degree must be a whole number from 0 to 23.";

struct RunReport {
    bool ran = false;                   // false when the window has not chosen a level yet
    std::vector<UserMessage> messages;  // to show, in order, after the run
};

enum class Drawing {
    Build,  // rebuild the picture in state.plot (what every window action does)
    Skip,   // numbers only (batch runs that write no picture, benchmarks)
};

enum class LeaveOneOutErrors {
    Skip,     // the fits only
    Compute,  // also every fitted method's leave-one-out errors, the method that predicts
              // best and the standards suggested for rejection
};

// Plot and calculate: for every analyte, recounts its table and runs every method the
// settings ask for (and the linear one always) that has the points it needs, in their run
// order; then rebuilds the picture of the selected analyte in state.plot. Every run starts
// from no result, so each analyte's results hold exactly what this run computed. The
// messages are those of the selected analyte (the others' stay in their results' warnings).
// Does nothing while no confidence level is chosen.
RunReport plotAndCalculate(State& state, const NumberFormat& fmt, Drawing drawing = Drawing::Build,
                           LeaveOneOutErrors loo = LeaveOneOutErrors::Skip);

// Shows another analyte: selects analyte `index` and, once a run has been, rebuilds the
// picture from what the last run computed for it and its rejections since. Fits nothing.
void showAnalyte(State& state, const NumberFormat& fmt, std::size_t index);

// One analyte's part of the run.
void runAnalyte(Analyte& analyte, const StudentTable& student, const Settings& settings,
                LeaveOneOutErrors loo);

// The message box the user sees for a warning of a run.
UserMessage messageFor(const FitWarning& warning);

}  // namespace kalibrix
