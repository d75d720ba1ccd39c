#include "Training/TOmbraTrainer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "FileHandler/NetworkFile.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "Training/TOmbraModel.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

// Two inputs on a grid; the output is high exactly when input 0 is high. Input 1 carries nothing.
TSamples ThresholdProblem() {
    TSamples samples;
    samples.Inputs = 2;
    samples.Outputs = 1;
    for (int i = 0; i <= 6; ++i) {
        for (int j = 0; j <= 4; ++j) {
            const double x0 = i / 6.0;
            samples.Input.push_back({x0, j / 4.0});
            samples.Target.push_back({x0 > 0.5 ? 1.0 : 0.0});
        }
    }
    return samples;
}

TTrainingSettings LwfSettings() {
    TTrainingSettings settings;
    settings.Epochs = 300;
    settings.LearningRate = 0.2;
    settings.Momentum = 0.5;
    settings.Seed = 7;
    settings.InitialMinimum = -0.5;
    settings.InitialMaximum = 0.5;
    settings.Penalty = TKQstructure("LWF");
    settings.Penalty.SetString("LEARNINGRATE", "1");
    settings.Penalty.SetString("FORGETTINGRATE", "0.0005");
    return settings;
}

std::string Text(TBasicNetwork& network) {
    FileTools tools;
    std::ostringstream out;
    WriteNetwork(tools, out, network);
    return out.str();
}

TEST(TOmbraTrainer, LearnsAThresholdAndTheRulesNameTheRightTerms) {
    const TSamples samples = ThresholdProblem();
    TOmbraTrainer trainer(LwfSettings());
    auto network = trainer.CreateNetwork({{2, 2}, 2, {2}}, samples);
    const TFit before = MeasureFit(*network, samples);
    const TFit fit = trainer.Train(*network, samples, nullptr);
    EXPECT_LT(fit.Rms, 0.2);
    EXPECT_LT(fit.Rms, before.Rms / 2);

    const auto rules = BuildRuleList(*network, 1.0, 1.0);
    ASSERT_GE(rules->numRules(), 1);
    bool high = false;
    bool low = false;
    for (int r = 0; r < rules->numRules(); ++r) {
        const TRule& rule = rules->GetRule(r);
        const TRuleExprList& terms = rule.Antecedent->List();
        // Input 1 is noise: after forgetting, no rule should name it.
        ASSERT_EQ(terms.numSubExpressions(), 1) << "rule " << r;
        const TRuleAtom& condition = terms.GetSubExpression(0).Atom();
        EXPECT_EQ(condition.Variable, 0);
        ASSERT_EQ(rule.ConsequenceList->numConsequences(), 1) << "rule " << r;
        const TRuleAtom& action = rule.ConsequenceList->GetConsequence(0);
        // Input 0 low gives output low (term 0), high gives high (term 1).
        EXPECT_EQ(action.Term, condition.Term) << "rule " << r;
        (condition.Term == 1 ? high : low) = true;
    }
    EXPECT_TRUE(high || low);
}

TEST(TOmbraTrainer, SameSeedSameBytesOtherSeedOtherWeights) {
    const TSamples samples = ThresholdProblem();
    TTrainingSettings settings = LwfSettings();
    settings.Epochs = 20;
    settings.TrainInputCentres = true;
    settings.TrainOutputCentres = true;
    auto run = [&](std::uint64_t seed) {
        settings.Seed = seed;
        TOmbraTrainer trainer(settings);
        auto network = trainer.CreateNetwork({{3, 2}, 3, {2}}, samples);
        trainer.Train(*network, samples, nullptr);
        return Text(*network);
    };
    const std::string first = run(3);
    EXPECT_EQ(run(3), first);
    EXPECT_NE(run(4), first);
}

TEST(TOmbraTrainer, ProgressLinePerEpochWithAccuracyForClasses) {
    TSamples samples = ThresholdProblem();
    for (auto& t : samples.Target)
        t = {t[0], 1.0 - t[0]};
    samples.Outputs = 2;
    TTrainingSettings settings = LwfSettings();
    settings.Epochs = 3;
    TOmbraTrainer trainer(settings);
    auto network = trainer.CreateNetwork({{2, 2}, 2, {2, 2}}, samples);
    std::ostringstream progress;
    trainer.Train(*network, samples, &progress);
    std::istringstream lines(progress.str());
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        ++n;
        EXPECT_EQ(line.rfind("epoch " + std::to_string(n) + " error ", 0), 0u) << line;
        EXPECT_NE(line.find(" penalty "), std::string::npos) << line;
        EXPECT_NE(line.find(" accuracy "), std::string::npos) << line;
    }
    EXPECT_EQ(n, 3);
}

