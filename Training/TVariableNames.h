// Names of variables and terms as the rule file and the labels file can hold them.
#pragma once

#include <string>
#include <vector>

namespace glean {

// `text` as one word of letters, digits and "_": every run of other characters becomes one "_",
// with none at either end; a word the rule syntax reserves ("if", "then", "and", "or", "not",
// "is", any letter case) gets a "_" appended; an empty result is `fallback`.
std::string SanitisedName(const std::string& text, const std::string& fallback);

// The names made unique ignoring letter case: the second of two equal names gets "_2", the third
// "_3", and so on.
std::vector<std::string> UniqueNames(std::vector<std::string> names);

// The names of `count` terms from low to high: Low, High; Low, Medium, High; VeryLow, Low, High,
// VeryHigh; VeryLow, Low, Medium, High, VeryHigh; beyond five, Term1, Term2, ...
std::vector<std::string> TermNames(int count);

}  // namespace glean
