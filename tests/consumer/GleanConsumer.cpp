// Uses an installed Glean through its public headers only, along the path of a Glean run: loads
// a labels file (and checks that it survives a save and reload), builds a trained fuzzy network
// of the shape the labels name, reads the thresholds from a parameter file text, extracts the
// rules and writes the rule file to standard output (and checks that it reads back to the same
// text). Any mismatch or failure exits 1.
//
// Usage: GleanConsumer labels.file
#include <array>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "FileHandler/LabelFile.h"
#include "FileHandler/ParseTools.h"
#include "FileHandler/TRuleFile.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"
#include "Ombra/Glean/Glean.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "Ombra/TOmbra.h"
#include "Ombra/TOmbraLabel.h"

namespace {

// One line per variable: its name and the names of its terms, in network order.
std::string Describe(const glean::TOmbraLabel& labels) {
    std::ostringstream text;
    int condition = 0;
    for (int input = 0; input < labels.Inputs; ++input) {
        text << labels.GetInputName(input) << ':';
        for (int term = 0; term < labels.InputMF[input]; ++term) {
            text << ' ' << labels.GetConditionName(condition++);
        }
        text << '\n';
    }
    int action = 0;
    for (int output = 0; output < labels.Outputs; ++output) {
        text << labels.GetOutputName(output) << ':';
        for (int term = 0; term < labels.OutputMF[output]; ++term) {
            text << ' ' << labels.GetActionName(action++);
        }
        text << '\n';
    }
    return text.str();
}

// A network for labels with two inputs of three terms and one output of two, with four rule
// neurons trained to: if InputA is A and InputB is A then OutputA is A; if InputA is C and
// InputB is B then OutputA is B; if InputA is B then OutputA is B (and, more weakly, A); the
// fourth rule neuron learnt nothing.
glean::TOmbra TrainedNetwork(const glean::TOmbraLabel& labels) {
    constexpr int rules = 4;
    glean::TOmbra network(labels.Inputs, labels.InputMF, rules, labels.OutputMF, labels.Outputs);
    // Condition-to-rule weights, one row per condition (InputA A B C, InputB A B C).
    const std::array<double, 6 * rules> conditionToRule = {
        0.9, 0.1, 0.2, 0.0,  //
        0.3, 0.2, 0.8, 0.1,  //
        0.1, 0.7, 0.3, 0.2,  //
        0.6, 0.0, 0.4, 0.3,  //
        0.2, 0.9, 0.1, 0.0,  //
        0.0, 0.3, 0.2, 0.1,  //
    };
    // Rule-to-action weights, one row per rule (OutputA A B).
    const std::array<double, rules* 2> ruleToAction = {
        0.8, 0.1,  //
        0.2, 0.9,  //
        0.5, 0.6,  //
        0.1, 0.2,  //
    };
    network.SetWeightLayer(2, conditionToRule);
    network.SetWeightLayer(3, ruleToAction);
    return network;
}

// The parameter structure the driver hands to the rule extraction, from a parameter file text.
std::unique_ptr<glean::TKQstructure> ExtractionParameters(const std::string& parameterFile) {
    std::istringstream in(parameterFile);
    glean::GleanParameters parameters;
    glean::ReadParameters(in, parameters);
    auto params = std::make_unique<glean::TKQstructure>("Params");
    if (parameters.ThresholdInGiven) params->SetReal("ThresholdIn", parameters.ThresholdIn);
    if (parameters.ThresholdOutGiven) params->SetReal("ThresholdOut", parameters.ThresholdOut);
    return params;
}

std::string RuleFileText(const glean::TFuzzyRuleSet& rules) {
    glean::FileTools tools;
    std::ostringstream text;
    glean::TRuleFile::SaveRules(tools, text, rules);
    return text.str();
}

int Fail(const std::string& message) {
    std::cerr << "GleanConsumer: " << message << '\n';
    return 1;
}

int Run(const char* labelFile) {
    std::ifstream in(labelFile);
    if (!in) return Fail(std::string("cannot open ") + labelFile);
    const auto labels = glean::LoadLabels(in);
    const std::string description = Describe(*labels);
    std::cout << description;
    std::stringstream savedLabels;
    glean::SaveLabels(savedLabels, *labels);
    if (Describe(*glean::LoadLabels(savedLabels)) != description) {
        return Fail("labels changed on their way through SaveLabels and LoadLabels");
    }

    glean::TOmbra network = TrainedNetwork(*labels);
    auto params = ExtractionParameters(
        "WeightFile = net.wts ThresholdIn = 0.5 ThresholdOut = 0.55 RuleFile = net.rul");
    std::unique_ptr<glean::TFuzzyRuleSet> rules;
    glean::ExtractRules(network, rules, std::move(params), labels.get());
    const std::string text = RuleFileText(*rules);
    std::cout << text;

    glean::FileTools tools;
    std::istringstream saved(text);
    if (RuleFileText(*glean::TRuleFile::LoadRules(tools, saved)) != text) {
        return Fail("the rule file read back differs from the one written");
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) return Fail("usage: GleanConsumer labels.file");
    try {
        return Run(argv[1]);
    } catch (const glean::FileTools::Error& error) {
        return Fail(error.what());
    } catch (const glean::TException& error) {
        return Fail(error.Message + " (" + error.Kind + ", " + error.Operation + ")");
    } catch (const glean::TKQstructure::Error&) {
        return Fail("a parameter of the rule extraction is not a number");
    }
}
