#include "fit/logarithmic.h"

#include <cmath>

namespace kalibrix {

RegressionFit Log_Regression(const DataTable& table, int nOK)
{
    return fitLine(table, nOK, [](int x) { return std::log(static_cast<double>(x)); });
}

}  // namespace kalibrix
