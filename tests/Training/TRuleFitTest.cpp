#include "Training/TRuleFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "FileHandler/TRuleFile.h"
#include "RuleEngine/TRuleBase.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

// The tiny network of the end-to-end cases, its input Level scaled from [low, high]; both its
// rules need "Level is High", so none fires at the bottom of the range.
TRuleModel TinyModel(double low, double high) {
    const std::string data = std::string(GLEAN_TEST_DATA) + "/../e2e/data/";
    std::ifstream weights(data + "tiny.wts");
    std::ifstream labels(data + "tiny.lbl");
    return ReadRuleModel(weights, labels,
                         {{"Level", "input", low, high}, {"Valve", "output", 0, 1}});
}

std::string Saved(const TFuzzyRuleSet& rules) {
    FileTools tools;
    std::ostringstream out;
    TRuleFile::SaveRules(tools, out, rules);
    return out.str();
}

// The model written and read again, with its exact weights or with the weight file's alone.
TRuleModel RoundTrip(const TRuleModel& model, bool exact) {
    std::ostringstream weights, labels;
    WriteRuleModel(model, weights, labels);
    std::istringstream weightsAgain(weights.str()), labelsAgain(labels.str());
    const std::vector<std::vector<double>> layers = ModelWeights(model);
    return ReadRuleModel(weightsAgain, labelsAgain, model.Scaling, exact ? &layers : nullptr);
}

TEST(RuleModel, WrittenAndReadAgainGivesTheSameModel) {
    TRuleModel changed = TinyModel(10, 20);
    // An output centre that the weight file's fifteen significant digits cannot hold.
    std::vector<double> centres = changed.Network->GetWeightLayer(kOutputCentres);
    centres[0] = 1.0 / 3;
    changed.Network->SetWeightLayer(kOutputCentres, centres);
    const TRuleModel model = RoundTrip(changed, true);  // its rules read off the changed network
    EXPECT_EQ(ModelWeights(model), ModelWeights(changed));
    EXPECT_NE(ModelWeights(RoundTrip(model, false)), ModelWeights(model));

    const TRuleModel again = RoundTrip(model, true);
    EXPECT_EQ(Saved(*again.Rules), Saved(*model.Rules));
    EXPECT_EQ(Saved(*again.OriginalRules), Saved(*model.OriginalRules));
    const std::vector<std::vector<double>> rows{{12}, {15}, {20}};
    EXPECT_EQ(RuleOutputs(again, rows), RuleOutputs(model, rows));
    EXPECT_EQ(NetworkOutputs(again, rows), NetworkOutputs(model, rows));
    // The rules speak in the units of the scaling: 20 is the top of Level's range.
    EXPECT_EQ(RuleOutputs(TinyModel(10, 20), {{20}}), RuleOutputs(TinyModel(0, 1), {{1}}));
    EXPECT_EQ(TRuleBase(*model.OriginalRules).InputSet(0).UpperBound, 20);
}

TEST(RuleModel, ReadRefusesWhatDoesNotFitTheNetwork) {
    const std::string data = std::string(GLEAN_TEST_DATA) + "/../e2e/data/";
    std::ifstream weights(data + "tiny.wts");
    std::ifstream labels(data + "tiny.lbl");
    EXPECT_THROW(ReadRuleModel(weights, labels, {{"Level", "input", 0, 1}}), ExportError);

    const TRuleModel model = TinyModel(0, 1);
    std::vector<std::vector<double>> layers = ModelWeights(model);
    layers[kActionWeights - kInputCentres].push_back(0.5);
    std::ostringstream text, names;
    WriteRuleModel(model, text, names);
    std::istringstream textAgain(text.str()), namesAgain(names.str());
    EXPECT_TEXCEPTION(ReadRuleModel(textAgain, namesAgain, model.Scaling, &layers),
                      "Weights do not fit the network", "Bad Data", "ReadRuleModel");
}

TEST(RuleModel, RuleAnswersTakeTheFallbackWhereNoRuleFires) {
    const TRuleModel model = TinyModel(0, 1);
    const std::vector<std::vector<double>> rows{{0}, {1}};
    const auto outputs = RuleOutputs(model, rows);
    ASSERT_TRUE(std::isnan(outputs[0][0]));
    ASSERT_FALSE(std::isnan(outputs[1][0]));
    const auto answers = RuleAnswers(model, rows, std::vector<double>{7});
    EXPECT_EQ(answers[0], std::vector<double>{7});
    EXPECT_EQ(answers[1], outputs[1]);
    EXPECT_CHECK_FAILS(RuleAnswers(model, rows, std::vector<double>{7, 8}),
                       "fallback.size() == answer.size()");
}

}  // namespace
}  // namespace glean
