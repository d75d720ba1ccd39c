// Keyword fields in one-line texts: find a keyword and take the value that follows it, as a word,
// a parenthesised text or a brace list, converted to text, switch, integer or real; plus the text
// helpers they rest on and the brace-list formatting. Inputs are never changed.
//
//   text       = { word | " " }        the keyword must stand as a whole word, matched with case
//   value      = word                  KeyWord, KeySwitch, KeyInteger, KeyReal
//              | "(" text ")"          KeyParenthesised: the first "(" and the first ")" after it
//              | "{" item { "," item } "}"   the lists: items taken as they stand, blanks included
//   switch     = "on" | "true" | "off" | "false"   ignoring case and surrounding blanks
//
// Only the space character counts as a blank. The lookups return one of the status codes below
// and change their out value only when they return kKeyOk.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glean {

inline constexpr int kKeyOk = 0;
inline constexpr int kKeyNotFound = -201;       // the keyword does not occur in the text
inline constexpr int kKeyBadSwitch = -202;      // a switch value is none of on, true, off, false
inline constexpr int kKeyNoParenthesis = -203;  // no "(" after the keyword, or no ")" after it
// Codes of this module beyond the three above, for values the fixed limits refuse.
inline constexpr int kKeyWordTooLong = -204;  // the word after the keyword exceeds kMaxKeyWord
inline constexpr int kKeyItemTooLong = -205;  // a list item exceeds kMaxKeyListItem
inline constexpr int kKeyNoList = -206;       // no "{" after the keyword, or no "}" after it

inline constexpr std::size_t kMaxKeyWord = 80;
inline constexpr std::size_t kMaxKeyListItem = 254;

// The characters in reverse order.
std::string Reverse(std::string_view text);
// The text without leading spaces; without trailing spaces; without both.
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);
std::string Trim(std::string_view text);
// The trimmed text up to its first space.
std::string FirstWord(std::string_view text);
// One space, the text, one space.
std::string PadWithSpaces(std::string_view text);
// Trimmed text "on"/"true" sets flag true, "off"/"false" false (ignoring case), returning kKeyOk;
// anything else returns kKeyBadSwitch and leaves flag alone.
int ParseSwitch(std::string_view text, bool& flag);

// The word after keyword, at most kMaxKeyWord characters: kKeyOk, kKeyNotFound, kKeyWordTooLong.
int KeyWord(std::string_view text, std::string_view keyword, std::string& value);
// The word after keyword as a switch: as KeyWord, or kKeyBadSwitch.
int KeySwitch(std::string_view text, std::string_view keyword, bool& value);
// The word after keyword as a decimal long (a word that starts no number reads as 0; a number
// beyond the range of long reads as its nearest end): as KeyWord.
int KeyInteger(std::string_view text, std::string_view keyword, long& value);
// The word after keyword as a double (a word that starts no number reads as 0): as KeyWord.
int KeyReal(std::string_view text, std::string_view keyword, double& value);
// The text strictly inside the first parentheses after keyword: kKeyOk, kKeyNotFound,
// kKeyNoParenthesis.
int KeyParenthesised(std::string_view text, std::string_view keyword, std::string& value);

// The items of the first brace list after keyword; braces holding only blanks are the empty list.
// kKeyOk, kKeyNotFound, kKeyNoList, kKeyItemTooLong.
int KeyList(std::string_view text, std::string_view keyword, std::vector<std::string>& items);
// The list items as switches; the first item that is no switch gives kKeyBadSwitch.
int KeySwitchList(std::string_view text, std::string_view keyword, std::vector<bool>& values);
// The list items as longs and as doubles, converted as KeyInteger and KeyReal do.
int KeyIntegerList(std::string_view text, std::string_view keyword, std::vector<long>& values);
int KeyRealList(std::string_view text, std::string_view keyword, std::vector<double>& values);

// "{", the values ("%ld"; "%.12g") separated by ", ", "}".
std::string FormatIntegerList(std::span<const long> values);
std::string FormatRealList(std::span<const double> values);

}  // namespace glean