TEST(TOmbraTrainer, TrainedCentresStayOrderedInsideTheUnitRange) {
    const TSamples samples = ThresholdProblem();
    for (const double gap : {0.0, 0.2}) {
        TTrainingSettings settings = LwfSettings();
        settings.Epochs = 60;
        settings.LearningRate = 2.0;  // large steps push centres hard against their bounds
        settings.TrainInputCentres = true;
        settings.TrainOutputCentres = true;
        settings.CentreGap = gap;
        TOmbraTrainer trainer(settings);
        auto network = trainer.CreateNetwork({{4, 3}, 3, {3}}, samples);
        trainer.Train(*network, samples, nullptr);
        for (int layer : {1, 4}) {
            const std::vector<double> centres = network->GetWeightLayer(layer);
            const std::vector<int> counts =
                layer == 1 ? std::vector<int>{4, 3} : std::vector<int>{3};
            std::size_t k = 0;
            for (int count : counts) {
                for (int m = 0; m < count; ++m, ++k) {
                    EXPECT_GE(centres[k], 0.0);
                    EXPECT_LE(centres[k], 1.0);
                    if (m > 0) {
                        EXPECT_GE(centres[k] - centres[k - 1], gap - 1e-12) << layer << ' ' << k;
                    }
                }
            }
        }
    }
}

TEST(TOmbraTrainer, CentresMoveAtTheirOwnRate) {
    const TSamples samples = ThresholdProblem();
    TTrainingSettings settings = LwfSettings();
    settings.Epochs = 40;
    settings.TrainInputCentres = true;
    auto trained = [&](double centreRate) {
        TTrainingSettings s = settings;
        s.CentreRate = centreRate;
        TOmbraTrainer trainer(s);
        auto network = trainer.CreateNetwork({{3, 3}, 3, {2}}, samples);
        trainer.Train(*network, samples, nullptr);
        return network;
    };
    // Rate 0 stands for the learning rate.
    EXPECT_EQ(Text(*trained(0.0)), Text(*trained(settings.LearningRate)));
    const std::vector<double> even{0, 0.5, 1, 0, 0.5, 1};
    double moved = 0, crept = 0;
    const std::vector<double> fast = trained(0.0)->GetWeightLayer(1);
    const std::vector<double> slow = trained(1e-9)->GetWeightLayer(1);
    for (std::size_t k = 0; k < even.size(); ++k) {
        moved = std::max(moved, std::fabs(fast[k] - even[k]));
        crept = std::max(crept, std::fabs(slow[k] - even[k]));
    }
    EXPECT_GT(moved, 1e-3);
    EXPECT_LT(crept, 1e-6);
}

TEST(TOmbraTrainer, RefusesACentreGapTheMFsCannotKeep) {
    const TSamples samples = ThresholdProblem();
    TTrainingSettings settings = LwfSettings();
    settings.CentreGap = 0.4;
    TOmbraTrainer trainer(settings);
    auto network = trainer.CreateNetwork({{4, 3}, 2, {2}}, samples);
    trainer.Train(*network, samples, nullptr);  // centres not trained: the gap is not used
    settings.TrainInputCentres = true;
    TOmbraTrainer centred(settings);
    EXPECT_TEXCEPTION(centred.Train(*network, samples, nullptr), "Centre gap too wide for 4 MFs",
                      "Bad Parameter", "TOmbraTrainer::Train");
    // Three MFs keep a gap of exactly a half: their centres then lie at 0, 0.5 and 1.
    settings.CentreGap = 0.5;
    settings.Epochs = 1;
    TOmbraTrainer widest(settings);
    auto three = widest.CreateNetwork({{3, 3}, 2, {2}}, samples);
    widest.Train(*three, samples, nullptr);
    EXPECT_EQ(three->GetWeightLayer(kInputCentres), (std::vector<double>{0, 0.5, 1, 0, 0.5, 1}));
}

TEST(TOmbraTrainer, PositiveConsequentsStayAtZeroOrAbove) {
    const TSamples samples = ThresholdProblem();
    TTrainingSettings settings = LwfSettings();
    settings.InitialMinimum = -2.0;
    settings.NonNegativeConsequents = true;
    TOmbraTrainer trainer(settings);
    auto network = trainer.CreateNetwork({{2, 2}, 3, {2}}, samples);
    const TFit fit = trainer.Train(*network, samples, nullptr);
    for (double w : network->GetWeightLayer(3))
        EXPECT_GE(w, 0.0);
    // Without a bias the actions cannot switch off, but the outputs still order the cases.
    std::vector<double> low(1);
    std::vector<double> high(1);
    network->Recall(std::vector<double>{0.1, 0.5}, low);
    network->Recall(std::vector<double>{0.9, 0.5}, high);
    EXPECT_LT(low[0], 0.5);
    EXPECT_GT(high[0], 0.5);
    EXPECT_LT(fit.Rms, 0.45);
}

