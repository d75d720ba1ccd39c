#include "Training/TRuleFit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>

#include "FileHandler/LabelFile.h"
#include "FileHandler/NetworkFile.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "RuleEngine/TExplanation.h"
#include "RuleEngine/TRuleEvaluator.h"
#include "Training/TRuleLearner.h"
#include "Training/TRuleNetwork.h"
#include "Training/TVariableNames.h"

namespace glean {

namespace {

[[noreturn]] void Refuse(const std::string& message) {
    throw TException(message, "Bad Data", "FitRuleModel");
}

void CheckTable(const TFitTable& table) {
    if (table.InputNames.empty()) Refuse("No input columns");
    if (table.Size() < std::size_t(kLeastFitRows)) {
        Refuse("Need at least " + std::to_string(kLeastFitRows) + " rows, got " +
               std::to_string(table.Size()));
    }
    for (std::size_t i = 0; i < table.Size(); ++i) {
        if (table.Inputs[i].size() != table.InputNames.size()) {
            Refuse("Row " + std::to_string(i + 1) + " has " +
                   std::to_string(table.Inputs[i].size()) + " inputs, not " +
                   std::to_string(table.InputNames.size()));
        }
        for (double value : table.Inputs[i]) {
            if (!std::isfinite(value))
                Refuse("Row " + std::to_string(i + 1) + ": not a finite number");
        }
    }
    if (table.Classifying()) {
        if (table.ClassNames.size() < 2) Refuse("Need at least two classes");
        if (table.Classes.size() != table.Size()) Refuse("Every row needs its class");
        for (int c : table.Classes) {
            if (c < 0 || std::size_t(c) >= table.ClassNames.size()) Refuse("Class out of range");
        }
    } else {
        if (table.Targets.size() != table.Size()) Refuse("Every row needs its target");
        double low = table.Targets.front(), high = low;
        for (double t : table.Targets) {
            if (!std::isfinite(t)) Refuse("Target is not a finite number");
            low = std::min(low, t);
            high = std::max(high, t);
        }
        if (!(high > low)) Refuse("The target does not vary");
    }
}

std::vector<TColumnScale> Scaling(const TFitTable& table) {
    std::vector<TColumnScale> scaling;
    for (std::size_t j = 0; j < table.InputNames.size(); ++j) {
        TColumnScale column{table.InputNames[j], "input", table.Inputs[0][j], table.Inputs[0][j]};
        for (const std::vector<double>& row : table.Inputs) {
            column.Minimum = std::min(column.Minimum, row[j]);
            column.Maximum = std::max(column.Maximum, row[j]);
        }
        scaling.push_back(column);
    }
    if (table.Classifying()) {
        for (const std::string& name : table.ClassNames)
            scaling.push_back({table.TargetName + "=" + name, "class", 0.0, 1.0});
    } else {
        TColumnScale column{table.TargetName, "output", table.Targets[0], table.Targets[0]};
        for (double t : table.Targets) {
            column.Minimum = std::min(column.Minimum, t);
            column.Maximum = std::max(column.Maximum, t);
        }
        scaling.push_back(column);
    }
    return scaling;
}

TValueRange Range(const TColumnScale& column) {
    return {column.Minimum, column.Maximum};
}

TLearningRows LearningRows(const TFitTable& table, const std::vector<TValueRange>& inputs,
                           const std::vector<TValueRange>& outputs) {
    TLearningRows rows;
    rows.ClassCount = int(table.ClassNames.size());
    for (std::size_t i = 0; i < table.Size(); ++i) {
        std::vector<double> row;
        for (std::size_t j = 0; j < inputs.size(); ++j)
            row.push_back(inputs[j].Scaled(table.Inputs[i][j]));
        rows.Inputs.push_back(std::move(row));
        if (table.Classifying()) {
            rows.Classes.push_back(table.Classes[i]);
        } else {
            rows.Targets.push_back(outputs.front().Scaled(table.Targets[i]));
        }
    }
    return rows;
}

std::unique_ptr<TOmbraLabel> MakeLabels(const TFitTable& table, const TLearnedRuleBase& base) {
    std::vector<int> mfPerInput, mfPerOutput;
    for (const std::vector<double>& centres : base.InputCentres)
        mfPerInput.push_back(int(centres.size()));
    for (const std::vector<double>& centres : base.OutputCentres)
        mfPerOutput.push_back(int(centres.size()));
    std::vector<std::string> names;
    for (std::size_t j = 0; j < table.InputNames.size(); ++j)
        names.push_back(SanitisedName(table.InputNames[j], "Input" + std::to_string(j + 1)));
    if (table.Classifying()) {
        for (std::size_t c = 0; c < table.ClassNames.size(); ++c)
            names.push_back(SanitisedName(table.ClassNames[c], "Class" + std::to_string(c + 1)));
    } else {
        names.push_back(SanitisedName(table.TargetName, "Target"));
    }
    names = UniqueNames(names);
    auto labels = std::make_unique<TOmbraLabel>(int(mfPerInput.size()), mfPerInput,
                                                int(mfPerOutput.size()), mfPerOutput);
    int condition = 0;
    for (std::size_t j = 0; j < mfPerInput.size(); ++j) {
        labels->SetInputName(int(j), names[j]);
        for (const std::string& term : TermNames(mfPerInput[j]))
            labels->SetConditionName(condition++, term);
    }
    int action = 0;
    for (std::size_t o = 0; o < mfPerOutput.size(); ++o) {
        labels->SetOutputName(int(o), names[mfPerInput.size() + o]);
        const std::vector<std::string> terms =
            table.Classifying() ? std::vector<std::string>{"No", "Yes"} : TermNames(mfPerOutput[o]);
        for (const std::string& term : terms)
            labels->SetActionName(action++, term);
    }
    return labels;
}

// The rules as Glean reads them off the network: both thresholds 0.
std::unique_ptr<TFuzzyRuleSet> Extract(TOmbra& network, const TOmbraLabel& labels) {
    auto params = std::make_unique<TKQstructure>("Params");
    params->SetReal("ThresholdIn", 0.0);
    params->SetReal("ThresholdOut", 0.0);
    std::unique_ptr<TFuzzyRuleSet> rules;
    ExtractRules(network, rules, std::move(params), &labels);
    return rules;
}

// Reads the rules off the model's network: as they are, and in the units of the data.
void ReadOffRules(TRuleModel& model) {
    model.Rules = Extract(*model.Network, *model.Labels);
    model.OriginalRules = Extract(*model.Network, *model.Labels);
    ToOriginalUnits(*model.OriginalRules, model.InputRanges(), model.OutputRanges());
}

std::vector<double> ScaledRow(std::span<const double> row, const std::vector<TValueRange>& ranges) {
    std::vector<double> scaled;
    for (std::size_t j = 0; j < ranges.size(); ++j)
        scaled.push_back(ranges[j].Scaled(row[j]));
    return scaled;
}

// The scaled rows and what they should answer, scaled too, for the simplifier.
TFigureRows FigureRows(const TLearningRows& rows, const TFitTable& table,
                       const std::vector<TValueRange>& outputs) {
    TFigureRows figureRows{rows.Inputs, ExpectedOutputs(table), table.Classifying()};
    for (std::vector<double>& row : figureRows.Reference)
        for (std::size_t o = 0; o < outputs.size(); ++o)
            row[o] = outputs[o].Scaled(row[o]);
    return figureRows;
}

// The learned rule base cut down to the simplified rule set: every rule left with the conditions
// it kept and the action weights it was learned with, so a network built for it carries the
// simplified rules.
TLearnedRuleBase Simplified(const TLearnedRuleBase& base, const TFuzzyRuleSet& rules,
                            const std::vector<int>& kept) {
    GLEAN_CHECK(int(kept.size()) == rules.RuleList->numRules());
    TLearnedRuleBase simpler = base;
    simpler.Rules.clear();
    for (std::size_t r = 0; r < kept.size(); ++r) {
        std::vector<TRuleAtom> atoms;
        ConditionAtoms(*rules.RuleList->GetRule(int(r)).Antecedent, atoms);
        TLearnedRule rule;
        for (const TRuleAtom& atom : atoms) {
            GLEAN_CHECK(!atom.Negated);
            rule.Conditions.push_back({atom.Variable, atom.Term});
        }
        std::sort(rule.Conditions.begin(), rule.Conditions.end());
        rule.ActionWeights = base.Rules.at(std::size_t(kept[r])).ActionWeights;
        simpler.Rules.push_back(std::move(rule));
    }
    return simpler;
}

[[noreturn]] void RefuseCsv(const std::string& message) {
    throw TException(message, "Bad Data", "ReadCsv");
}

double CsvNumber(const TCsvTable& table, std::size_t row, std::size_t column) {
    double value = 0;
    const std::string& field = table.Rows[row][column];
    if (!ParseCsvNumber(field, value)) {
        RefuseCsv("CSV line " + std::to_string(table.Lines[row]) + ", column " +
                  table.Header[column] + ": not a number: " + field);
    }
    return value;
}

bool AllNumbers(const TCsvTable& table, std::size_t column) {
    double value = 0;
    for (const std::vector<std::string>& row : table.Rows)
        if (!ParseCsvNumber(row[column], value)) return false;
    return true;
}

}  // namespace

TFitTable MakeFitTable(const TCsvTable& table, const std::string& target,
                       std::optional<bool> classify, const TFitTable* training) {
    const std::size_t targetColumn = table.Column(target);
    TFitTable fit;
    fit.TargetName = table.Header[targetColumn];
    for (std::size_t c = 0; c < table.Header.size(); ++c)
        if (c != targetColumn) fit.InputNames.push_back(table.Header[c]);
    const bool classes =
        training ? training->Classifying() : classify.value_or(!AllNumbers(table, targetColumn));
    if (training &&
        (fit.InputNames != training->InputNames || fit.TargetName != training->TargetName)) {
        RefuseCsv("Columns differ from the training file's");
    }
    if (training) fit.ClassNames = training->ClassNames;
    for (std::size_t r = 0; r < table.Rows.size(); ++r) {
        std::vector<double> inputs;
        for (std::size_t c = 0; c < table.Header.size(); ++c)
            if (c != targetColumn) inputs.push_back(CsvNumber(table, r, c));
        fit.Inputs.push_back(std::move(inputs));
        if (!classes) {
            fit.Targets.push_back(CsvNumber(table, r, targetColumn));
            continue;
        }
        const std::string& name = table.Rows[r][targetColumn];
        auto found = std::find(fit.ClassNames.begin(), fit.ClassNames.end(), name);
        if (found == fit.ClassNames.end()) {
            if (training) {
                RefuseCsv("CSV line " + std::to_string(table.Lines[r]) + ": class " + name +
                          " is not among the training rows' classes");
            }
            fit.ClassNames.push_back(name);
            found = fit.ClassNames.end() - 1;
        }
        fit.Classes.push_back(int(found - fit.ClassNames.begin()));
    }
    return fit;
}

std::vector<std::vector<double>> ExpectedOutputs(const TFitTable& table) {
    std::vector<std::vector<double>> expected;
    for (std::size_t i = 0; i < table.Size(); ++i) {
        if (!table.Classifying()) {
            expected.push_back({table.Targets[i]});
            continue;
        }
        std::vector<double> classes(table.ClassNames.size(), 0.0);
        classes[std::size_t(table.Classes[i])] = 1.0;
        expected.push_back(std::move(classes));
    }
    return expected;
}

std::vector<TValueRange> TRuleModel::InputRanges() const {
    std::vector<TValueRange> ranges;
    for (const TColumnScale& column : Scaling)
        if (column.Role == "input") ranges.push_back(Range(column));
    return ranges;
}

std::vector<TValueRange> TRuleModel::OutputRanges() const {
    std::vector<TValueRange> ranges;
    for (const TColumnScale& column : Scaling)
        if (column.Role != "input") ranges.push_back(Range(column));
    return ranges;
}

TRuleModel FitRuleModel(const TFitTable& table, const TFitSettings& settings) {
    CheckTable(table);
    TRuleModel model;
    model.Scaling = Scaling(table);
    const TLearningRows rows = LearningRows(table, model.InputRanges(), model.OutputRanges());
    TSearchSettings search;
    search.MaxRules = settings.MaxRules;
    search.MaxConditions = settings.MaxConditions;
    search.Progress = settings.Progress;
    TLearnedRuleBase base = LearnRuleBase(rows, search);
    model.Shape = base.Shape;
    const TDistilling distilling{settings.Seed, settings.Progress, settings.ReportEvery};
    model.Network = MakeRuleNetwork(base, rows, distilling);
    model.Labels = MakeLabels(table, base);
    ReadOffRules(model);
    GLEAN_CHECK(model.Rules->RuleList->numRules() == int(base.Rules.size()));
    if (settings.SimplifyBudget) {
        TSimplifySettings simplify;
        simplify.Budget = *settings.SimplifyBudget;
        simplify.MergeLimit = 1;
        simplify.Log = settings.Progress;
        model.Simplification =
            Simplify(*model.Rules, FigureRows(rows, table, model.OutputRanges()), simplify);
        base = Simplified(base, *model.Rules, model.Simplification->Kept);
        model.Network = MakeRuleNetwork(base, rows, distilling);
        ReadOffRules(model);
        GLEAN_CHECK(model.Rules->RuleList->numRules() == int(base.Rules.size()));
    }
    return model;
}

void WriteRuleModel(const TRuleModel& model, std::ostream& weights, std::ostream& labels) {
    FileTools tools;
    WriteNetwork(tools, weights, *model.Network);
    SaveLabels(labels, *model.Labels);
}

std::vector<std::vector<double>> ModelWeights(const TRuleModel& model) {
    std::vector<std::vector<double>> layers;
    for (int layer = kInputCentres; layer <= kOutputCentres; ++layer)
        layers.push_back(model.Network->GetWeightLayer(layer));
    return layers;
}

TRuleModel ReadRuleModel(std::istream& weights, std::istream& labels,
                         std::vector<TColumnScale> scaling,
                         const std::vector<std::vector<double>>* exactWeights) {
    TRuleModel model;
    FileTools tools;
    std::unique_ptr<TBasicNetwork> network = ReadNetwork(tools, weights);
    TOmbra& ombra = RequireOmbra(*network);
    network.release();
    model.Network.reset(&ombra);
    if (exactWeights != nullptr) {
        if (exactWeights->size() != std::size_t(kOutputCentres - kInputCentres + 1))
            throw TException("Weights do not fit the network", "Bad Data", "ReadRuleModel");
        for (int layer = kInputCentres; layer <= kOutputCentres; ++layer) {
            const std::vector<double>& values = (*exactWeights)[std::size_t(layer - kInputCentres)];
            if (values.size() != ombra.GetWeightLayer(layer).size())
                throw TException("Weights do not fit the network", "Bad Data", "ReadRuleModel");
            ombra.SetWeightLayer(layer, values);
        }
    }
    model.Labels = LoadLabels(labels);
    model.Scaling = std::move(scaling);
    ReadOffRules(model);
    return model;
}

std::vector<std::vector<double>> NetworkOutputs(const TRuleModel& model,
                                                const std::vector<std::vector<double>>& rows) {
    const std::vector<TValueRange> inputs = model.InputRanges();
    const std::vector<TValueRange> outputs = model.OutputRanges();
    std::vector<std::vector<double>> answers;
    for (const std::vector<double>& row : rows) {
        GLEAN_CHECK(row.size() >= inputs.size());
        std::vector<double> answer(outputs.size());
        model.Network->Recall(ScaledRow(row, inputs), answer);
        for (std::size_t o = 0; o < outputs.size(); ++o)
            answer[o] = outputs[o].Original(answer[o]);
        answers.push_back(std::move(answer));
    }
    return answers;
}

std::vector<std::vector<double>> RuleOutputs(const TRuleModel& model,
                                             const std::vector<std::vector<double>>& rows) {
    const TRuleBase base(*model.OriginalRules);
    const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
    std::vector<std::vector<double>> answers;
    for (const std::vector<double>& row : rows) {
        std::vector<double> answer(std::size_t(base.Outputs()));
        evaluator.Evaluate(row, answer);
        answers.push_back(std::move(answer));
    }
    return answers;
}

std::vector<std::vector<double>> RuleAnswers(const TRuleModel& model,
                                             const std::vector<std::vector<double>>& rows,
                                             std::span<const double> fallback) {
    std::vector<std::vector<double>> answers = RuleOutputs(model, rows);
    for (std::vector<double>& answer : answers) {
        GLEAN_CHECK(fallback.size() == answer.size());
        if (LargestOutput(answer) < 0) answer.assign(fallback.begin(), fallback.end());
    }
    return answers;
}

TModelFigures MeasureModel(const TRuleModel& model, const TFitTable& table) {
    TModelFigures figures;
    figures.Rows = int(table.Size());
    const auto networks = NetworkOutputs(model, table.Inputs);
    const auto rules = RuleOutputs(model, table.Inputs);
    double ruleSquares = 0, networkSquares = 0, differences = 0, mean = 0, spread = 0;
    int ruleRight = 0, networkRight = 0, agreeing = 0, active = 0;
    if (!table.Classifying()) {
        for (double t : table.Targets)
            mean += t / double(table.Size());
    }
    for (std::size_t i = 0; i < table.Size(); ++i) {
        const int ruleClass = LargestOutput(rules[i]);
        if (ruleClass < 0) ++figures.Silent;
        if (table.Classifying()) {
            const int networkClass = LargestOutput(networks[i]);
            ruleRight += ruleClass == table.Classes[i];
            networkRight += networkClass == table.Classes[i];
            agreeing += ruleClass == networkClass;
            continue;
        }
        const double target = table.Targets[i];
        networkSquares += std::pow(networks[i][0] - target, 2);
        if (ruleClass < 0) continue;
        ++active;
        ruleSquares += std::pow(rules[i][0] - target, 2);
        differences += std::pow(rules[i][0] - networks[i][0], 2);
        spread += std::pow(target - mean, 2);
    }
    const double rows = double(std::max<std::size_t>(table.Size(), 1));
    if (table.Classifying()) {
        figures.RuleScore = ruleRight / rows;
        figures.NetworkScore = networkRight / rows;
        figures.Agreement = agreeing / rows;
        return figures;
    }
    double totalSpread = 0;
    for (double t : table.Targets)
        totalSpread += std::pow(t - mean, 2);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    figures.NetworkRmse = std::sqrt(networkSquares / rows);
    figures.NetworkScore = totalSpread > 0 ? 1 - networkSquares / totalSpread : nan;
    figures.RuleRmse = active ? std::sqrt(ruleSquares / active) : nan;
    figures.RuleScore = active && spread > 0 ? 1 - ruleSquares / spread : nan;
    figures.Difference = active ? std::sqrt(differences / active) : nan;
    return figures;
}

}  // namespace glean
