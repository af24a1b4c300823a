#pragma once

#include "run/number_format.h"
#include "run/state.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kalibrix {

// What stands at each X = 0..nData of analyte `a` after its last run: "standard",
// "rejected" or "suggested" at a standard (stateWord), "sample" at a sample line of a run
// table, nullptr elsewhere (and before a run at every standard).
std::vector<const char*> exportStates(const State& state, std::size_t a);

// kalibrix-cli --format long: the export as one line per X per exported method per analyte,
// tab-separated under one title line (Analyte, X, Data, State, Method, Value, ±), the
// method by its kalibrix-cli name, numbers as the export writes them, LF line ends. The
// "±" is the half-width the export gives with "Export uncertainties" (the band's, for the
// band's method with the curve's kind); empty without.
std::string exportLongText(const State& state, const NumberFormat& fmt);

// kalibrix-cli --format csv: the export as comma-separated values (RFC 4180: CR LF line ends,
// cells with a comma, quote or line end quoted, quotes doubled), "." the decimal point: one
// title line, then one line per X = 1..nData with X once and per analyte a block of its
// Data, each exported method's value and, with "Export uncertainties", its "±". A named
// table's titles are led by the analyte's name and a blank ("Cu Data", "Cu L.R. Fit").
std::string exportCsvText(const State& state);

}  // namespace kalibrix
