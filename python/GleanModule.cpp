// The extension module glean._core: the libraries seen from Python. It converts values and
// failures only; every behaviour is the libraries'. Calls that may take long (reading and
// extracting, writing, evaluating, fitting) run without the interpreter lock.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "FileHandler/TFuzzyMFFiler.h"
#include "FileHandler/TRuleFile.h"
#include "KQmessage/Check.h"
#include "KQmessage/KQtextForm.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"
#include "Ombra/Glean/Glean.h"
#include "RuleEngine/TRuleBase.h"
#include "RuleEngine/TRuleEvaluator.h"
#include "RuleEngine/TRuleExporter.h"
#include "python/GleanModule.h"

namespace glean::python {

// The rows of a 2-D array of `columns` columns each (any number when columns < 0).
TRows RowsOf(const TArray& array, long columns) {
    if (array.ndim() != 2) throw ArgumentError("expected a 2-D array of samples");
    if (columns >= 0 && array.shape(1) != columns) {
        throw ArgumentError("expected " + std::to_string(columns) + " columns, got " +
                            std::to_string(array.shape(1)));
    }
    const auto view = array.unchecked<2>();
    TRows rows(static_cast<std::size_t>(view.shape(0)));
    for (py::ssize_t i = 0; i < view.shape(0); ++i) {
        std::vector<double>& row = rows[static_cast<std::size_t>(i)];
        row.assign(view.data(i, 0), view.data(i, 0) + view.shape(1));
    }
    return rows;
}

// Rows of equal width as a 2-D array (of `columns` columns when there are no rows).
py::array_t<double> ArrayOf(const TRows& rows, std::size_t columns) {
    if (!rows.empty()) columns = rows.front().size();
    py::array_t<double> array({rows.size(), columns});
    auto view = array.mutable_unchecked<2>();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t j = 0; j < columns; ++j)
            view(static_cast<py::ssize_t>(i), static_cast<py::ssize_t>(j)) = rows[i][j];
    }
    return array;
}

namespace {

// --- Rule sets ---

using TRulesHandle = std::shared_ptr<TGleanRules>;

// (name, lower bound, upper bound, [(term, type, [(parameter, value)])]) per variable.
py::list VariablesOf(const TMFSetList& list) {
    py::list variables;
    for (int v = 0; v < list.VariablesRepresented; ++v) {
        const TBasicMFSet* set = list.GetMFSet(v);
        GLEAN_CHECK(set != nullptr);
        py::list terms;
        for (int t = 0; t < set->NumberOfMF; ++t) {
            const TBasicMF* mf = set->GetMF(t);
            GLEAN_CHECK(mf != nullptr);
            py::list parameters;
            for (const auto& [key, value] : TFuzzyMFFiler::Parameters(*mf))
                parameters.append(py::make_tuple(std::string(key), value));
            terms.append(py::make_tuple(mf->Name, mf->Type, parameters));
        }
        variables.append(py::make_tuple(set->Name, set->LowerBound, set->UpperBound, terms));
    }
    return variables;
}

// An atom as (variable, term, weight, negated), named from its MF list.
py::tuple AtomOf(const TRuleAtom& atom, const TMFSetList& list) {
    const TBasicMFSet* set = list.GetMFSet(atom.Variable);
    GLEAN_CHECK(set != nullptr);
    const TBasicMF* mf = set->GetMF(atom.Term);
    GLEAN_CHECK(mf != nullptr);
    return py::make_tuple(set->Name, mf->Name, atom.Weight, atom.Negated);
}

// An antecedent: an atom tuple, (operator, [operands]) for an operator list, None when empty.
py::object ExpressionOf(const TRuleExpression& expression, const TMFSetList& inputs) {
    if (expression.ExprKind() == 1) return AtomOf(expression.Atom(), inputs);
    if (expression.ExprKind() != 2) return py::none();
    const TRuleExprList& list = expression.List();
    py::list operands;
    for (int i = 0; i < list.numSubExpressions(); ++i)
        operands.append(ExpressionOf(list.GetSubExpression(i), inputs));
    return py::make_tuple(list.Operator, operands);
}

// (antecedent, [consequent atoms], rule-file text) per rule.
py::list RulesOf(const TFuzzyRuleSet& rules) {
    py::list result;
    for (int r = 0; r < rules.RuleList->numRules(); ++r) {
        const TRule& rule = rules.RuleList->GetRule(r);
        py::object antecedent =
            rule.Antecedent ? ExpressionOf(*rule.Antecedent, *rules.InputMFList) : py::none();
        py::list consequents;
        if (rule.ConsequenceList) {
            for (int c = 0; c < rule.ConsequenceList->numConsequences(); ++c) {
                consequents.append(
                    AtomOf(rule.ConsequenceList->GetConsequence(c), *rules.OutputMFList));
            }
        }
        result.append(
            py::make_tuple(antecedent, consequents, TRuleFileWriter::RuleText(rules, rule)));
    }
    return result;
}

std::string RuleFileText(TGleanRules& rules) {
    std::ostringstream out;
    rules.Write(out);
    return out.str();
}

TRulesHandle RulesFromText(const std::string& text) {
    std::istringstream in(text);
    FileTools tools;
    return std::make_shared<TGleanRules>(TRuleFile::LoadRules(tools, in));
}

std::string Export(TGleanRules& handle, const std::string& format, const std::string& name,
                   const std::string& conjunction, const std::string& outputs) {
    const std::unique_ptr<TRuleExporter> exporter = TRuleExporter::ForFile("rules." + format);
    if (!exporter) throw ArgumentError("unknown engine format \"" + format + "\"");
    TExportOptions options;
    options.Conjunction = ConjunctionNamed(conjunction);
    options.Mode = OutputModeNamed(outputs);
    options.EngineName = name;
    std::ostringstream text;
    exporter->Write(TRuleBase(handle.Rules()), options, text);
    return text.str();
}

TRows Evaluate(TGleanRules& handle, const TRows& rows, const std::string& conjunction,
               const std::string& outputs) {
    const TRuleBase base(handle.Rules());
    const TRuleEvaluator evaluator(base, ConjunctionNamed(conjunction), OutputModeNamed(outputs));
    TRows results(rows.size(), std::vector<double>(static_cast<std::size_t>(base.Outputs())));
    for (std::size_t i = 0; i < rows.size(); ++i)
        evaluator.Evaluate(rows[i], results[i]);
    return results;
}

// --- Failures ---

struct TGleanErrorTag {};

void RegisterFailures(py::module_& module) {
    static py::exception<TGleanErrorTag> gleanError(module, "GleanError", PyExc_ValueError);
    gleanError.doc() =
        "A file or an argument that Glean cannot use: the message is the library's own.";
    py::register_exception_translator([](std::exception_ptr failure) {
        const auto raise = [](PyObject* type, const std::string& message) {
            PyErr_SetString(type, message.c_str());
        };
        try {
            if (failure) std::rethrow_exception(failure);
        } catch (const FileAccessError& e) {
            raise(PyExc_OSError, e.what());
        } catch (const FileTools::OpenError& e) {
            raise(PyExc_OSError, e.Message());
        } catch (const FileTools::Error& e) {
            raise(gleanError.ptr(), e.Message());
        } catch (const TException& e) {
            raise(gleanError.ptr(), e.Message + " (" + e.Kind + "; " + e.Operation + ")");
        } catch (const TKQstructure::Error& e) {
            std::ostringstream text;
            Print(e.Node(), text);
            raise(gleanError.ptr(), text.str());
        } catch (const CheckFailure& e) {
            raise(gleanError.ptr(), e.what());
        } catch (const ExportError& e) {
            raise(gleanError.ptr(), e.what());
        } catch (const ArgumentError& e) {
            raise(gleanError.ptr(), e.what());
        }
    });
}

}  // namespace
}  // namespace glean::python

