#include "FileHandler/ParseTools.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <streambuf>
#include <utility>
#include <vector>

#include "KQmessage/Check.h"

namespace glean {

namespace {

constexpr int Eof = std::char_traits<char>::eof();

// What a byte is to the tokenizer, looked up rather than computed: the scanner asks for every
// byte of the file.
enum CharClass : unsigned char { WordChar, WhiteChar, SpecialChar };

constexpr std::array<CharClass, 256> MakeCharClasses() {
    std::array<CharClass, 256> classes{};
    for (int ch = 0; ch < 256; ++ch)
        classes[static_cast<std::size_t>(ch)] =
            ch < 33 || ch > 126 || ch == ',' ? WhiteChar : WordChar;
    for (const char ch : std::string_view("[]/*=<>"))
        classes[static_cast<unsigned char>(ch)] = SpecialChar;
    return classes;
}

constexpr std::array<CharClass, 256> CharClasses = MakeCharClasses();

CharClass ClassOf(int ch) {
    return CharClasses[static_cast<unsigned char>(ch)];
}

bool IsWhite(int ch) {
    return ClassOf(ch) == WhiteChar;
}

bool IsSpecial(int ch) {
    return ClassOf(ch) == SpecialChar;
}

bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

// Where the run of characters of class `charClass` starting at `first` ends.
const char* SkipClass(const char* first, const char* last, CharClass charClass) {
    while (first != last && ClassOf(*first) == charClass)
        ++first;
    return first;
}

// The characters a stream buffer holds already, looked at in place. Only its public protocol
// moves data in (sgetc refills through underflow); here the scanner reads the buffered run and
// then consumes what it took, instead of making two calls per character. Naming the protected
// members through a derived class is what the language allows for that.
class GetArea : public std::streambuf {
public:
    static const char* First(std::streambuf& buffer) { return (buffer.*&GetArea::gptr)(); }
    static const char* Last(std::streambuf& buffer) { return (buffer.*&GetArea::egptr)(); }
    static void Consume(std::streambuf& buffer, std::ptrdiff_t count) {
        (buffer.*&GetArea::gbump)(static_cast<int>(count));
    }
};

// Reads a stream through its buffer, without the per-call cost of the formatted extraction. A
// failed stream reads as end of input; reaching the end sets eofbit.
class Source {
public:
    explicit Source(std::istream& in) : in_(in), buffer_(in.good() ? in.rdbuf() : nullptr) {}

    // The next character, not taken; Eof at the end.
    int Peek() {
        if (buffer_ == nullptr) return Eof;
        const int ch = buffer_->sgetc();
        if (ch == Eof) End();
        return ch;
    }
    // The next character, taken; Eof at the end.
    int Take() {
        if (buffer_ == nullptr) return Eof;
        const int ch = buffer_->sbumpc();
        if (ch == Eof) End();
        return ch;
    }
    // Takes characters while scan(first, last) passes over all of [first, last); scan returns
    // where it stopped, and the characters before that are taken. Stops there or at the end.
    template <class Scan>
    void TakeWhile(Scan scan) {
        while (Peek() != Eof) {
            const char* first = GetArea::First(*buffer_);
            const char* last = GetArea::Last(*buffer_);
            if (first == last) {
                // A buffer that keeps no characters: one at a time.
                const char ch = static_cast<char>(buffer_->sgetc());
                if (scan(&ch, &ch + 1) == &ch) return;
                Take();
                continue;
            }
            const char* stop = scan(first, last);
            GetArea::Consume(*buffer_, stop - first);
            if (stop != last) return;
        }
    }

    // The common case of ReadToken at buffer speed: white space, then a word that fits `room`
    // and ends before the buffered characters do. Takes them, and the white space character that
    // ends the word, as ReadToken would; `word` is valid until the next read. False, with nothing
    // taken, in every other case.
    bool TakeBufferedWord(std::string_view& word, std::size_t room) {
        if (buffer_ == nullptr) return false;
        const char* const first = GetArea::First(*buffer_);
        const char* const last = GetArea::Last(*buffer_);
        const char* const start = SkipClass(first, last, WhiteChar);
        if (start == last || ClassOf(*start) != WordChar) return false;
        const char* stop = SkipClass(start, last, WordChar);
        if (stop == last || static_cast<std::size_t>(stop - start) > room) return false;
        word = std::string_view(start, static_cast<std::size_t>(stop - start));
        if (ClassOf(*stop) == WhiteChar) ++stop;
        GetArea::Consume(*buffer_, stop - first);
        return true;
    }

private:
    void End() {
        buffer_ = nullptr;
        in_.setstate(std::ios_base::eofbit);
    }

