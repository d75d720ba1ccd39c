// The network file reader. A network it accepts and the writer can write must survive a second
// read and write unchanged.

#include <sstream>

#include "FileHandler/NetworkFile.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace glean;
    std::istringstream in(fuzz::Text(data, size));
    FileTools tools;
    std::unique_ptr<TBasicNetwork> network;
    if (!fuzz::Accepting([&] { network = ReadNetwork(tools, in); })) return 0;

    // The writer refuses some networks the reader builds (a bias layer of several neurons).
    std::ostringstream first;
    if (!fuzz::Accepting([&] { WriteNetwork(tools, first, *network); })) return 0;
    std::istringstream again(first.str());
    std::ostringstream second;
    WriteNetwork(tools, second, *ReadNetwork(tools, again));
    fuzz::RequireSame("network written, read and written again", first.str(), second.str());
    return 0;
}
