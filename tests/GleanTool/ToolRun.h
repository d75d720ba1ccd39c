// Runs the GleanTool program in-process, as its command line would, and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "GleanTool/GleanTool.h"

namespace glean::test {

struct ToolRun {
    int Code;
    std::string Out, Err;
};

// `words` are the arguments after the program's name.
inline ToolRun Tool(std::vector<std::string> words) {
    words.insert(words.begin(), "GleanTool");
    std::vector<const char*> argv;
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    std::ostringstream out, err;
    const int code = RunGleanTool(int(argv.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

}  // namespace glean::test