TEST(TOmbraTrainer, FrozenWeightsKeepTheirValues) {
    const TSamples samples = ThresholdProblem();
    TOmbraTrainer trainer(LwfSettings());
    auto network = trainer.CreateNetwork({{2, 2}, 2, {2}}, samples);
    network->FreezeWeight(2, 1, 0);
    const double frozen = network->GetWeightValue(2, 1, 0);
    const double free = network->GetWeightValue(2, 0, 0);
    trainer.Train(*network, samples, nullptr);
    EXPECT_EQ(network->GetWeightValue(2, 1, 0), frozen);
    EXPECT_NE(network->GetWeightValue(2, 0, 0), free);
}

TEST(TOmbraTrainer, WrittenNetworkReadsBackAndRecallsTheSame) {
    const TSamples samples = ThresholdProblem();
    TTrainingSettings settings = LwfSettings();
    settings.Epochs = 30;
    settings.TrainInputCentres = true;
    TOmbraTrainer trainer(settings);
    auto network = trainer.CreateNetwork({{3, 2}, 3, {2}}, samples);
    trainer.Train(*network, samples, nullptr);
    const std::string file = ::testing::TempDir() + "trained.wts";
    FileTools tools;
    SaveNetworkFile(tools, file, *network);
    auto reread = LoadNetworkFile(tools, file);
    std::remove(file.c_str());
    std::vector<double> mine(1);
    std::vector<double> theirs(1);
    for (const std::vector<double>& x : samples.Input) {
        network->Recall(x, mine);
        reread->Recall(x, theirs);
        // The writer keeps 15 significant digits.
        EXPECT_NEAR(theirs[0], mine[0], 1e-12);
    }
    EXPECT_EQ(Text(*reread), Text(*network));
}

TEST(TOmbraTrainer, PenaltyGradientMatchesTheLibrarysPenalty) {
    const std::vector<double> weights = {0.7, -1.3, 0.2, -0.05, 2.5, 0.0};
    TTrainingSettings quad;
    quad.Penalty = TKQstructure("QUADPENALTY");
    quad.Penalty.SetString("EPSILON1", "0.3");
    quad.Penalty.SetString("EPSILON2", "0.02");
    quad.Penalty.SetString("BETA", "1.7");
    for (const TTrainingSettings& settings : {quad, LwfSettings()}) {
        TOmbraTrainer trainer(settings);
        std::vector<double> gradient(weights.size(), 0.0);
        trainer.AddPenaltyGradient(weights, gradient);
        for (std::size_t i = 0; i < weights.size(); ++i) {
            std::vector<double> up(weights);
            std::vector<double> down(weights);
            up[i] += 1e-6;
            down[i] -= 1e-6;
            const double numeric = (trainer.Penalty(up) - trainer.Penalty(down)) / 2e-6;
            EXPECT_NEAR(gradient[i], numeric, 1e-6) << settings.Penalty.Name << " " << i;
        }
    }
}

// The edge of every setting's range is a setting the trainer takes.
TEST(TOmbraTrainer, TakesTheLeastSettings) {
    const std::function<void(TTrainingSettings&)> rows[] = {
        [](auto& s) { s.Epochs = 1; },
        [](auto& s) { s.LearningRate = std::numeric_limits<double>::min(); },
        [](auto& s) { s.Momentum = 0.0; },
        [](auto& s) { s.InitialMinimum = s.InitialMaximum = 0.25; },
        [](auto& s) {  // the widest range: its width is the largest double
            s.InitialMaximum = std::numeric_limits<double>::max() / 2;
            s.InitialMinimum = -s.InitialMaximum;
        },
        [](auto& s) { s.CentreRate = 0.0; },
        [](auto& s) { s.CentreGap = 0.0; },
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        TTrainingSettings settings;
        settings.Momentum = 0.5;
        settings.CentreRate = settings.CentreGap = 0.1;
        rows[i](settings);
        EXPECT_NO_THROW(TOmbraTrainer{settings}) << "row " << i;
    }
}

