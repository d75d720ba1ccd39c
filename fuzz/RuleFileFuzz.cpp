// The rule file reader. A file it accepts must survive a write and a second read unchanged.

#include <sstream>

#include "FileHandler/TRuleFile.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace glean;
    std::istringstream in(fuzz::Text(data, size));
    FileTools tools;
    std::unique_ptr<TFuzzyRuleSet> rules;
    if (!fuzz::Accepting([&] { rules = TRuleFile::LoadRules(tools, in); })) return 0;

    std::ostringstream first;
    TRuleFile::SaveRules(tools, first, *rules);
    std::istringstream again(first.str());
    std::ostringstream second;
    TRuleFile::SaveRules(tools, second, *TRuleFile::LoadRules(tools, again));
    fuzz::RequireSame("rules written, read and written again", first.str(), second.str());
    return 0;
}
