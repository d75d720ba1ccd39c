#include "KQmessage/KeyFields.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "KQmessage/TException.h"

namespace glean {

namespace {
// The padded text after the first whole-word occurrence of keyword, or nothing.
std::optional<std::string> AfterKeyword(std::string_view text, std::string_view keyword) {
    const std::string padded = PadWithSpaces(text);
    const std::string key = PadWithSpaces(Trim(keyword));
    const std::size_t found = padded.find(key);
    if (found == std::string::npos) return std::nullopt;
    return padded.substr(found + key.size());
}

// The word (the next run of non-spaces) after keyword.
int WordAfter(std::string_view text, std::string_view keyword, std::string& word) {
    const std::optional<std::string> rest = AfterKeyword(text, keyword);
    if (!rest) return kKeyNotFound;
    const std::size_t start = std::min(rest->find_first_not_of(' '), rest->size());
    const std::size_t end = std::min(rest->find(' ', start), rest->size());
    if (end - start > kMaxKeyWord) return kKeyWordTooLong;
    word = rest->substr(start, end - start);
    return kKeyOk;
}

long ToLongValue(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

double ToRealValue(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

// Converts the word after keyword with convert; value changes only on success.
template <typename T, typename Convert>
int ConvertedWord(std::string_view text, std::string_view keyword, T& value, Convert convert) {
    std::string word;
    const int code = WordAfter(text, keyword, word);
    if (code == kKeyOk) value = convert(word);
    return code;
}

// Converts every item of the list after keyword with convert, which returns a status code.
template <typename T, typename Convert>
int ConvertedList(std::string_view text, std::string_view keyword, std::vector<T>& values,
                  Convert convert) {
    std::vector<std::string> items;
    int code = KeyList(text, keyword, items);
    if (code != kKeyOk) return code;
    std::vector<T> converted(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        T value{};
        code = convert(items[i], value);
        if (code != kKeyOk) return code;
        converted[i] = value;
    }
    values = std::move(converted);
    return kKeyOk;
}

template <typename T>
std::string FormatList(std::span<const T> values, const char* format, auto... precision) {
    std::string text = "{";
    char number[64];
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) text += ", ";
        std::snprintf(number, sizeof number, format, precision..., values[i]);
        text += number;
    }
    return text + "}";
}
}  // namespace

std::string Reverse(std::string_view text) {
    return std::string(text.rbegin(), text.rend());
}

std::string TrimLeft(std::string_view text) {
    const std::size_t start = text.find_first_not_of(' ');
    return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

std::string TrimRight(std::string_view text) {
    return Reverse(TrimLeft(Reverse(text)));
}

std::string Trim(std::string_view text) {
    return TrimRight(TrimLeft(text));
}

std::string FirstWord(std::string_view text) {
    const std::string trimmed = Trim(text);
    return trimmed.substr(0, trimmed.find(' '));
}

std::string PadWithSpaces(std::string_view text) {
    return " " + std::string(text) + " ";
}

int ParseSwitch(std::string_view text, bool& flag) {
    const std::string word = Trim(text);
    if (SameText(word, "on") || SameText(word, "true")) {
        flag = true;
    } else if (SameText(word, "off") || SameText(word, "false")) {
        flag = false;
    } else {
        return kKeyBadSwitch;
    }
    return kKeyOk;
}

int KeyWord(std::string_view text, std::string_view keyword, std::string& value) {
    return WordAfter(text, keyword, value);
}

int KeySwitch(std::string_view text, std::string_view keyword, bool& value) {
    std::string word;
    const int code = WordAfter(text, keyword, word);
    return code == kKeyOk ? ParseSwitch(word, value) : code;
}

int KeyInteger(std::string_view text, std::string_view keyword, long& value) {
    return ConvertedWord(text, keyword, value, ToLongValue);
}

int KeyReal(std::string_view text, std::string_view keyword, double& value) {
    return ConvertedWord(text, keyword, value, ToRealValue);
}

int KeyParenthesised(std::string_view text, std::string_view keyword, std::string& value) {
    const std::optional<std::string> rest = AfterKeyword(text, keyword);
    if (!rest) return kKeyNotFound;
    const std::size_t open = rest->find('(');
    if (open == std::string::npos) return kKeyNoParenthesis;
    const std::size_t close = rest->find(')', open + 1);
    if (close == std::string::npos) return kKeyNoParenthesis;
    value = rest->substr(open + 1, close - open - 1);
    return kKeyOk;
}

int KeyList(std::string_view text, std::string_view keyword, std::vector<std::string>& items) {
    const std::optional<std::string> rest = AfterKeyword(text, keyword);
    if (!rest) return kKeyNotFound;
    const std::size_t open = rest->find('{');
    if (open == std::string::npos) return kKeyNoList;
    const std::size_t close = rest->find('}', open + 1);
    if (close == std::string::npos) return kKeyNoList;
    const std::string_view inside = std::string_view(*rest).substr(open + 1, close - open - 1);
    std::vector<std::string> found;
    // Blank braces are the empty list, so that FormatIntegerList of no values reads back empty.
    if (inside.find_first_not_of(' ') != std::string_view::npos) {
        for (std::size_t start = 0;;) {
            const std::size_t comma = std::min(inside.find(',', start), inside.size());
            if (comma - start > kMaxKeyListItem) return kKeyItemTooLong;
            found.emplace_back(inside.substr(start, comma - start));
            if (comma == inside.size()) break;
            start = comma + 1;
        }
    }
    items = std::move(found);
    return kKeyOk;
}

int KeySwitchList(std::string_view text, std::string_view keyword, std::vector<bool>& values) {
    return ConvertedList(text, keyword, values, [](const std::string& item, bool& flag) {
        return ParseSwitch(item, flag);
    });
}

int KeyIntegerList(std::string_view text, std::string_view keyword, std::vector<long>& values) {
    return ConvertedList(text, keyword, values, [](const std::string& item, long& value) {
        value = ToLongValue(item);
        return kKeyOk;
    });
}

int KeyRealList(std::string_view text, std::string_view keyword, std::vector<double>& values) {
    return ConvertedList(text, keyword, values, [](const std::string& item, double& value) {
        value = ToRealValue(item);
        return kKeyOk;
    });
}

std::string FormatIntegerList(std::span<const long> values) {
    return FormatList(values, "%ld");
}

std::string FormatRealList(std::span<const double> values) {
    return FormatList(values, "%.*g", 12);
}

}  // namespace glean
