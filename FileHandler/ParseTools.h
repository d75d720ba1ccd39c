// The bracket-block text syntax that every file of the program shares: the item reader on which
// each file reader is built, the typed readers of key-value statements, and the writers that
// produce the same syntax (its "%g" numbers are written by FileHandler/NumberFormat.h).
//
// Grammar (words and keywords are compared ignoring letter case):
//
//   file       = { item } ;                          (end of input ends the outermost level)
//   item       = start-tag | statement | end-tag | token ;
//   start-tag  = "[" name "]"                         closed
//              | "[" name                             open: more words of the bracket follow
//   statement  = "[" key "=" value "]"                closed
//              | "[" key "=" value                    open
//   end-tag    = "[~" name-of-enclosing-block "]" ;
//   token      = word | "/" | "*" | "=" | "<" | ">" ;      (a lone "]" is a malformed file)
//   version    = "[" "FormatVersion" "=" number "]" ;         number <= 1.0, skipped anywhere
//                                                              an item is read in bracket mode
//   comment    = "/*" { any | comment } "*/" ;       nests; skipped like white space
//   word       = 1..1024 characters, none of them white space or special ;
//   special    = "[" | "]" | "/" | "*" | "=" | "<" | ">" ;  each a token of its own
//   white space = every byte outside 33..126, and "," ;   at most 2^20 of them in a row
//
// The decision after a name ("]", "=" or anything else) and after a value ("]" or anything else)
// skips white space but not comments. In no-bracket mode an item starts at its name, without the
// "[", which is how the further items of an open bracket are read.
//
// Texts: a BlockItem owns its name and value; reusing one item for a whole file keeps the reader
// free of allocations once its strings have grown. The name of the enclosing block (`blockdef`)
// is passed as a pointer, null at the outermost level; the caller keeps it.
#pragma once

#include <array>
#include <cstddef>
#include <exception>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "FileHandler/NumberFormat.h"

namespace glean {

// One item of a block text, as ReadItem recognised it.
struct BlockItem {
    enum Kind : int { EndOfBlock = 0, Token = 1, StartTag = 2, Statement = 3 };

    Kind kind = EndOfBlock;
    std::string name;   // Token: the token; StartTag: the tag name; Statement: the key
    std::string value;  // Statement: the value; empty otherwise
    bool open = false;  // StartTag and Statement: the closing "]" did not follow
};

// The tool object of the block text syntax: one token buffer, no other state. The stream is
// passed to every operation; one object serves one file at a time.
class FileTools {
public:
    // The syntax error of the block text readers. Holds the message and the stream being read,
    // which stays where the failing read stopped; Stream() is valid while that stream lives.
    // The file writers raise it without a stream.
    class Error : public std::exception {
    public:
        Error(std::string message, std::istream& stream);
        explicit Error(std::string message);
        const std::string& Message() const { return message_; }
        bool HasStream() const { return stream_ != nullptr; }
        // The stream being read; an error without one fails "stream != NULL".
        std::istream& Stream() const;
        const char* what() const noexcept override { return message_.c_str(); }

    private:
        std::string message_;
        std::istream* stream_;
    };
    // A file that could not be opened at all, rather than one that breaks the syntax; callers
    // that report the two alike catch Error.
    class OpenError : public Error {
    public:
        using Error::Error;
    };

    // The longest word the reader accepts.
    static constexpr std::size_t TokenBufferSize = 1024;
    // The longest run of white space between two items, far beyond any real file: a stream
    // that never ends (/dev/zero) must end the read all the same.
    static constexpr std::size_t WhiteSpaceLimit = std::size_t{1} << 20;

    // --- Reading ---

    // The next token, skipping white space and comments; empty at end of input or when the
    // stream has failed. Throws Error for an unterminated comment, a word longer than the
    // token buffer ("Word longer than 1024 characters") or white space longer than its limit
    // ("White space longer than 1048576 characters").
    std::string NextToken(std::istream& in);
    // Skips the rest of a comment whose "/*" was just read, nested comments included. Throws
    // Error "Unexpected end of file during comment".
    void SkipComment(std::istream& in);
    // Reads the next item into `item` (its strings are reused), skipping format version
    // statements in bracket mode. `blockdef` is the enclosing block's name or null; it must not
    // be the item's own name. Throws Error; a lone "]" or an end tag without `blockdef` fails an
    // internal check.
    void ReadItem(std::istream& in, BlockItem& item, const std::string* blockdef = nullptr,
                  bool noBracket = false);
    // As above, returning a new item.
    BlockItem ReadItem(std::istream& in, const std::string* blockdef = nullptr,
                       bool noBracket = false);
    // The lone token ReadItem would read next, when white space and a whole word lie in the
    // stream's buffer already: takes them as ReadItem would and returns the word, valid until the
    // next read. Empty, with nothing taken, in every other case (a comment, a bracket, the end
    // of the buffered characters), where ReadItem reads on. For long runs of plain tokens.
    std::string_view TakeBufferedWord(std::istream& in) const;

