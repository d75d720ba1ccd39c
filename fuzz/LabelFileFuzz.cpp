// The labels file reader. A file it accepts must survive a write and a second read unchanged.

#include <sstream>

#include "FileHandler/LabelFile.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace glean;
    std::istringstream in(fuzz::Text(data, size));
    std::unique_ptr<TOmbraLabel> labels;
    if (!fuzz::Accepting([&] { labels = LoadLabels(in); })) return 0;

    std::ostringstream first;
    SaveLabels(first, *labels);
    std::istringstream again(first.str());
    std::ostringstream second;
    SaveLabels(second, *LoadLabels(again));
    fuzz::RequireSame("labels written, read and written again", first.str(), second.str());
    return 0;
}
