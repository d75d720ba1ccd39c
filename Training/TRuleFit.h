// From a table of measurements to a fuzzy network whose rules are the model, in the names and
// units of the data.
//
// Every column is scaled into [0, 1] by the minimum and maximum of the rows fitted on; the rule
// base is learned on the scaled rows alone (TRuleLearner: its shape chosen by cross-validation on
// those rows, never on any other), carried by a network (TRuleNetwork), and read off that network
// by the rule extraction with both thresholds at 0, the labels naming every variable after its
// column. A classification has one output per class, named after the class, with the terms No
// and Yes; the predicted class is the one with the largest output.
//
// Simplified on request: the rules read off the network are simplified on the same scaled rows
// (Simplify: conditions and whole rules dropped while the rules' accuracy, or R^2, falls by at
// most a budget), and the network is built again for the rule base that is left, so that the
// rule extraction reads off it exactly the simplified rules. Terms are not merged: the network's
// terms are cut by ordered centres, and a merged term is no such cut.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Ombra/TOmbra.h"
#include "Ombra/TOmbraLabel.h"
#include "RuleEngine/TOriginalUnits.h"
#include "RuleEngine/TSimplifier.h"
#include "RuleObject/RuleObject.h"
#include "Training/CsvConverter.h"
#include "Training/TRuleSearch.h"

namespace glean {

// The fewest rows a model is fitted on.
inline constexpr int kLeastFitRows = 10;

// Rows in the units of the data, and what they should predict.
struct TFitTable {
    std::vector<std::string> InputNames;      // one per input column
    std::vector<std::vector<double>> Inputs;  // one row each
    std::string TargetName;
    std::vector<std::string> ClassNames;  // classification: the classes in order; empty: regression
    std::vector<int> Classes;             // classification: each row's class
    std::vector<double> Targets;          // regression: each row's target

    bool Classifying() const { return !ClassNames.empty(); }
    std::size_t Size() const { return Inputs.size(); }
};

// The rows of a CSV table: the column `target` (name or number from 1) is what to predict, every
// other column an input. `classify`: the target names classes; unset: it does when some target
// is not a number. With `training`, the table must have its columns and task, and its classes
// are taken (a class the training rows lack is refused). Throws TException (kind "Bad Data",
// operation "ReadCsv"): "No such column: NAME", "CSV line N, column NAME: not a number: TEXT",
// "Columns differ from the training file's", "CSV line N: class TEXT is not among the training
// rows' classes".
TFitTable MakeFitTable(const TCsvTable& table, const std::string& target,
                       std::optional<bool> classify, const TFitTable* training = nullptr);

// What the rows of a table should answer, in the units of the data: one output per class, 1 for
// the row's class and 0 for the others, or the target.
std::vector<std::vector<double>> ExpectedOutputs(const TFitTable& table);

struct TFitSettings {
    int MaxRules = 10;
    int MaxConditions = 4;
    std::uint64_t Seed = 1;            // the jitter of the rows the network is trained on
    std::ostream* Progress = nullptr;  // one line per shape tried; none when null
    int ReportEvery = 25;              // a progress line every so many network training steps
    // How far the rules' accuracy (or R^2) on the rows may fall when they are simplified; unset:
    // they are not. One progress line per simplifying step.
    std::optional<double> SimplifyBudget;
};

struct TRuleModel {
    std::unique_ptr<TOmbra> Network;  // works on scaled values
    std::unique_ptr<TOmbraLabel> Labels;
    std::vector<TColumnScale> Scaling;     // inputs, then outputs ("<target>=<class>" per class)
    std::unique_ptr<TFuzzyRuleSet> Rules;  // what Glean extracts, in scaled units
    std::unique_ptr<TFuzzyRuleSet> OriginalRules;  // the same in the units of the data
    TRuleShape Shape;
    // With a simplify budget, what simplifying did; its rule numbers are those of the rules
    // learned.
    std::optional<TSimplifyResult> Simplification;

    std::vector<TValueRange> InputRanges() const;
    std::vector<TValueRange> OutputRanges() const;
};

// The outputs for every row, in the units of the data (a regression output in the target's
// units): the network's, and the rule base's (as the rule engine runs it: minimum, singleton
// outputs; NaN where no rule fires).
std::vector<std::vector<double>> NetworkOutputs(const TRuleModel& model,
                                                const std::vector<std::vector<double>>& rows);
std::vector<std::vector<double>> RuleOutputs(const TRuleModel& model,
                                             const std::vector<std::vector<double>>& rows);

// RuleOutputs, where a row on which no rule fires for any output takes `fallback` (one value per
// output, checked) instead: an answer for every row.
std::vector<std::vector<double>> RuleAnswers(const TRuleModel& model,
                                             const std::vector<std::vector<double>>& rows,
                                             std::span<const double> fallback);

// Fits a model. Throws TException (kind "Bad Data", operation "FitRuleModel") for a table
// without inputs, with fewer than kLeastFitRows rows, a row of another width, a value that is not
// finite, a class out of range, fewer than two classes or a target that does not vary.
TRuleModel FitRuleModel(const TFitTable& table, const TFitSettings& settings);

// Writes what ReadRuleModel needs besides the scaling and the exact weights: the network as a
// weight file, the labels as a labels file.
void WriteRuleModel(const TRuleModel& model, std::ostream& weights, std::ostream& labels);
// Every weight of the model's network, exactly (the weight file keeps fifteen significant
// digits): its weight layers kInputCentres to kOutputCentres in GetWeightLayer's order.
std::vector<std::vector<double>> ModelWeights(const TRuleModel& model);
// The model again from what WriteRuleModel wrote, its scaling and its exact weights (null: those
// of the weight file), its rules read off the network as FitRuleModel reads them (Shape is not
// kept). Throws what ReadNetwork, LoadLabels and the extraction throw, TException ("Weights do
// not fit the network", kind "Bad Data", operation "ReadRuleModel"), and ExportError for a
// scaling that does not fit the network.
TRuleModel ReadRuleModel(std::istream& weights, std::istream& labels,
                         std::vector<TColumnScale> scaling,
                         const std::vector<std::vector<double>>* exactWeights = nullptr);

// How a model does on rows in the units of the data.
struct TModelFigures {
    int Rows = 0;
    int Silent = 0;           // rows on which no rule fires (for any output)
    double RuleScore = 0;     // accuracy, or R^2 over the rows where some rule fires
    double NetworkScore = 0;  // accuracy, or R^2
    double RuleRmse = 0;      // regression: over the rows where some rule fires
    double NetworkRmse = 0;   // regression
    double Agreement = 0;     // classification: share of rows where both pick one class
    double Difference = 0;    // regression: RMS of rules minus network, where some rule fires
};
TModelFigures MeasureModel(const TRuleModel& model, const TFitTable& table);

}  // namespace glean
