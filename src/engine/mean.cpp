#include "engine/mean.h"

#include "engine/polynomial.h"

namespace kalibrix {

FitOutcome fitMean(const FitInput& input)
{
    FitOutcome outcome = fitPolynomialOfDegree<0>(input);
    if (outcome.result && !outcome.result->coef.empty())
        outcome.result->a = outcome.result->coef.front();
    return outcome;
}

LooErrors looMean(const FitInput& input, LooWorkspace& workspace)
{
    return looPolynomialOfDegree<0>(input, workspace);
}

}  // namespace kalibrix
