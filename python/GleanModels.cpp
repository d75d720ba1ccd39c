// The fitted models of the training library (Training/TRuleFit.h).
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <pybind11/stl.h>

#include "Ombra/Glean/Glean.h"
#include "Training/TRuleFit.h"
#include "python/GleanModule.h"

namespace glean::python {

namespace {

using TModelHandle = std::shared_ptr<TRuleModel>;

TModelHandle Fit(TFitTable table, const TArray& inputs, int maxRules, int maxConditions,
                 std::uint64_t seed) {
    table.Inputs = RowsOf(inputs, static_cast<long>(table.InputNames.size()));
    TFitSettings settings;
    settings.MaxRules = maxRules;
    settings.MaxConditions = maxConditions;
    settings.Seed = seed;
    py::gil_scoped_release unlocked;
    return std::make_shared<TRuleModel>(FitRuleModel(table, settings));
}

// A fitted model as Python values: its weight file and labels file texts, its scaling, and its
// weights exactly.
py::tuple ModelState(const TRuleModel& model) {
    std::ostringstream weights, labels;
    WriteRuleModel(model, weights, labels);
    py::list scaling;
    for (const TColumnScale& column : model.Scaling)
        scaling.append(py::make_tuple(column.Name, column.Role, column.Minimum, column.Maximum));
    return py::make_tuple(weights.str(), labels.str(), scaling, ModelWeights(model));
}

TModelHandle ModelFromState(const py::tuple& state) {
    if (state.size() != 4) throw ArgumentError("not the state of a fitted rule model");
    std::istringstream weights(state[0].cast<std::string>());
    std::istringstream labels(state[1].cast<std::string>());
    std::vector<TColumnScale> scaling;
    for (const py::handle column : state[2].cast<py::list>()) {
        const auto [name, role, minimum, maximum] =
            column.cast<std::tuple<std::string, std::string, double, double>>();
        scaling.push_back({name, role, minimum, maximum});
    }
    const auto layers = state[3].cast<std::vector<std::vector<double>>>();
    return std::make_shared<TRuleModel>(
        ReadRuleModel(weights, labels, std::move(scaling), &layers));
}

}  // namespace

void BindRuleModels(py::module_& module) {
    const TFitSettings defaults;
    module.attr("FIT_DEFAULTS") = py::dict(py::arg("max_rules") = defaults.MaxRules,
                                           py::arg("max_conditions") = defaults.MaxConditions,
                                           py::arg("seed") = defaults.Seed);
    module.attr("LEAST_FIT_ROWS") = kLeastFitRows;

    py::class_<TRuleModel, TModelHandle>(module, "RuleModel")
        .def("rules",
             [](const TModelHandle& model) {
                 // Shares the model's rules, which keep the model alive.
                 return std::make_shared<TGleanRules>(
                     std::shared_ptr<const TFuzzyRuleSet>(model, model->OriginalRules.get()));
             })
        .def("rule_answers",
             [](const TRuleModel& model, const TArray& samples, std::vector<double> fallback) {
                 const TRows rows = RowsOf(samples, static_cast<long>(model.InputRanges().size()));
                 TRows answers;
                 {
                     py::gil_scoped_release unlocked;
                     answers = RuleAnswers(model, rows, fallback);
                 }
                 return ArrayOf(answers, fallback.size());
             })
        // The network's forward pass keeps state in the network, so it holds the lock: two
        // threads never run it at once.
        .def("network_outputs",
             [](const TRuleModel& model, const TArray& samples) {
                 const TRows rows = RowsOf(samples, static_cast<long>(model.InputRanges().size()));
                 return ArrayOf(NetworkOutputs(model, rows), model.OutputRanges().size());
             })
        .def(py::pickle(&ModelState, &ModelFromState));

    module.def(
        "fit_classifier",
        [](const TArray& inputs, std::vector<std::string> inputNames,
           std::vector<std::string> classNames, std::vector<int> classes, int maxRules,
           int maxConditions, std::uint64_t seed) {
            TFitTable table;
            table.InputNames = std::move(inputNames);
            table.ClassNames = std::move(classNames);
            table.Classes = std::move(classes);
            return Fit(std::move(table), inputs, maxRules, maxConditions, seed);
        },
        py::arg("inputs"), py::arg("input_names"), py::arg("class_names"), py::arg("classes"),
        py::arg("max_rules"), py::arg("max_conditions"), py::arg("seed"));
    module.def(
        "fit_regressor",
        [](const TArray& inputs, std::vector<std::string> inputNames, std::string targetName,
           std::vector<double> targets, int maxRules, int maxConditions, std::uint64_t seed) {
            TFitTable table;
            table.InputNames = std::move(inputNames);
            table.TargetName = std::move(targetName);
            table.Targets = std::move(targets);
            return Fit(std::move(table), inputs, maxRules, maxConditions, seed);
        },
        py::arg("inputs"), py::arg("input_names"), py::arg("target_name"), py::arg("targets"),
        py::arg("max_rules"), py::arg("max_conditions"), py::arg("seed"));
}

}  // namespace glean::python
