#pragma once

#include "engine/correction.h"
#include "run/number_format.h"
#include "run/state.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kalibrix {

// Why a corrected sample deserves a second look; it still gets its number.
enum SampleFlag : unsigned {
    kFlagNone = 0,
    kFlagExtrapolated = 1,  // before the first or after the last standard in use
    kFlagGap = 2,           // farther than "Max. gap" from the nearest standard on a side
    kFlagNoValue = 4,       // the method has no value at the sample's X
};

// The flags in words, joined by ", " ("" for none).
std::string flagText(unsigned flags);

// One sample line of one analyte, corrected.
struct CorrectedSample {
    std::size_t line = 0;  // in RunTable::lines
    std::string id;
    int x = 0;
    std::optional<double> reading;
    std::optional<double> readingErr;
    std::optional<double> standard;           // S(X)
    std::optional<double> standardHalfWidth;  // of its curve uncertainty, at the chosen level
    std::optional<double> corrected;
    std::optional<double> correctedHalfWidth;  // at the chosen level
    unsigned flags = kFlagNone;
    bool check = false;  // a line of the check standard
};

// The check standard's lines of one analyte, summed up: the proof that the correction works.
struct CheckSummary {
    int count = 0;  // check lines with a corrected value
    std::optional<double> mean;
    std::optional<double> sd;    // of the corrected values (two or more)
    std::optional<double> bias;  // mean minus the check's known value
    // Bias over its standard uncertainty: the uncertainty of the mean of independent
    // results, sqrt(sum u_i^2) / count, and the check's known value's, in quadrature.
    std::optional<double> z;
};

// One analyte's corrected samples, from its last run.
struct AnalyteSamples {
    std::optional<std::size_t> method;     // the method that corrected; none: no run or no such
    std::vector<CorrectedSample> samples;  // the sample lines where the analyte has a reading,
                                           // in text order
    std::optional<CheckSummary> check;     // with a check standard
};

// The samples of analyte `a` corrected with the settings' method, kind and known values and
// what its last run computed. Without a run table, or before a run, no samples.
AnalyteSamples correctSamples(const State& state, std::size_t a);

// kalibrix-cli --samples: the tidy table of every analyte, one title line (Analyte, ID, X,
// Reading, Reading err, Standard, Standard ±, Corrected, Corrected ±, Method, Flag), LF
// line ends, numbers as the export writes them.
std::string samplesText(const State& state, const NumberFormat& fmt);

// The window's copy of the samples of analyte `a`: the columns of samplesText without
// Analyte, tab-separated, one title line, every line ended by CR LF as spreadsheets copy
// and paste text.
std::string samplesClipboardText(const State& state, std::size_t a, const NumberFormat& fmt);

}  // namespace kalibrix