    std::istream& in_;
    std::streambuf* buffer_;
};

// Equal ignoring letter case, by the rule of strcasecmp (both upper-cased, byte by byte).
bool SameWord(std::string_view first, std::string_view second) {
    if (first.size() != second.size()) return false;
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(first[i])) !=
            std::toupper(static_cast<unsigned char>(second[i]))) {
            return false;
        }
    }
    return true;
}

// Skips white space (not comments) and returns the next character, not taken. Throws Error for
// a run longer than WhiteSpaceLimit: an endless stream of blanks or zero bytes (/dev/zero named
// as a file) ends with a message instead of being read forever.
int PeekPastWhite(std::istream& in, Source& source) {
    std::size_t skipped = 0;
    source.TakeWhile([&skipped](const char* first, const char* last) {
        if (skipped > FileTools::WhiteSpaceLimit) return first;
        const char* stop = SkipClass(first, last, WhiteChar);
        skipped += static_cast<std::size_t>(stop - first);
        return stop;
    });
    if (skipped > FileTools::WhiteSpaceLimit) {
        static_assert(FileTools::WhiteSpaceLimit == 1 << 20, "the message names the limit");
        throw FileTools::Error("White space longer than 1048576 characters", in);
    }
    return source.Peek();
}

// Takes the word whose first character is next in `source` into token[length...], and the
// white space character that ends it (a special character stays). False when the word does not
// fit: the stream then stands after its first character too many.
template <std::size_t Size>
bool TakeWord(Source& source, std::array<char, Size>& token, std::size_t& length) {
    bool fits = true;
    source.TakeWhile([&](const char* first, const char* last) {
        if (!fits) return first;
        const char* stop = SkipClass(first, last, WordChar);
        const auto count = static_cast<std::size_t>(stop - first);
        const std::size_t room = Size - length;
        if (count > room) {
            fits = false;
            return first + room + 1;
        }
        std::memcpy(token.data() + length, first, count);
        length += count;
        return stop;
    });
    if (!fits) return false;
    const int next = source.Peek();
    if (next != Eof && IsWhite(next)) source.Take();
    return true;
}

// A name or value must be a word: not the end of input, not a special character.
void RequireWord(std::istream& in, std::string_view token) {
    if (token.empty()) throw FileTools::Error("Unexpected end of file", in);
    if (IsSpecial(static_cast<unsigned char>(token.front()))) {
        throw FileTools::Error("Unexpected special character", in);
    }
}

std::string Concat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts)
        text += part;
    return text;
}

// The name an item has, for messages that quote what was found instead of what was expected.
std::string_view FoundName(const BlockItem& item) {
    return item.kind == BlockItem::EndOfBlock ? std::string_view() : std::string_view(item.name);
}

void WriteLineEnd(std::ostream& out) {
    out.put('\n');
}

// The double at the start of `text` when it is written in plain decimal ("-", digits, ".",
// exponent) and in range. There from_chars reads exactly what strtod reads, only faster; every
// other form (leading blank or "+", hex, inf, nan, overflow, underflow) is left to strtod.
bool ParsePlainDecimal(std::string_view text, double& value) {
    const char* const first = text.data();
    const char* const last = first + text.size();
    const char* digits = first != last && *first == '-' ? first + 1 : first;
    if (digits == last || !(IsDigit(*digits) || *digits == '.')) return false;
    const auto [end, error] = std::from_chars(first, last, value);
    // strtod reads "0x1p3" as hex where from_chars stops at the "x".
    return error == std::errc() && (end == last || (*end != 'x' && *end != 'X'));
}

// The value a format version statement carries may be at most this.
constexpr double HighestFormatVersion = 1.0;

}  // namespace

FileTools::Error::Error(std::string message, std::istream& stream)
    : message_(std::move(message)), stream_(&stream) {}

FileTools::Error::Error(std::string message) : message_(std::move(message)), stream_(nullptr) {}

std::istream& FileTools::Error::Stream() const {
    GLEAN_CHECK_TEXT(stream_ != nullptr, "stream != NULL");
    return *stream_;
}

std::string FileTools::NextToken(std::istream& in) {
    return std::string(ReadToken(in));
}

void FileTools::SkipComment(std::istream& in) {
    Source source(in);
    // Iterative, so that deeply nested comments cannot exhaust the stack. After a pair has
    // opened or closed a comment, the previous character counts as a blank again, so that no
    // character belongs to two pairs ("/*/" does not close what it opens).
    std::size_t depth = 1;
    int previous = ' ';
    for (;;) {
        const int ch = source.Take();
        if (ch == Eof) throw Error("Unexpected end of file during comment", in);
        if (previous == '*' && ch == '/') {
            if (--depth == 0) return;
            previous = ' ';
        } else if (previous == '/' && ch == '*') {
            ++depth;
            previous = ' ';
        } else {
            previous = ch;
        }
    }
}

