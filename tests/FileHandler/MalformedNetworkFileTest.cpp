// Every damaged weight file under data/FileHandler/malformed ends in a FileTools::Error or a
// failed internal check with its exact text, never in a crash or an exhausted machine. Each file
// says in its first line what is wrong with it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "FileHandler/NetworkFile.h"
#include "KQmessage/Check.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

enum class Outcome { Error, Check };

struct MalformedCase {
    const char* file;
    Outcome outcome;
    const char* text;       // the error message or the failed check's expression
    const char* unit = "";  // the check's source unit, when it matters
};

std::ostream& operator<<(std::ostream& out, const MalformedCase& c) {
    return out << c.file;
}

const char* const Reader = "FileHandler/NetworkFile";
const char* const Membership = "FileHandler/SaveOmbra";

const MalformedCase Cases[] = {
    {"input-mf-sum", Outcome::Error, "membership counts do not match the layer"},
    {"input-mf-inputs", Outcome::Error, "Connections do not fit the layers"},
    {"input-mf-index-left-out", Outcome::Error, "index missing in membership array"},
    {"input-mf-index-repeated", Outcome::Error, "repeated index in membership array"},
    {"input-mf-index-range", Outcome::Check, "i<numnodes", Membership},
    {"input-mf-index-negative", Outcome::Check, "i>=0", Membership},
    {"input-mf-count-one", Outcome::Check, "NdxMF >= 2"},
    {"output-mf-actions", Outcome::Error, "Connections do not fit the layers"},
    {"output-mf-index-left-out", Outcome::Error, "index missing in membership array"},
    {"output-mf-index-repeated", Outcome::Error, "repeated index in membership array"},
    {"output-mf-index-range", Outcome::Check, "i<numnodes", Membership},
    {"output-mf-count-one", Outcome::Check, "NdxMF >= 2"},
    {"output-mf-count-huge", Outcome::Error, "Illegal number of membership functions"},
    {"layer-slot-empty", Outcome::Error, "Layer not defined"},
    {"layer-index-range", Outcome::Check, "layernum < numlayers", Reader},
    {"layer-index-negative", Outcome::Check, "layernum >= 0", Reader},
    {"layer-without-type", Outcome::Check, "NN -> layers[layernum] != NULL", Reader},
    {"layer-statement-repeated", Outcome::Error, "Layer information repeated"},
    {"condition-set-wrong-layer", Outcome::Error, "Connections do not fit the layers"},
    {"output-set-wrong-layer", Outcome::Error, "Connections do not fit the layers"},
    {"set-layer-range", Outcome::Error, "Connection layers out of range"},
    {"set-missing-layer", Outcome::Error, "Layer not defined"},
    {"ombra-set-missing", Outcome::Error,
     "Incomplete Ombra network: layers 4 and 5 are not joined by output connections"},
    {"ombra-five-layers", Outcome::Check, "numlayers == 6", Reader},
    {"neurons-negative", Outcome::Error, "Illegal number of neurons"},
    {"neurons-huge", Outcome::Error, "Illegal number of neurons"},
    {"neurons-total-huge", Outcome::Error, "Too many neurons"},
    {"weights-huge", Outcome::Error, "Too many weights"},
    {"layers-huge", Outcome::Error, "Illegal number of layers"},
    {"layers-none", Outcome::Error, "Illegal number of layers"},
    {"input-layer-range", Outcome::Check, "inlayer < numlayers", Reader},
    {"output-layer-negative", Outcome::Check, "outlayer >= 0 && outlayer < numlayers", Reader},
    {"full-set-removal", Outcome::Check, "false", "NeuralNets/TBasicNetwork"},
    {"full-set-frozen", Outcome::Check, "false", "NeuralNets/TBasicNetwork"},
    {"full-set-untrainable", Outcome::Check, "false", "NeuralNets/TBasicNetwork"},
    {"matrix-mark-on-arc", Outcome::Check, "!conn -> IsValid(from,to)", Reader},
    {"matrix-ten-attributes", Outcome::Check, "wnum < 10", Reader},
    {"weight-list-range", Outcome::Check, "from>=0 && from<n_from"},
    {"neuron-index-range", Outcome::Check, "neuronnum<numneurons", Reader},
    {"neuron-index-negative", Outcome::Check, "neuronnum>=0", Reader},
    {"function-unknown", Outcome::Check, "false", "NeuralNets/ActFunctions"},
    {"parameter-before-size", Outcome::Check, "numneurons >= 0", Reader},
    {"parameter-before-type", Outcome::Check, "layer != NULL", Reader},
    {"parameter-unknown", Outcome::Check, "found", Reader},
};

std::string MalformedPath(const std::string& name) {
    return std::string(GLEAN_TEST_DATA) + "/FileHandler/malformed/" + name + ".wts";
}

class MalformedNetworkFile : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedNetworkFile, EndsInItsError) {
    const MalformedCase& c = GetParam();
    const std::string path = MalformedPath(c.file);
    std::ifstream probe(path);
    std::string firstLine;
    ASSERT_TRUE(std::getline(probe, firstLine)) << path;
    EXPECT_EQ(firstLine.rfind("/* ", 0), 0u) << "first line must say what is wrong: " << path;

    FileTools tools;
    try {
        LoadNetworkFile(tools, path);
        ADD_FAILURE() << c.file << " loaded";
    } catch (const FileTools::Error& e) {
        EXPECT_EQ(c.outcome, Outcome::Error) << "error \"" << e.Message() << "\"";
        EXPECT_EQ(e.Message(), c.text);
    } catch (const CheckFailure& e) {
        EXPECT_EQ(c.outcome, Outcome::Check) << "check \"" << e.Expression() << "\"";
        EXPECT_EQ(e.Expression(), c.text);
        if (*c.unit != '\0') {
            EXPECT_EQ(e.Unit(), c.unit);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, MalformedNetworkFile, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<MalformedCase>& info) {
                             std::string name = info.param.file;
                             std::erase(name, '-');
                             return name;
                         });

TEST(MalformedNetworkFiles, EveryFileHasItsRowAndTheBaseLoads) {
    std::set<std::string> listed;
    for (const MalformedCase& c : Cases)
        listed.insert(c.file);
    const auto folder = std::filesystem::path(GLEAN_TEST_DATA) / "FileHandler" / "malformed";
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_TRUE(listed.contains(entry.path().stem().string())) << entry.path();
    }
    FileTools tools;
    const std::string base = std::string(GLEAN_TEST_DATA) + "/FileHandler/small-ombra.wts";
    EXPECT_EQ(LoadNetworkFile(tools, base)->GetNetworkType(), "Ombra");
}

}  // namespace
}  // namespace glean
