#include "Charts/TSvgWriter.h"

#include <cmath>
#include <cstdio>

#include "KQmessage/Check.h"

namespace glean {

namespace {

// The length of the well-formed UTF-8 sequence at the start of text, 0 when there is none.
std::size_t SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

bool ForbiddenInXml(std::string_view sequence) {
    if (sequence.size() == 1) {
        const char c = sequence[0];
        return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
    }
    return sequence == "\xEF\xBF\xBE" || sequence == "\xEF\xBF\xBF";  // U+FFFE, U+FFFF
}

const char* Entity(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        case '\'':
            return "&apos;";
        default:
            return nullptr;
    }
}

}  // namespace

std::string XmlText(std::string_view text) {
    std::string result;
    while (!text.empty()) {
        const std::size_t length = SequenceLength(text);
        const std::string_view sequence = text.substr(0, length == 0 ? 1 : length);
        if (length == 0 || ForbiddenInXml(sequence)) {
            result += '?';
        } else if (const char* entity = Entity(sequence[0])) {
            result += entity;
        } else {
            result += sequence;
        }
        text.remove_prefix(sequence.size());
    }
    return result;
}

std::string ShortText(std::string_view text, std::size_t limit) {
    GLEAN_CHECK_TEXT(limit >= 1, "limit>=1");
    std::vector<std::size_t> starts;  // where each character starts
    for (std::size_t i = 0; i < text.size();) {
        starts.push_back(i);
        const std::size_t length = SequenceLength(text.substr(i));
        i += length == 0 ? 1 : length;
    }
    if (starts.size() <= limit) return std::string(text);
    return std::string(text.substr(0, starts[limit - 1])) + "\xE2\x80\xA6";
}

std::string SvgNumber(double value, int decimals) {
    GLEAN_CHECK_TEXT(decimals >= 0 && decimals <= 9, "decimals>=0 && decimals<=9");
    if (!std::isfinite(value)) value = 0;
    char text[400];  // enough for the largest double in fixed notation
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string result = text;
    if (result[0] == '-' && result.find_first_not_of("-0.") == std::string::npos) {
        result.erase(0, 1);
    }
    return result;
}

TSvgWriter::TSvgWriter(double width, double height, std::string_view title) {
    text_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    Open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                 {"version", "1.1"},
                 {"width", SvgNumber(width, 0)},
                 {"height", SvgNumber(height, 0)},
                 {"viewBox", "0 0 " + SvgNumber(width, 0) + " " + SvgNumber(height, 0)},
                 {"font-family", "sans-serif"},
                 {"font-size", "12"}});
    Text("title", {}, title);
}

void TSvgWriter::Open(std::string_view element, const TSvgAttributes& attributes) {
    Tag(element, attributes);
    text_ += ">\n";
    open_.emplace_back(element);
}

void TSvgWriter::Close() {
    GLEAN_CHECK_TEXT(open_.size() > 1, "open_.size()>1");
    const std::string element = std::move(open_.back());
    open_.pop_back();
    Indent();
    text_ += "</" + element + ">\n";
}

void TSvgWriter::Empty(std::string_view element, const TSvgAttributes& attributes) {
    Tag(element, attributes);
    text_ += "/>\n";
}

void TSvgWriter::Text(std::string_view element, const TSvgAttributes& attributes,
                      std::string_view text) {
    Tag(element, attributes);
    text_ += ">" + XmlText(text) + "</" + std::string(element) + ">\n";
}

std::string TSvgWriter::Finish() {
    while (!open_.empty()) {
        const std::string element = std::move(open_.back());
        open_.pop_back();
        Indent();
        text_ += "</" + element + ">\n";
    }
    return text_;
}

void TSvgWriter::Tag(std::string_view element, const TSvgAttributes& attributes) {
    Indent();
    text_ += "<" + std::string(element);
    for (const auto& [name, value] : attributes)
        text_ += " " + name + "=\"" + XmlText(value) + "\"";
}

void TSvgWriter::Indent() {
    text_.append(2 * open_.size(), ' ');
}

}  // namespace glean
