// Uses an installed Glean through its public headers only: describes the variables and terms of
// a labels file, checks that they survive a save and reload, builds a fuzzy network of the shape
// the labels name, and builds the extraction parameters from a parameter file text. Prints what
// it found; any mismatch or failure exits 1.
//
// Usage: GleanConsumer labels.file
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "FileHandler/LabelFile.h"
#include "FileHandler/ParseTools.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"
#include "Ombra/Glean/Glean.h"
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

// The parameter structure the rule extraction takes, from the thresholds a parameter file names.
glean::TKQstructure ExtractionParameters(const std::string& parameterFile) {
    std::istringstream in(parameterFile);
    glean::GleanParameters parameters;
    glean::ReadParameters(in, parameters);
    glean::TKQstructure params("Params");
    if (parameters.ThresholdInGiven) params.SetReal("ThresholdIn", parameters.ThresholdIn);
    if (parameters.ThresholdOutGiven) params.SetReal("ThresholdOut", parameters.ThresholdOut);
    return params;
}

// A fuzzy network with the variables and terms the labels name, and `rules` rule neurons.
glean::TOmbra NetworkFor(const glean::TOmbraLabel& labels, int rules) {
    return glean::TOmbra(labels.Inputs, labels.InputMF, rules, labels.OutputMF, labels.Outputs);
}

std::string DescribeShape(const glean::TOmbraStructure& shape) {
    std::ostringstream text;
    text << "Network: " << shape.nInputs << " inputs, " << shape.nConditions << " conditions, "
         << shape.nRules << " rules, " << shape.nActions << " actions, " << shape.nOutputs
         << " outputs\n";
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

    std::stringstream saved;
    glean::SaveLabels(saved, *labels);
    if (Describe(*glean::LoadLabels(saved)) != description) {
        return Fail("labels changed on their way through SaveLabels and LoadLabels");
    }

    try {
        labels->GetInputName(labels->Inputs);
        return Fail("an input beyond the last one was accepted");
    } catch (const glean::TException& error) {
        if (error.Message != "Input number out of bounds") return Fail(error.Message);
    }

    glean::TOmbra network = NetworkFor(*labels, 4);
    const glean::TOmbraStructure shape = network.GetStructure();
    if (shape.mfPerInput != labels->InputMF || shape.mfPerOutput != labels->OutputMF) {
        return Fail("the network's MF counts differ from the labels'");
    }
    std::cout << network.GetNetworkType() << ' ' << DescribeShape(shape);
    network.SetWeightValue(2, shape.nConditions - 1, shape.nRules - 1, 0.75);
    if (network.GetWeightValue(2, shape.nConditions - 1, shape.nRules - 1) != 0.75) {
        return Fail("a condition-to-rule weight did not keep its value");
    }

    const glean::TKQstructure params =
        ExtractionParameters("WeightFile = net.wts ThresholdOut = 0.25 RuleFile = net.rul");
    std::cout << params.Name << ':';
    for (int i = 0; i < params.Count(); ++i) {
        const auto& entry = params.ParameterAt(i);
        std::cout << ' ' << entry.Key << '=' << entry.Value->Name;
    }
    std::cout << '\n';
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
    }
}
