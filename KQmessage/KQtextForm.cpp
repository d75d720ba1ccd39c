#include "KQmessage/KQtextForm.h"

#include "KQmessage/Check.h"

namespace glean {

namespace {
constexpr std::string_view kStructureDelimiters = "():";

bool Printable(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 33 && code <= 126;
}

bool IsDelimiter(char c, std::string_view delimiters) {
    return delimiters.find(c) != std::string_view::npos;
}

// A token that must be a word (a name or a key).
const std::string& RequireWord(const std::string& token) {
    if (token.empty() || token == "(" || token == ")" || token == ":") {
        std::cerr << "special character unexpected" << std::endl;
        GLEAN_FAIL("0");
    }
    return token;
}

std::unique_ptr<TKQstructure> ParseNested(std::string_view& cursor, int depth) {
    GLEAN_CHECK_TEXT(depth <= kMaxTextFormDepth, "depth <= kMaxTextFormDepth");
    auto node = std::make_unique<TKQstructure>();
    std::string token = ScanToken(cursor, kStructureDelimiters);
    if (token != "(") {
        node->Name = RequireWord(token);
        return node;
    }
    node->Name = RequireWord(ScanToken(cursor, kStructureDelimiters));
    for (token = ScanToken(cursor, kStructureDelimiters); token != ")";
         token = ScanToken(cursor, kStructureDelimiters)) {
        GLEAN_CHECK_TEXT(token == ":", "*s == ')'");
        const std::string key = RequireWord(ScanToken(cursor, kStructureDelimiters));
        node->SetParameter(key, ParseNested(cursor, depth + 1));
    }
    return node;
}
}  // namespace

void Print(const TKQstructure& node, std::ostream& out) {
    if (node.Count() == 0) {
        out << node.Name;
        return;
    }
    out << '(' << node.Name;
    for (int i = 0; i < node.Count(); ++i) {
        const TKQstructure::Entry& entry = node.ParameterAt(i);
        out << " :" << entry.Key << ' ';
        Print(*entry.Value, out);
    }
    out << ')';
}

void PrintLine(const TKQstructure& node, std::ostream& out) {
    Print(node, out);
    out << std::endl;
}

std::unique_ptr<TKQstructure> Parse(std::string_view text) {
    auto node = ParseStructure(text);
    GLEAN_CHECK_TEXT(ScanToken(text, "").empty(), "*s == '\\0'");
    return node;
}

std::unique_ptr<TKQstructure> ParseStructure(std::string_view& cursor) {
    return ParseNested(cursor, 1);
}

std::string ScanToken(std::string_view& cursor, std::string_view delimiters) {
    std::size_t position = 0;
    while (position < cursor.size() && !Printable(cursor[position]))
        ++position;
    cursor.remove_prefix(position);
    if (cursor.empty()) return {};
    if (IsDelimiter(cursor.front(), delimiters)) {
        std::string token(1, cursor.front());
        cursor.remove_prefix(1);
        return token;
    }
    std::size_t length = 1;
    while (length < cursor.size() && Printable(cursor[length]) &&
           (cursor[length] == ':' || !IsDelimiter(cursor[length], delimiters))) {
        ++length;
    }
    std::string token(cursor.substr(0, length));
    cursor.remove_prefix(length);
    return token;
}

std::string JoinArguments(int count, const char* const words[]) {
    std::string joined;
    for (int i = 1; i < count; ++i) {
        GLEAN_CHECK(words[i] != nullptr);
        joined += words[i];
        joined += ' ';
    }
    return joined;
}

}  // namespace glean
