// The correction of one reading by the standard's value at its X: value, standard
// uncertainty and its degrees of freedom for each kind, against figures worked out by hand.
#include "engine/correction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace kalibrix;

namespace {

struct Row {
    const char* what;
    CorrectionKind kind;
    CorrectionInput in;
    std::optional<long double> value;  // none: no result
    std::optional<long double> u2;     // of the corrected value, squared; none: no u
    std::optional<int> dof;
};

Uncertainty curveU(double u, std::optional<int> dof) { return {u, 10 * u, dof}; }

}  // namespace

TEST(Correction, HandCheckedTable)
{
    using enum CorrectionKind;
    const Row rows[] = {
        // 2.5 * 4 / 2; (4/2 * 0.1)^2 + (2.5 * 4 / 4 * 0.04)^2 + (2.5/2 * 0.2)^2 = 0.1125;
        // 5 * 0.1125^2 / 0.1^4 = 632.8125
        {"ratio", Ratio, {2.5, 0.1, 2, curveU(0.04, 5), {4, 0.2}}, 5, 0.1125L, 632},
        // 1.69 = 0.3^2 + 0.4^2 + 1.2^2; 4 * 1.69^2 / 0.4^4 = 446.27
        {"difference", Difference, {10.5, 0.3, 10, curveU(0.4, 4), {3, 1.2}}, 3.5, 1.69L, 446},
        // (1.01 * 0.98 - 1) * 1000; 0.98^2 + (1.01 * 980 * 0.002)^2 + (1.01 * 0.5)^2;
        // 3 * (5.13424116 / 3.91881616)^2 = 5.15
        {"delta", Delta, {1.01, 0.001, 1, curveU(0.002, 3), {-20, 0.5}}, -10.2L, 5.13424116L, 5},
        // Only u_S: its own degrees of freedom, not one less.
        {"ratio, u_S alone", Ratio, {3, {}, 2, curveU(0.5, 7), {1, {}}}, 1.5, 0.140625L, 7},
        {"u_S without dof", Difference, {1, 0.1, 2, curveU(0.2, {}), {0, {}}}, -1, 0.05L, {}},
        {"u_S of 0", Ratio, {1, 0.1, 2, curveU(0, 9), {1, {}}}, 0.5, 0.0025L, {}},
        {"no u_S: no u", Ratio, {1, 0.1, 2, {}, {1, 0.1}}, 0.5, {}, {}},
        {"S = 0, ratio", Ratio, {1, 0.1, 0, curveU(0.1, 5), {1, {}}}, {}, {}, {}},
        {"S = 0, delta", Delta, {1, 0.1, 0, curveU(0.1, 5), {0, {}}}, {}, {}, {}},
        {"0 / 0", Ratio, {0, 0.1, 0, curveU(0.1, 5), {1, {}}}, {}, {}, {}},
        {"R = 0, ratio", Ratio, {1, {}, 1, curveU(0.1, 5), {0, {}}}, {}, {}, {}},
        {"R = -1000, delta", Delta, {1, {}, 1, curveU(0.1, 5), {-1000, {}}}, {}, {}, {}},
        {"R = 1e-300, ratio", Ratio, {1, {}, 1, curveU(0.1, 5), {1e-300, {}}}, 1e-300L, 1e-602L, 5},
        {"R = -999, delta", Delta, {1, {}, 1, curveU(0.1, 5), {-999, {}}}, -999, 1e-2L, 5},
        {"any R, difference", Difference, {1, {}, 1, curveU(0.1, 5), {-1000, {}}}, -1000, 0.01L, 5},
        {"value beyond a double", Ratio, {1e300, {}, 1e-300, curveU(1, 5), {1, {}}}, {}, {}, {}},
        // 1e200 fits a double, its uncertainty 1e200 / 1e-100 * 1e10 does not.
        {"u beyond a double", Ratio, {1e100, {}, 1e-100, curveU(1e10, 5), {1, {}}}, 1e200L, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::optional<CorrectedValue> c = correct(row.kind, row.in);
        ASSERT_EQ(c.has_value(), row.value.has_value());
        if (!c)
            continue;
        EXPECT_LE(std::fabs(c->value - *row.value), 1e-13L * std::fabs(*row.value));
        ASSERT_EQ(c->u.has_value(), row.u2.has_value());
        if (c->u) {
            EXPECT_LE(std::fabs(static_cast<long double>(*c->u) * *c->u - *row.u2),
                      1e-13L * *row.u2);
        }
        EXPECT_EQ(c->dof, row.dof);
    }
}
