// Networks to and from text, for the network file tests.
#pragma once

#include <memory>
#include <sstream>
#include <string>

#include "FileHandler/NetworkFile.h"

namespace glean::test {

// The text WriteNetwork makes of `network`.
inline std::string NetworkText(TBasicNetwork& network) {
    FileTools tools;
    std::ostringstream out;
    WriteNetwork(tools, out, network);
    return out.str();
}

// The network ReadNetwork makes of `text`.
inline std::unique_ptr<TBasicNetwork> NetworkOf(const std::string& text) {
    FileTools tools;
    std::istringstream in(text);
    return ReadNetwork(tools, in);
}

}  // namespace glean::test