TEST(TOmbraTrainer, RefusesBadSettings) {
    const char* op = "TOmbraTrainer::TOmbraTrainer";
    auto with = [](auto change) {
        TTrainingSettings s;
        change(s);
        return s;
    };
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) { s.Epochs = 0; })), "Epochs must be >= 1",
                      "Bad Parameter", op);
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) { s.LearningRate = 0; })),
                      "Learning rate must be > 0", "Bad Parameter", op);
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) { s.LearningRate = NAN; })),
                      "Learning rate must be > 0", "Bad Parameter", op);
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) { s.Momentum = 1.0; })),
                      "Momentum must be in [0, 1)", "Bad Parameter", op);
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) { s.InitialMinimum = 2.0; })),
                      "Initial weight range is empty", "Bad Parameter", op);
    // One step beyond the widest range (TakesTheLeastSettings): its width is no number.
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) {
                          const double half = std::numeric_limits<double>::max() / 2;
                          s.InitialMinimum = -half;
                          s.InitialMaximum = std::nextafter(half, INFINITY);
                      })),
                      "Initial weight range is too wide", "Bad Parameter", op);
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) { s.Penalty.Name = "L2"; })),
                      "Unknown penalty: L2", "Bad Parameter", op);
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) {
                          s.Penalty.Name = "LWF";
                          s.Penalty.SetString("FORGETTINGRATE", "fast");
                      })),
                      "Penalty parameter is not a number", "Bad Parameter", op);
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) { s.CentreRate = -0.1; })),
                      "Centre rate must be >= 0", "Bad Parameter", op);
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) { s.CentreRate = NAN; })),
                      "Centre rate must be >= 0", "Bad Parameter", op);
    EXPECT_TEXCEPTION(TOmbraTrainer(with([](auto& s) { s.CentreGap = -0.1; })),
                      "Centre gap must be >= 0", "Bad Parameter", op);
}

TEST(TOmbraTrainer, RefusesShapesAndDataThatDoNotFit) {
    const TSamples samples = ThresholdProblem();
    TOmbraTrainer trainer(TTrainingSettings{});
    const char* op = "TOmbraTrainer::CreateNetwork";
    EXPECT_TEXCEPTION(trainer.CreateNetwork({{2, 2}, 0, {2}}, samples), "Must be >= 1 rule",
                      "Bad Parameter", op);
    EXPECT_TEXCEPTION(trainer.CreateNetwork({{2}, 2, {2}}, samples),
                      "MF counts do not fit the data set", "Bad Parameter", op);
    EXPECT_TEXCEPTION(trainer.CreateNetwork({{2, 1}, 2, {2}}, samples), "Must be >= 2 MF per input",
                      "Bad Parameter", "TOmbra::TOmbra");
    TOmbra other(3, std::vector<int>{2, 2, 2}, 2, std::vector<int>{2}, 1);
    EXPECT_TEXCEPTION(trainer.Train(other, samples, nullptr), "Data set does not fit the network",
                      "Bad Data", "TOmbraTrainer::Train");
}

// Of equal outputs, the first is the network's class.
TEST(MeasureFit, EqualOutputsPickTheFirstClass) {
    TOmbra network(1, std::vector<int>{2}, 2, std::vector<int>{2, 2}, 2);
    network.SetWeightLayer(kOutputCentres, std::vector<double>{0, 1, 0, 1});
    // All actions alike: both outputs 0.5.
    network.SetWeightLayer(kActionWeights, std::vector<double>(8, 0.0));
    TSamples samples;
    samples.Inputs = 1;
    samples.Outputs = 2;
    samples.Input = {{0.2}, {0.9}};
    samples.Target = {{1, 0}, {1, 0}};
    std::vector<double> output(2);
    network.Recall(samples.Input[0], output);
    EXPECT_EQ(output[0], output[1]);
    EXPECT_EQ(MeasureFit(network, samples).Accuracy, 1.0);
    samples.Target = {{0, 1}, {0, 1}};
    EXPECT_EQ(MeasureFit(network, samples).Accuracy, 0.0);
}

