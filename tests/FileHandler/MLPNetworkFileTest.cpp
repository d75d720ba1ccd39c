// A multilayer perceptron in the network file: the writer names its type "MLP", which the reader
// does not create; the rest of the file is a plain network description.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "FileHandler/NetworkFile.h"
#include "NeuralNets/TMLPNetwork.h"
#include "support/TestSupport.h"
#include "tests/FileHandler/NetworkText.h"

namespace glean {
namespace {

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(MLPNetworkFile, WrittenAsMLPWhichTheReaderRefuses) {
    TMLPNetwork mlp(3, std::vector<int>{2, 3, 1}, true);
    const std::string text = test::NetworkText(mlp);
    EXPECT_NE(text.find("NetworkType = MLP"), std::string::npos) << text;
    EXPECT_THROW_TEXT(test::NetworkOf(text), FileTools::Error, "Unknown network type");
}

TEST(MLPNetworkFile, BodyReadsBackAsABasicNetworkWithTheSameLayersAndWeights) {
    for (bool bias : {true, false}) {
        TMLPNetwork mlp(3, std::vector<int>{2, 3, 2}, bias);
        std::vector<double> weights(static_cast<std::size_t>(mlp.GetNumWeights(FMaskExists)));
        // Eighths: exact in the 15 significant digits the writer uses.
        for (std::size_t i = 0; i < weights.size(); ++i)
            weights[i] = (static_cast<double>(i) - 6.0) / 8.0;
        mlp.SetWeights(weights, FMaskExists);
        const std::string text = test::NetworkText(mlp);

        auto basic = test::NetworkOf(Replaced(text, "NetworkType = MLP", "NetworkType = Basic"));
        ASSERT_NE(basic, nullptr);
        ASSERT_EQ(basic->numLayers, mlp.numLayers);
        EXPECT_EQ(basic->inLayer, 1);
        EXPECT_EQ(basic->outLayer, 3);
        for (int i = 0; i < mlp.numLayers; ++i) {
            EXPECT_EQ(basic->layers[i]->GetLayerType(), mlp.layers[i]->GetLayerType());
            EXPECT_EQ(basic->layers[i]->numNeurons, mlp.layers[i]->numNeurons);
            EXPECT_EQ(basic->layers[i]->GetActivationFunction(),
                      mlp.layers[i]->GetActivationFunction());
        }
        std::vector<double> readWeights(weights.size());
        ASSERT_EQ(basic->GetNumWeights(FMaskExists), mlp.GetNumWeights(FMaskExists));
        basic->GetWeights(readWeights, FMaskExists);
        EXPECT_EQ(readWeights, weights);
        std::vector<double> mlpOut(2), basicOut(2);
        mlp.Recall(std::vector<double>{0.4, -0.7}, mlpOut);
        basic->Recall(std::vector<double>{0.4, -0.7}, basicOut);
        EXPECT_EQ(basicOut, mlpOut);
        EXPECT_EQ(test::NetworkText(*basic),
                  Replaced(text, "NetworkType = MLP", "NetworkType = Basic"));
    }
}

}  // namespace
}  // namespace glean
