// The parenthesised text form of a TKQstructure, in the style of KQML messages, and the joining of
// command-line words into one text.
//
//   structure = word | "(" word { ":" word structure } ")"
//   word      = a token that is neither empty nor one of "(" ")" ":"
//   token     = "(" | ")" | ":" | a run of printable characters (33..126) other than "(" ")",
//               where a ":" after the first character belongs to the run
//
// Characters outside 33..126 separate tokens. Example: (error :type invalid-message :expected
// method) A text that does not follow the grammar is a caller's fault and fails an internal check.
#pragma once

#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "KQmessage/TKQstructure.h"

namespace glean {

// Writes the text form of node to out, without a line end.
void Print(const TKQstructure& node, std::ostream& out = std::cout);
// Print, then a line end.
void PrintLine(const TKQstructure& node, std::ostream& out = std::cout);

// Reads one structure that makes up the whole text (white space may follow it); the caller owns
// the result. Malformed text: "special character unexpected" on standard error and the check "0",
// a stray token inside parentheses the check "*s == ')'", text after the structure "*s == '\0'";
// nesting deeper than kMaxTextFormDepth fails the check "depth <= kMaxTextFormDepth".
std::unique_ptr<TKQstructure> Parse(std::string_view text);
// Reads one structure starting at cursor and leaves cursor just after it; fails as Parse does.
std::unique_ptr<TKQstructure> ParseStructure(std::string_view& cursor);

// Returns the next token (empty at the end of the text) and moves cursor past it. A character of
// delimiters is a token of its own, except that a ":" inside a word belongs to the word.
std::string ScanToken(std::string_view& cursor, std::string_view delimiters);

// Words 1 .. count-1 (word 0, the program name, is skipped), each followed by one space; empty
// when count is 1 or less. Requires every word to be present.
std::string JoinArguments(int count, const char* const words[]);

// Structures nest at most this deep, so that parsing and destroying a tree stay within the stack.
inline constexpr int kMaxTextFormDepth = 256;

}  // namespace glean