// The network file reader's limits, applied before anything is allocated: each at its bound
// and one beyond.
TEST(TOmbraTrainer, ShapesWithinTheReadersLimitsOnly) {
    const int layer = static_cast<int>(LayerNeuronLimit);
    const struct {
        TOmbraShape Shape;
        int Inputs, Outputs;
        const char* Problem;  // empty: fits
    } rows[] = {
        {{{2}, layer, {2}}, 1, 1, ""},
        {{{2}, layer + 1, {2}},
         1,
         1,
         "Too many rules: 1048577, more than the 1048576 neurons of a layer"},
        {{{layer}, 64, {2}}, 1, 1, ""},
        {{{layer - 1, 2}, 1, {2}},
         2,
         1,
         "Too many input MFs: 1048577, more than the 1048576 neurons of a layer"},
        {{{2}, 1, {2, layer - 1}},
         1,
         2,
         "Too many output MFs: 1048577, more than the 1048576 neurons of a layer"},
        {{{2}, 1, {2}},
         layer + 1,
         1,
         "Too many inputs: 1048577, more than the 1048576 neurons of a layer"},
        {{{2}, 1, {2}},
         1,
         layer + 1,
         "Too many outputs: 1048577, more than the 1048576 neurons of a layer"},
        // All of a network: 524288 inputs of 2 MFs, 174762 outputs of 2 MFs and 2 rules are
        // 2097152 neurons, the bound; a third rule is one too many.
        {{std::vector<int>(524288, 2), 2, std::vector<int>(174762, 2)}, 524288, 174762, ""},
        {{std::vector<int>(524288, 2), 3, std::vector<int>(174762, 2)},
         524288,
         174762,
         "Too many neurons: 2097153 of inputs, MFs and rules, more than the 2097152 of a network"},
        // Sets: 64 * 1048576 = 2^26 weights, then 65 * 1048576.
        {{{64}, layer, {2}}, 1, 1, ""},
        {{{65}, layer, {2}},
         1,
         1,
         "Too many weights: 68157440 condition-to-rule weights (input MFs times rules), more "
         "than the 67108864 of a set"},
        {{{2}, layer / 2, {128}}, 1, 1, ""},
        {{{2}, layer / 2, {130}},
         1,
         1,
         "Too many weights: 68157440 rule-to-action weights (rules times output MFs), more than "
         "the 67108864 of a set"},
    };
    for (const auto& row : rows) {
        if (std::string(row.Problem).empty()) {
            EXPECT_NO_THROW(TOmbraTrainer::RequireShapeFits(row.Shape, row.Inputs, row.Outputs));
        } else {
            EXPECT_TEXCEPTION(TOmbraTrainer::RequireShapeFits(row.Shape, row.Inputs, row.Outputs),
                              row.Problem, "Bad Parameter", "TOmbraTrainer::CreateNetwork");
        }
    }
    // CreateNetwork asks before it allocates: a billion rules cost nothing.
    TOmbraTrainer trainer(TTrainingSettings{});
    EXPECT_TEXCEPTION(trainer.CreateNetwork({{2, 2}, 1000000000, {2}}, ThresholdProblem()),
                      "Too many rules: 1000000000, more than the 1048576 neurons of a layer",
                      "Bad Parameter", "TOmbraTrainer::CreateNetwork");
}

TEST(ReadSamples, TakesTheRowsInUseOldestFirstAndRefusesBadValues) {
    Data ring(2, 1, 1, false);
    for (double v : {0.1, 0.2, 0.3})
        ring.AppendRow(std::vector<double>{v}, std::vector<double>{v}, nullptr);
    const TSamples samples = ReadSamples(ring);
    ASSERT_EQ(samples.Input.size(), 2u);
    EXPECT_EQ(samples.Input[0][0], 0.2);
    EXPECT_EQ(samples.Target[1][0], 0.3);
    EXPECT_FALSE(samples.OneHot());

    EXPECT_TEXCEPTION(ReadSamples(Data(3, 1, 1, false)), "Data set has no rows", "Bad Data",
                      "TSamples");
    Data noOutputs(1, 1, 0, false);
    noOutputs.AppendRow(std::vector<double>{0.5}, {}, nullptr);
    EXPECT_TEXCEPTION(ReadSamples(noOutputs), "Data set has no expected outputs", "Bad Data",
                      "TSamples");
    Data outside(2, 1, 1, false);
    outside.AppendRow(std::vector<double>{0.5}, std::vector<double>{0.5}, nullptr);
    outside.AppendRow(std::vector<double>{0.5}, std::vector<double>{1.5}, nullptr);
    EXPECT_TEXCEPTION(ReadSamples(outside), "Expected output outside [0, 1]: row 2, output 1",
                      "Bad Data", "TSamples");
    Data notANumber(1, 2, 1, false);
    notANumber.AppendRow(std::vector<double>{0.5, NAN}, std::vector<double>{0.5}, nullptr);
    EXPECT_TEXCEPTION(ReadSamples(notANumber), "Data set value is not a number: row 1, input 2",
                      "Bad Data", "TSamples");
}

}  // namespace
}  // namespace glean
