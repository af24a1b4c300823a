#pragma once

#include "model/data_stats.h"
#include "model/fit_result.h"

#include <optional>
#include <string>
#include <vector>

namespace kalibrix {

// Everything one plot-and-calculate run computed. Each run starts from no result at all, so
// a method that was not asked for, or had too few points, has nothing here.
struct RunResults {
    bool computed = false;   // a run has taken place
    DataStats stats;         // the counts the fits used
    int nData = 0;           // the table's largest X at the run
    int nY = 0;              // its standards (X with Y above 0) at the run
    std::string degreeText;  // the degree the chosen-degree polynomial was asked for
    std::vector<int> rejected;  // the X of the standards (Y above 0) rejected at the run
    std::vector<std::optional<FitResult>> fits;  // by method
    std::vector<FitWarning> warnings;            // in the order the methods ran
    // With leave-one-out errors: the method that predicts best (the smallest per cent as the
    // grid shows it; of equal ones the smaller unrounded), and the X of the standards whose
    // errors there lie far outside the others'.
    std::optional<std::size_t> bestPredictor;
    std::vector<int> suggested;
    std::optional<double> typicalLooError;  // their robust standard deviation there
    std::vector<int> looX;      // the standards in use, in increasing X
    // Y minus the prediction of the best predictor for each of them; none where it has none.
    std::vector<std::optional<double>> looErrors;

    // The result of method `m`, or nullptr.
    const FitResult* fit(std::size_t m) const
    {
        return m < fits.size() && fits[m] ? &*fits[m] : nullptr;
    }
};

}  // namespace kalibrix
