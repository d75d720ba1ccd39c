#include "RuleEngine/TFidelity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "RuleSets.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

// A network of fan.rul's shape: two inputs and one output of three terms each.
TOmbra FanShapedNetwork(int inputs = 2) {
    const std::vector<int> mfPerInput(inputs, 3), mfPerOutput{3};
    TOmbra network(inputs, mfPerInput, 4, mfPerOutput, 1);
    std::vector<double> weights(network.GetWeightLayer(2).size());
    for (std::size_t i = 0; i < weights.size(); ++i)
        weights[i] = 0.1 * double(i % 7);
    network.SetWeightLayer(2, weights);
    network.SetWeightLayer(3, std::vector<double>(12, 0.5));
    return network;
}

TEST(TFidelity, GridCoversEveryCombinationLastInputFastest) {
    const auto rules = test::LoadToolRules("fan.rul");
    const TRuleBase base(*rules);
    const auto grid = TFidelity::Grid(base, 3);
    ASSERT_EQ(grid.size(), 9u);
    EXPECT_EQ(grid[1], (std::vector<double>{0, 0.5}));
    EXPECT_EQ(grid[3], (std::vector<double>{0.5, 0}));
    EXPECT_EQ(grid[8], (std::vector<double>{1, 1}));
    // The smallest grid is the corners; the largest holds exactly 10^6 samples.
    EXPECT_EQ(TFidelity::Grid(base, 2),
              (std::vector<std::vector<double>>{{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
    EXPECT_EQ(TFidelity::Grid(base, 1000).size(), 1000000u);
    EXPECT_THROW_TEXT(TFidelity::Grid(base, 1), ExportError,
                      "a grid needs at least 2 points per input");
    EXPECT_THROW_TEXT(TFidelity::Grid(base, 1001), ExportError,
                      "the grid would exceed 1000000 samples");
}

TEST(TFidelity, SamplesOfADataSetOldestFirst) {
    const auto rules = test::LoadToolRules("fan.rul");
    const TRuleBase base(*rules);
    Data data(3, 2, 1, false);
    for (double row : {1.0, 2.0, 3.0, 4.0}) {
        const double inputs[] = {row, -row}, outputs[] = {0};
        data.AppendRow(inputs, outputs, nullptr);
    }
    const auto samples = TFidelity::Samples(data, base);
    ASSERT_EQ(samples.size(), 3u);  // the ring of three dropped the first row
    EXPECT_EQ(samples[0], (std::vector<double>{2, -2}));
    EXPECT_EQ(samples[2], (std::vector<double>{4, -4}));
    // Exactly the rules' inputs: one column fewer or more is another data set.
    for (int inputs : {1, 3}) {
        const Data other(1, inputs, 1, false);
        EXPECT_THROW_TEXT(TFidelity::Samples(other, base), ExportError,
                          "the data set has " + std::to_string(inputs) + " inputs, the rules 2");
    }
}

// Expected outputs are compared only as many as the rules have; a data set of none is samples.
TEST(TFidelity, ExpectedOutputsOnlyAsManyAsTheRulesOutputs) {
    const auto rules = test::LoadToolRules("fan.rul");  // one output
    const TRuleBase base(*rules);
    const auto dataSet = [](int outputs) {
        auto data = std::make_unique<Data>(1, 2, outputs, false);
        const std::vector<double> values(static_cast<std::size_t>(outputs), 0.5);
        const double inputs[] = {0.5, 0.5};
        data->AppendRow(inputs, values, nullptr);
        return data;
    };
    EXPECT_TRUE(TFidelity::ComparedOutputs(*dataSet(0), base).empty());
    EXPECT_EQ(TFidelity::ComparedOutputs(*dataSet(1), base),
              (std::vector<std::vector<double>>{{0.5}}));
    EXPECT_THROW_TEXT(TFidelity::ComparedOutputs(*dataSet(2), base), ExportError,
                      "the data set has 2 outputs, the rules 1");
}

TEST(TFidelity, RuleStatisticsCountAtomsOfAnyOperator) {
    const auto rules = test::LoadToolRules("compound.rul");
    const TRuleStatistics s = TFidelity::Statistics(TRuleBase(*rules));
    EXPECT_EQ(s.Rules, 5);
    EXPECT_EQ(s.EngineRules, 6);  // seven consequences, one weighing -0.2
    EXPECT_EQ(s.MinAntecedents, 1);
    EXPECT_EQ(s.MaxAntecedents, 3);
    EXPECT_DOUBLE_EQ(s.MeanAntecedents, 2.0);
    EXPECT_EQ(s.MinConsequents, 1);
    EXPECT_EQ(s.MaxConsequents, 2);
    EXPECT_DOUBLE_EQ(s.MeanConsequents, 1.4);

    while (rules->RuleList->numRules() > 0)
        rules->RuleList->RemoveRule(0);
    const TRuleStatistics none = TFidelity::Statistics(TRuleBase(*rules));
    EXPECT_EQ(none.Rules, 0);
    EXPECT_EQ(none.MeanAntecedents, 0);
    EXPECT_EQ(none.MeanConsequents, 0);
}

TEST(TFidelity, ComparesOnSamplesWhereARuleIsActive) {
    const auto rules = test::LoadToolRules("fan.rul");
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
    TOmbra network = FanShapedNetwork();
    TFidelity fidelity(network, evaluator, base);
    std::ostringstream table;
    const auto grid = TFidelity::Grid(base, 3);
    const TFidelityReport report = fidelity.Measure(grid, &table);
    EXPECT_EQ(report.Samples, 9);
    ASSERT_EQ(report.Outputs.size(), 1u);
    EXPECT_EQ(report.Outputs[0].Silent, 2);  // Cold with Normal or Humid: no rule
    double largest = 0, squares = 0;
    for (const auto& sample : grid) {
        double rule = 0, net = 0;
        evaluator.Evaluate(sample, std::span<double>(&rule, 1));
        network.Recall(sample, std::span<double>(&net, 1));
        if (std::isnan(rule)) continue;
        largest = std::max(largest, std::fabs(rule - net));
        squares += (rule - net) * (rule - net);
    }
    EXPECT_DOUBLE_EQ(report.Outputs[0].Largest, largest);
    EXPECT_DOUBLE_EQ(report.Outputs[0].Rms, std::sqrt(squares / 7));
    EXPECT_GT(largest, 0);

    std::istringstream lines(table.str());
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "Temperature,Humidity,FanSpeed,FanSpeed@network");
    std::getline(lines, line);
    EXPECT_EQ(line.substr(0, 6), "0,0,0,");
    std::getline(lines, line);
    EXPECT_EQ(line.substr(0, 12), "0,0.5,nan,0.");

    std::ostringstream text;
    fidelity.WriteReport(report, text);
    EXPECT_NE(text.str().find("(singletons, minimum), 9 samples\n"), std::string::npos);
    EXPECT_NE(text.str().find("  22.2%\nrules 4 (5 engine rules)\n"), std::string::npos);
}

// No sample, or none on which a rule is active: nothing to average, so the figures are absent.
TEST(TFidelity, NothingComparedGivesNoFigures) {
    const auto rules = test::LoadToolRules("fan.rul");
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
    TOmbra network = FanShapedNetwork();
    TFidelity fidelity(network, evaluator, base);
    for (const std::vector<std::vector<double>>& samples :
         {std::vector<std::vector<double>>{}, {{0, 0.4}}}) {
        const TFidelityReport report = fidelity.Measure(samples, nullptr, true);
        EXPECT_EQ(report.Outputs[0].Silent, report.Samples);
        EXPECT_TRUE(std::isnan(report.Outputs[0].Rms));
        EXPECT_EQ(report.Outputs[0].Largest, 0);
        EXPECT_EQ(report.Classes.Agreeing, 0);
        std::ostringstream text;
        fidelity.WriteReport(report, text);
        const std::string share = samples.empty() ? "0.0%" : "100.0%";
        EXPECT_NE(text.str().find("\nFanSpeed  n/a  n/a  " + share + "\n"), std::string::npos)
            << text.str();
        EXPECT_NE(
            text.str().find("\nclass agreement 0 of " + std::to_string(samples.size()) +
                            " (0.0%), no rule active " + std::to_string(samples.size()) + "\n"),
            std::string::npos)
            << text.str();
    }
}

// One input of terms Low, Mid, High and two class outputs of terms No, Yes. Rule neuron 0 reads
// Low and rule neuron 1 High; `swapped` makes rule 0 vote for class 1 and rule 1 for class 0.
TOmbra TwoClassNetwork(bool swapped) {
    const std::vector<int> mfPerInput{3}, mfPerOutput{2, 2};
    TOmbra network(1, mfPerInput, 2, mfPerOutput, 2);
    network.SetWeightLayer(1, std::vector<double>{0, 0.5, 1});
    network.SetWeightLayer(2, std::vector<double>{4, 0, 0, 0, 0, 4});
    const std::vector<double> votesForClass0{0, 4, 4, 0}, votesForClass1{4, 0, 0, 4};
    std::vector<double> consequents = swapped ? votesForClass1 : votesForClass0;
    const std::vector<double>& second = swapped ? votesForClass0 : votesForClass1;
    consequents.insert(consequents.end(), second.begin(), second.end());
    network.SetWeightLayer(3, consequents);
    network.SetWeightLayer(4, std::vector<double>{0, 1, 0, 1});
    return network;
}

TEST(TFidelity, ClassAgreementComparesTheLargestOutputs) {
    TOmbra faithful = TwoClassNetwork(false);
    std::unique_ptr<TFuzzyRuleSet> rules;
    ExtractRules(faithful, rules, nullptr, nullptr);
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
    // Rules: class 0 at 0 and 0.2, none active at 0.5 (Mid is in no rule), class 1 at 1.
    const std::vector<std::vector<double>> samples{{0}, {0.2}, {0.5}, {1}};

    TFidelity same(faithful, evaluator, base);
    TFidelityReport report = same.Measure(samples, nullptr, true);
    EXPECT_TRUE(report.Classes.Compared);
    EXPECT_EQ(report.Classes.Agreeing, 3);
    EXPECT_EQ(report.Classes.Silent, 1);
    std::ostringstream text;
    same.WriteReport(report, text);
    EXPECT_NE(text.str().find("\nclass agreement 3 of 4 (75.0%), no rule active 1\nrules 2 "),
              std::string::npos)
        << text.str();

    TOmbra contrary = TwoClassNetwork(true);
    TFidelity opposite(contrary, evaluator, base);
    report = opposite.Measure(samples, nullptr, true);
    EXPECT_EQ(report.Classes.Agreeing, 0);
    EXPECT_EQ(report.Classes.Silent, 1);

    report = same.Measure(samples);
    EXPECT_FALSE(report.Classes.Compared);
    EXPECT_EQ(report.Classes.Agreeing, 0);
    std::ostringstream plain;
    same.WriteReport(report, plain);
    EXPECT_EQ(plain.str().find("class agreement"), std::string::npos);
}

// Of equal outputs, both sides pick the first; samples near Low, where the network and the
// rules read off it pick class 0.
TEST(TFidelity, EqualOutputsPickTheFirstClass) {
    TOmbra faithful = TwoClassNetwork(false);
    std::unique_ptr<TFuzzyRuleSet> rules;
    ExtractRules(faithful, rules, nullptr, nullptr);
    const std::vector<std::vector<double>> low{{0}, {0.2}};
    {
        // A network undecided: every rule votes alike for every action, so both outputs are 0.5.
        TOmbra undecided = TwoClassNetwork(false);
        undecided.SetWeightLayer(kActionWeights, std::vector<double>(8, 4.0));
        std::vector<double> outputs(2);
        undecided.Recall(low[1], outputs);
        EXPECT_EQ(outputs, (std::vector<double>{0.5, 0.5}));
        const TRuleBase base(*rules);
        const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
        TFidelity fidelity(undecided, evaluator, base);
        EXPECT_EQ(fidelity.Measure(low, nullptr, true).Classes.Agreeing, 2);
    }
    // Rules undecided: every consequence names the term Yes, so both outputs are 1.
    for (int r = 0; r < rules->RuleList->numRules(); ++r) {
        TRuleConsequenceList& consequences = *rules->RuleList->GetRule(r).ConsequenceList;
        for (int c = 0; c < consequences.numConsequences(); ++c) {
            const TRuleAtom atom = consequences.GetConsequence(c);
            consequences.SetConsequence(atom.Variable, 1, std::fabs(atom.Weight), false, c);
        }
    }
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
    std::vector<double> outputs(2);
    evaluator.Evaluate(low[1], outputs);
    EXPECT_EQ(outputs, (std::vector<double>{1, 1}));
    TFidelity fidelity(faithful, evaluator, base);
    EXPECT_EQ(fidelity.Measure(low, nullptr, true).Classes.Agreeing, 2);
}

TEST(TFidelity, OneHotClassesNeedOneOneAmongZerosInEveryRow) {
    auto oneHot = [](std::vector<std::vector<double>> outputRows) {
        const int outputs = static_cast<int>(outputRows.front().size());
        Data data(static_cast<int>(outputRows.size()), 1, outputs, false);
        for (const std::vector<double>& outputRow : outputRows) {
            const double input[] = {0.5};
            data.AppendRow(input, outputRow, nullptr);
        }
        return TFidelity::OneHotClasses(data);
    };
    EXPECT_TRUE(oneHot({{1, 0, 0}, {0, 0, 1}, {0, 1, 0}}));
    EXPECT_TRUE(oneHot({{0, 1}}));  // a single row
    EXPECT_FALSE(oneHot({{1, 0, 0}, {0, 0.5, 0.5}}));
    EXPECT_FALSE(oneHot({{1, 0, 0}, {1, 1, 0}}));
    EXPECT_FALSE(oneHot({{1, 0, 0}, {0, 0, 0}}));
    EXPECT_FALSE(oneHot({{1}, {1}}));                              // one output names no classes
    EXPECT_FALSE(TFidelity::OneHotClasses(Data(2, 1, 2, false)));  // no rows
}

TEST(TFidelity, RefusesANetworkOfAnotherShape) {
    const auto rules = test::LoadToolRules("fan.rul");
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
    TOmbra network = FanShapedNetwork(3);
    EXPECT_THROW_TEXT(TFidelity(network, evaluator, base), ExportError,
                      "the network has 3 inputs and 1 outputs, the rules 2 and 1");
}

// Against expected classes: a sample no rule speaks for counts as wrong; outputs on which no rule
// is active anywhere read "n/a", never a perfect-looking 0.
TEST(TFidelity, ComparesWithTheExpectedOutputs) {
    TOmbra network = TwoClassNetwork(false);
    std::unique_ptr<TFuzzyRuleSet> rules;
    ExtractRules(network, rules, nullptr, nullptr);
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
    TFidelity fidelity(network, evaluator, base);
    const std::vector<std::vector<double>> samples{{0}, {0.5}, {1}};
    const std::vector<std::vector<double>> expected{{1, 0}, {1, 0}, {1, 0}};
    TFidelityReport report = fidelity.Measure(samples, nullptr, true, &expected);
    EXPECT_EQ(report.Truth.RulesRight, 1);  // right at 0, silent at 0.5, wrong at 1
    std::ostringstream text;
    fidelity.WriteReport(report, text);
    EXPECT_NE(text.str().find("expected class: rules 1 of 3 (33.3%)"), std::string::npos)
        << text.str();

    const std::vector<std::vector<double>> silent{{0.5}};
    const std::vector<std::vector<double>> values{{0.3, 0.7}};
    report = fidelity.Measure(silent, nullptr, false, &values);
    EXPECT_TRUE(std::isnan(report.Outputs[0].Rms));
    EXPECT_TRUE(std::isnan(report.Truth.RulesRmse[0]));
    std::ostringstream none;
    fidelity.WriteReport(report, none);
    EXPECT_NE(none.str().find("  n/a  n/a  100.0%\n"), std::string::npos) << none.str();
}

}  // namespace
}  // namespace glean
