// Writes the weight file of a generated fuzzy network:
//   GenerateNetwork <rules> <file> [inputs [mf-per-input [outputs [mf-per-output [antecedents]]]]]
// Defaults: 40 inputs and 4 outputs of 7 MFs each, every variable in every rule (antecedents 0).
#include <exception>
#include <iostream>
#include <string>

#include "FileHandler/NetworkFile.h"
#include "bench/NetworkGenerator.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 8) {
        std::cerr << "Usage: GenerateNetwork rules file [inputs [mf-per-input [outputs "
                     "[mf-per-output [antecedents]]]]]\n";
        return 1;
    }
    try {
        glean::bench::OmbraShape shape;
        shape.rules = std::stoi(argv[1]);
        if (argc > 3) shape.inputs = std::stoi(argv[3]);
        if (argc > 4) shape.mfPerInput = std::stoi(argv[4]);
        if (argc > 5) shape.outputs = std::stoi(argv[5]);
        if (argc > 6) shape.mfPerOutput = std::stoi(argv[6]);
        if (argc > 7) shape.antecedents = std::stoi(argv[7]);
        glean::FileTools tools;
        const auto network = glean::bench::BuildOmbraNetwork(shape);
        glean::SaveNetworkFile(tools, argv[2], *network);
        return 0;
    } catch (const glean::FileTools::Error& error) {
        std::cerr << error.Message() << '\n';
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
    }
    return 1;
}