std::string_view FileTools::ReadToken(std::istream& in) {
    Source source(in);
    std::string_view word;
    if (source.TakeBufferedWord(word, token_.size())) {
        std::memcpy(token_.data(), word.data(), word.size());
        tokenLength_ = word.size();
        return {token_.data(), tokenLength_};
    }
    for (;;) {
        const int ch = PeekPastWhite(in, source);
        tokenLength_ = 0;
        if (ch == Eof) return {};
        if (IsSpecial(ch)) {
            token_[tokenLength_++] = static_cast<char>(source.Take());
            const int next = source.Peek();
            if (ch == '/' && next == '*') {
                source.Take();
                SkipComment(in);
                continue;
            }
            if (ch == '[' && next == '~') token_[tokenLength_++] = static_cast<char>(source.Take());
            return {token_.data(), tokenLength_};
        }
        if (!TakeWord(source, token_, tokenLength_)) {
            static_assert(TokenBufferSize == 1024, "the message names the buffer size");
            throw Error("Word longer than 1024 characters", in);
        }
        return {token_.data(), tokenLength_};
    }
}

void FileTools::ReadItem(std::istream& in, BlockItem& item, const std::string* blockdef,
                         bool noBracket) {
    GLEAN_CHECK_TEXT(blockdef != &item.name, "blockdef != &item.name");
    for (;;) {
        const std::string_view token = ReadToken(in);
        GLEAN_CHECK_TEXT(token != "]", "token != \"]\"");
        item.value.clear();
        item.open = false;
        if (token.empty()) {
            if (blockdef != nullptr) throw Error("Unexpected end of file", in);
            item.kind = BlockItem::EndOfBlock;
            item.name.clear();
            return;
        }
        if (token == "[" || noBracket) {
            ReadBracketItem(in, item, token, noBracket);
            if (noBracket || item.kind != BlockItem::Statement ||
                !SameWord(item.name, "FORMATVERSION")) {
                return;
            }
            SkipFormatVersion(in, item);
            continue;
        }
        if (token == "[~") {
            ReadEndTag(in, blockdef);
            item.kind = BlockItem::EndOfBlock;
            item.name.clear();
            return;
        }
        item.kind = BlockItem::Token;
        item.name.assign(token);
        return;
    }
}

std::string_view FileTools::TakeBufferedWord(std::istream& in) const {
    std::string_view word;
    if (!Source(in).TakeBufferedWord(word, token_.size())) return {};
    return word;
}

BlockItem FileTools::ReadItem(std::istream& in, const std::string* blockdef, bool noBracket) {
    BlockItem item;
    ReadItem(in, item, blockdef, noBracket);
    return item;
}

void FileTools::ReadBracketItem(std::istream& in, BlockItem& item, std::string_view first,
                                bool noBracket) {
    const std::string_view name = noBracket ? first : ReadToken(in);
    RequireWord(in, name);
    item.name.assign(name);
    Source source(in);
    int next = PeekPastWhite(in, source);
    if (next != '=') {
        item.kind = BlockItem::StartTag;
        item.open = next != ']';
        if (!item.open) source.Take();
        return;
    }
    source.Take();
    const std::string_view value = ReadToken(in);
    RequireWord(in, value);
    item.kind = BlockItem::Statement;
    item.value.assign(value);
    next = PeekPastWhite(in, source);
    item.open = next != ']';
    if (!item.open) source.Take();
}

void FileTools::ReadEndTag(std::istream& in, const std::string* blockdef) {
    GLEAN_CHECK_TEXT(blockdef != nullptr, "blockdef != nullptr");
    if (!SameWord(ReadToken(in), *blockdef)) throw Error("Unexpected End Tag", in);
    if (ReadToken(in) != "]") throw Error("Expected ']'", in);
}

void FileTools::SkipFormatVersion(std::istream& in, const BlockItem& item) const {
    if (item.open) throw Error("Illegal Format of FormatVersion", in);
    // Written so that a version that is not a number at all (NaN) is refused as well.
    if (!(ParseNumber(in, item.value) <= HighestFormatVersion)) {
        throw Error("Illegal Format Version", in);
    }
}

std::string FileTools::ExpectBlockStart(std::istream& in, const BlockItem& item) const {
    if (item.kind != BlockItem::StartTag) throw Error("start of block expected", in);
    return item.name;
}

