// A tiny writer of plain SVG 1.1 documents, enough for charts: elements with attributes, text,
// and numbers printed the same by every compiler. Every text and attribute value it is given is
// escaped, so names read from rule files (user input) cannot break the document.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glean {

// Attribute names and their values, in the order they are written; values are escaped.
using TSvgAttributes = std::vector<std::pair<std::string, std::string>>;

// Text as XML character data or attribute value: & < > " ' become entities; bytes that are not
// well-formed UTF-8 and characters XML 1.0 forbids (control characters but tab, new line and
// carriage return; U+FFFE, U+FFFF) become "?".
std::string XmlText(std::string_view text);

// At most `limit` characters (UTF-8 sequences count as one) of text, the last one replaced by
// "…" when the text is longer. Requires limit >= 1.
std::string ShortText(std::string_view text, std::size_t limit);

// value with exactly `decimals` decimals (0 to 9); "-0.00" is printed "0.00", and a value that
// is not finite prints as 0 so that no coordinate can break the document.
std::string SvgNumber(double value, int decimals = 2);

class TSvgWriter {
public:
    // Starts a document of width x height units with a title (shown by viewers as its name).
    TSvgWriter(double width, double height, std::string_view title);

    // <element attributes...> ... until the matching Close().
    void Open(std::string_view element, const TSvgAttributes& attributes = {});
    // Closes the innermost element still open. Requires one to be open (besides the document).
    void Close();
    // <element attributes.../>
    void Empty(std::string_view element, const TSvgAttributes& attributes);
    // <element attributes...>text</element>, the text escaped.
    void Text(std::string_view element, const TSvgAttributes& attributes, std::string_view text);

    // The finished document: every element still open is closed. The writer stays finished.
    std::string Finish();

private:
    void Tag(std::string_view element, const TSvgAttributes& attributes);
    void Indent();

    std::string text_;
    std::vector<std::string> open_;
};

}  // namespace glean
