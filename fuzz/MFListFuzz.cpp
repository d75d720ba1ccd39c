// The MF list reader. A list it accepts must survive a write and a second read unchanged.

#include <sstream>

#include "FileHandler/TFuzzyMFFiler.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace glean;
    std::istringstream in(fuzz::Text(data, size));
    std::unique_ptr<TMFSetList> list;
    if (!fuzz::Accepting([&] { list = TFuzzyMFFiler::LoadMFList(in); })) return 0;

    std::ostringstream first;
    TFuzzyMFFiler::SaveMFList(first, *list);
    std::istringstream again(first.str());
    std::ostringstream second;
    TFuzzyMFFiler::SaveMFList(second, *TFuzzyMFFiler::LoadMFList(again));
    fuzz::RequireSame("MF list written, read and written again", first.str(), second.str());
    return 0;
}