PYBIND11_MODULE(_core, module) {
    using namespace glean;
    using namespace glean::python;
    module.doc() = "The Glean libraries seen from Python; the package glean wraps this module.";
    // A failed internal check must not end the interpreter: it becomes a GleanError.
    SetCheckAction(CheckAction::Throw);
    RegisterFailures(module);

    py::class_<TGleanRules, TRulesHandle>(module, "RuleSet")
        .def("inputs", [](const TGleanRules& rules) { return VariablesOf(rules.Inputs()); })
        .def("outputs", [](const TGleanRules& rules) { return VariablesOf(rules.Outputs()); })
        .def("rules",
             [](TGleanRules& rules) {
                 const TFuzzyRuleSet* held = nullptr;
                 {
                     py::gil_scoped_release unlocked;
                     held = &rules.Rules();
                 }
                 return RulesOf(*held);
             })
        .def(
            "count", [](TGleanRules& rules) { return rules.Rules().RuleList->numRules(); },
            py::call_guard<py::gil_scoped_release>())
        .def("save", &TGleanRules::Save, py::arg("path"), py::call_guard<py::gil_scoped_release>())
        .def("text", &RuleFileText, py::call_guard<py::gil_scoped_release>())
        .def("export", &Export, py::arg("format"), py::arg("name"), py::arg("conjunction"),
             py::arg("outputs"), py::call_guard<py::gil_scoped_release>())
        .def(
            "evaluate",
            [](TGleanRules& rules, const TArray& samples, const std::string& conjunction,
               const std::string& outputs) {
                const TRows rows = RowsOf(samples, rules.Inputs().VariablesRepresented);
                TRows results;
                {
                    py::gil_scoped_release unlocked;
                    results = Evaluate(rules, rows, conjunction, outputs);
                }
                return ArrayOf(results, std::size_t(rules.Outputs().VariablesRepresented));
            },
            py::arg("samples"), py::arg("conjunction"), py::arg("outputs"));
    module.def("rules_from_text", &RulesFromText, py::arg("text"));

    module.def(
        "extract",
        [](const std::string& weightFile, std::optional<std::string> labelFile, double thresholdIn,
           double thresholdOut) {
            GleanParameters parameters;
            parameters.WeightFile = weightFile;
            parameters.LabelFile = std::move(labelFile);
            parameters.ThresholdIn = thresholdIn;
            parameters.ThresholdOut = thresholdOut;
            return std::make_shared<TGleanRules>(parameters);
        },
        py::arg("weight_file"), py::arg("label_file"), py::arg("threshold_in"),
        py::arg("threshold_out"), py::call_guard<py::gil_scoped_release>());
    module.def(
        "read_rules",
        [](const std::string& path) { return TRulesHandle(TGleanRules::FromRuleFile(path)); },
        py::arg("path"), py::call_guard<py::gil_scoped_release>());

    BindRuleModels(module);

    module.def("class_probabilities", [](const TArray& outputs) {
        TRows rows = RowsOf(outputs, -1);
        for (std::vector<double>& row : rows) {
            const std::vector<double> values = row;
            ClassProbabilities(values, row);
        }
        return ArrayOf(rows, std::size_t(outputs.shape(1)));
    });
    module.def("largest_outputs", [](const TArray& outputs) {
        const TRows rows = RowsOf(outputs, -1);
        std::vector<int> largest;
        for (const std::vector<double>& row : rows)
            largest.push_back(LargestOutput(row));
        return py::array_t<int>(py::ssize_t(largest.size()), largest.data());
    });
}
