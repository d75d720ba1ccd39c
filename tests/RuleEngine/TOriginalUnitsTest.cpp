#include "RuleEngine/TOriginalUnits.h"

#include <gtest/gtest.h>

#include <fstream>

#include "FileHandler/TRuleFile.h"
#include "RuleEngine/TRuleBase.h"
#include "RuleEngine/TRuleEvaluator.h"

namespace glean {
namespace {

// The bundled example's rules: two inputs and one output, on [0, 1].
std::unique_ptr<TFuzzyRuleSet> Rules() {
    std::ifstream in(std::string(GLEAN_EXAMPLES) + "/fan/fan.rul");
    FileTools tools;
    return TRuleFile::LoadRules(tools, in);
}

// Stated in the data's units, the rules answer on an original value what they answered on its
// scaled value, and a regression output comes out in the target's units.
TEST(ToOriginalUnits, AnswersTheSameOnOriginalValues) {
    const std::unique_ptr<TFuzzyRuleSet> scaled = Rules(), original = Rules();
    const TValueRange x{-10, 30}, h{0, 100}, y{100, 300};
    ToOriginalUnits(*original, std::vector<TValueRange>{x, h}, std::vector<TValueRange>{y});
    EXPECT_EQ(original->InputMFList->GetMFSet(0)->LowerBound, -10);
    EXPECT_EQ(original->InputMFList->GetMFSet(0)->UpperBound, 30);
    const TRuleBase a(*scaled), b(*original);
    const TRuleEvaluator onScaled(a, TConjunction::Minimum, TOutputMode::Singletons);
    const TRuleEvaluator onOriginal(b, TConjunction::Minimum, TOutputMode::Singletons);
    std::vector<double> out1(1), out2(1);
    for (double value : {-20.0, -10.0, -2.0, 0.0, 10.0, 16.0, 21.5, 26.0, 30.0, 45.0}) {
        const double humidity = 100 - 2 * value;
        onScaled.Evaluate(std::vector<double>{x.Scaled(value), h.Scaled(humidity)}, out1);
        onOriginal.Evaluate(std::vector<double>{value, humidity}, out2);
        EXPECT_NEAR(y.Original(out1[0]), out2[0], 1e-9) << value;
    }
}

TEST(ToOriginalUnits, RefusesRangesThatDoNotFit) {
    const std::unique_ptr<TFuzzyRuleSet> rules = Rules();
    const std::vector<TValueRange> one{{0, 1}}, two{{0, 1}, {0, 1}}, inverted{{0, 1}, {2, 1}};
    EXPECT_THROW(ToOriginalUnits(*rules, one, one), ExportError);
    EXPECT_THROW(ToOriginalUnits(*rules, inverted, one), ExportError);
    EXPECT_NO_THROW(ToOriginalUnits(*rules, two, one));
}

}  // namespace
}  // namespace glean
