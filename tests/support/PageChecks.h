// What the tests of the report page look for in it, whatever its style: counts of its parts and
// the places it names.
#pragma once

#include <regex>
#include <string>
#include <vector>

namespace glean::test {

// How often `part` stands in `text`, overlaps counted.
inline std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Every src, href or url() of a page; a self-contained page names only places in itself ("#...").
inline std::vector<std::string> References(const std::string& html) {
    std::vector<std::string> found;
    const std::regex reference(R"re((?:src|href)\s*=\s*"([^"]*)"|url\(([^)]*)\))re");
    for (std::sregex_iterator i(html.begin(), html.end(), reference), end; i != end; ++i)
        found.push_back((*i)[1].matched ? (*i)[1].str() : (*i)[2].str());
    return found;
}

}  // namespace glean::test
