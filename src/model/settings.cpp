#include "model/settings.h"

namespace kalibrix {

const std::vector<std::string>& levelItems()
{
    static const std::vector<std::string> items{"0.1    80%", "0.05   90%", "0.025  95%",
                                                "0.01   98%", "0.005  99%", "0.001  99.8"};
    return items;
}

const std::vector<std::string>& degreeItems()
{
    static const std::vector<std::string> items = [] {
        std::vector<std::string> v;
        for (int d = 2; d <= kHighestDegreeItem; ++d)
            v.push_back(std::to_string(d));
        return v;
    }();
    return items;
}

}  // namespace kalibrix
