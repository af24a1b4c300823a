// Placeholder until the plot drawing lands; removed then.
#include "regwin/plot.h"

namespace kalibrix {

PlotDisplay buildPlot(const State&, const RegControls&, const NumberFormat&)
{
    return {};
}

}  // namespace kalibrix
