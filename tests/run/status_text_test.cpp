// The status line's texts that depend on a run's results rather than on the window.
#include "run/status_text.h"
#include "support/test_support.h"

using namespace kalibrix;
using kalibrix::test::method;

namespace {

// A run of five standards in use, none rejected, whose best predictor is `best`.
RunResults runWithBest(std::optional<std::size_t> best)
{
    RunResults results;
    results.computed = true;
    results.stats.nOK = 5;
    results.bestPredictor = best;
    return results;
}

constexpr const char* kMeanSays =
    "The mean predicts best: the drift does not exceed the scatter of the standards.";

}  // namespace

// Only a run whose best predictor is the mean says that the drift stays within the scatter;
// without a mean in the method table nothing is said.
TEST(StatusText, TheMeanThatPredictsBestSaysTheDriftIsWithinTheScatter)
{
    const std::size_t linear = method("linear"), log = method("log");
    EXPECT_EQ(bestPredictorText(runWithBest(linear), linear), kMeanSays);
    EXPECT_EQ(bestPredictorText(runWithBest(log), linear), "");
    EXPECT_EQ(bestPredictorText(runWithBest(std::nullopt), linear), "");
    EXPECT_EQ(bestPredictorText(runWithBest(linear), std::nullopt), "");
    EXPECT_EQ(bestPredictorText(RunResults{}, std::nullopt), "");

    // After a calculation the status line says it, of the method table's own mean.
    const std::optional<std::size_t> mean = methodNamed("mean");
    const std::string calculated = "Cu: calculated with 5 standards in use, 0 rejected";
    EXPECT_EQ(calculatedText(runWithBest(mean.value_or(linear)), "Cu"),
              mean ? calculated + ". " + kMeanSays : calculated);
    EXPECT_EQ(calculatedText(runWithBest(log == mean ? linear : log), "Cu"), calculated);
}
