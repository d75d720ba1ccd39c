// The keyword/value text parser. A text it accepts must print as a text that parses to the same
// structure.

#include <sstream>

#include "KQmessage/KQtextForm.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace glean;
    const std::string text = fuzz::Text(data, size);
    std::unique_ptr<TKQstructure> node;
    if (!fuzz::Accepting([&] { node = Parse(text); })) return 0;

    std::ostringstream first;
    Print(*node, first);
    std::ostringstream second;
    Print(*Parse(first.str()), second);
    fuzz::RequireSame("structure printed, parsed and printed again", first.str(), second.str());
    return 0;
}