    // The name of a StartTag item, any name. Throws Error "start of block expected".
    std::string ExpectBlockStart(std::istream& in, const BlockItem& item) const;
    // The name of a StartTag item named `name` (ignoring case). Throws Error "[name] expected".
    std::string ExpectBlockStart(std::istream& in, const BlockItem& item,
                                 std::string_view name) const;
    // Requires an EndOfBlock item. Throws Error "End Tag expected".
    void ExpectBlockEnd(std::istream& in, const BlockItem& item) const;
    // The value of a Statement item with key `s` (ignoring case). Throws Error
    // "[s = <string>] expected" followed by the name of the item found.
    std::string ReadString(std::istream& in, const BlockItem& item, std::string_view s) const;
    // Requires a Statement item with key `s` and the value `expected` (both ignoring case).
    // Throws as above, or Error "[s = expected] expected".
    void ReadString(std::istream& in, const BlockItem& item, std::string_view s,
                    std::string_view expected) const;
    // The value of a Statement item with key `s` as ParseInteger reads it. Throws Error
    // "[s = <integer>] expected" or "integer-expected".
    int ReadInteger(std::istream& in, const BlockItem& item, std::string_view s) const;
    // The value of a Statement item with key `s` as ParseNumber reads it. Throws Error
    // "[s = <number>] expected" or "number-expected".
    double ReadNumber(std::istream& in, const BlockItem& item, std::string_view s) const;
    // A Token item as ParseNumber reads it. Throws Error "Token (number) expected" or
    // "number-expected".
    double ReadNumberToken(std::istream& in, const BlockItem& item) const;
    // The integer that begins `text` as "%ld" scans it (leading white space, sign, digits;
    // trailing text ignored). Throws Error "integer-expected" when none begins it or it does not
    // fit in 32 bits.
    int ParseInteger(std::istream& in, const std::string& text) const;
    // The double that begins `text` at full precision (trailing text ignored). Throws Error
    // "number-expected" when no number begins it.
    double ParseNumber(std::istream& in, std::string_view text) const;

    // --- Writing (a line end is a newline; each file's writer flushes the stream once, at the
    // end, so that large files are not written a line per system call) ---

    // "[FormatVersion = 1.0]" and two line ends.
    void WriteFormatVersion(std::ostream& out) const;
    // A line end.
    void WriteNewline(std::ostream& out) const;
    // "[name]" and a line end; without bracket, name and a blank.
    void WriteStartTag(std::ostream& out, std::string_view name, bool bracket = true) const;
    // "[~name]" and a line end; an empty name writes nothing.
    void WriteEndTag(std::ostream& out, std::string_view name) const;
    // "[key = value]" and a line end; without bracket, key=value and a blank.
    void WriteString(std::ostream& out, std::string_view key, std::string_view value,
                     bool bracket = true) const;
    // As WriteString with the value in decimal.
    void WriteInteger(std::ostream& out, std::string_view key, int value,
                      bool bracket = true) const;
    // As WriteString with the value formatted "%.*f" with `precision` decimals.
    void WriteNumber(std::ostream& out, std::string_view key, double value, int precision,
                     bool bracket = true) const;

private:
    // The next token in the token buffer; valid until the next read.
    std::string_view ReadToken(std::istream& in);
    // The rest of a bracket after its "[" (or, in no-bracket mode, after the name `first`).
    void ReadBracketItem(std::istream& in, BlockItem& item, std::string_view first, bool noBracket);
    // The rest of an end tag after its "[~".
    void ReadEndTag(std::istream& in, const std::string* blockdef);
    // Checks a format version statement. Throws Error for an open one, or a version above 1.0.
    void SkipFormatVersion(std::istream& in, const BlockItem& item) const;
    // Throws unless `item` is a Statement with key `s`: "[s = placeholder] expected" + found.
    void RequireStatement(std::istream& in, const BlockItem& item, std::string_view s,
                          std::string_view placeholder, std::string_view found = {}) const;

    std::array<char, TokenBufferSize> token_{};
    std::size_t tokenLength_ = 0;
};

}  // namespace glean