std::string FileTools::ExpectBlockStart(std::istream& in, const BlockItem& item,
                                        std::string_view name) const {
    if (item.kind != BlockItem::StartTag || !SameWord(item.name, name)) {
        throw Error(Concat({"[", name, "] expected"}), in);
    }
    return item.name;
}

void FileTools::ExpectBlockEnd(std::istream& in, const BlockItem& item) const {
    if (item.kind != BlockItem::EndOfBlock) throw Error("End Tag expected", in);
}

void FileTools::RequireStatement(std::istream& in, const BlockItem& item, std::string_view s,
                                 std::string_view placeholder, std::string_view found) const {
    if (item.kind != BlockItem::Statement || !SameWord(item.name, s)) {
        throw Error(Concat({"[", s, " = ", placeholder, "] expected", found}), in);
    }
}

std::string FileTools::ReadString(std::istream& in, const BlockItem& item,
                                  std::string_view s) const {
    RequireStatement(in, item, s, "<string>", FoundName(item));
    return item.value;
}

void FileTools::ReadString(std::istream& in, const BlockItem& item, std::string_view s,
                           std::string_view expected) const {
    RequireStatement(in, item, s, "<string>", FoundName(item));
    if (!SameWord(item.value, expected)) {
        throw Error(Concat({"[", s, " = ", expected, "] expected"}), in);
    }
}

int FileTools::ReadInteger(std::istream& in, const BlockItem& item, std::string_view s) const {
    RequireStatement(in, item, s, "<integer>");
    return ParseInteger(in, item.value);
}

double FileTools::ReadNumber(std::istream& in, const BlockItem& item, std::string_view s) const {
    RequireStatement(in, item, s, "<number>");
    return ParseNumber(in, item.value);
}

double FileTools::ReadNumberToken(std::istream& in, const BlockItem& item) const {
    if (item.kind != BlockItem::Token) throw Error("Token (number) expected", in);
    return ParseNumber(in, item.name);
}

int FileTools::ParseInteger(std::istream& in, const std::string& text) const {
    // strtol reads what "%ld" reads; a value beyond 32 bits is refused rather than wrapped.
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(start, &end, 10);
    if (end == start || errno == ERANGE || value < INT_MIN || value > INT_MAX) {
        throw Error("integer-expected", in);
    }
    return static_cast<int>(value);
}

double FileTools::ParseNumber(std::istream& in, std::string_view text) const {
    double value = 0.0;
    if (ParsePlainDecimal(text, value)) return value;
    const std::string terminated(text);  // strtod reads up to a terminating zero
    const char* start = terminated.c_str();
    char* end = nullptr;
    value = std::strtod(start, &end);
    if (end == start) throw Error("number-expected", in);
    return value;
}

void FileTools::WriteFormatVersion(std::ostream& out) const {
    WriteString(out, "FormatVersion", "1.0");
    WriteLineEnd(out);
}

void FileTools::WriteNewline(std::ostream& out) const {
    WriteLineEnd(out);
}

void FileTools::WriteStartTag(std::ostream& out, std::string_view name, bool bracket) const {
    if (bracket) {
        out << '[' << name << ']';
        WriteLineEnd(out);
    } else {
        out << name << ' ';
    }
}

void FileTools::WriteEndTag(std::ostream& out, std::string_view name) const {
    if (name.empty()) return;
    out << "[~" << name << ']';
    WriteLineEnd(out);
}

void FileTools::WriteString(std::ostream& out, std::string_view key, std::string_view value,
                            bool bracket) const {
    if (bracket) {
        out << '[' << key << " = " << value << ']';
        WriteLineEnd(out);
    } else {
        out << key << '=' << value << ' ';
    }
}

void FileTools::WriteInteger(std::ostream& out, std::string_view key, int value,
                             bool bracket) const {
    std::array<char, 20> text{};  // the widest 32-bit integer takes 11
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
    GLEAN_CHECK(error == std::errc());
    WriteString(out, key, std::string_view(text.data(), end - text.data()), bracket);
}

void FileTools::WriteNumber(std::ostream& out, std::string_view key, double value, int precision,
                            bool bracket) const {
    // Most numbers fit the short buffer; wide ones (1e300, many decimals) get one of their size.
    std::array<char, 20> text{};
    const int length = std::snprintf(text.data(), text.size(), "%.*f", precision, value);
    GLEAN_CHECK(length >= 0);
    if (static_cast<std::size_t>(length) < text.size()) {
        WriteString(out, key, std::string_view(text.data(), length), bracket);
        return;
    }
    std::vector<char> wide(static_cast<std::size_t>(length) + 1);
    std::snprintf(wide.data(), wide.size(), "%.*f", precision, value);
    WriteString(out, key, std::string_view(wide.data(), length), bracket);
}

}  // namespace glean
