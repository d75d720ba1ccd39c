#include "Charts/TSvgWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/TestSupport.h"

namespace glean {
namespace {

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    const struct {
        std::string In, Out;
    } rows[] = {
        {"Cold", "Cold"},
        {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
        {"&amp;", "&amp;amp;"},
        {"tab\tnew\nline\r", "tab\tnew\nline\r"},
        {std::string("nul\0x", 5), "nul?x"},
        {"bell\x07", "bell?"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"latin1 caf\xE9!", "latin1 caf?!"},  // a lead byte without its continuation
        {"\xC3", "?"},                        // cut short at the end
        {"\xC0\xAF", "??"},                   // overlong "/"
        {"\xE0\x80\xAF", "???"},              // overlong, three bytes
        {"\xED\xA0\x80", "???"},              // a surrogate
        {"\xF4\x90\x80\x80", "????"},         // beyond U+10FFFF
        {"\xEF\xBF\xBE\xEF\xBF\xBF", "??"},   // U+FFFE and U+FFFF
        {"\x80x", "?x"},                      // a continuation byte alone
    };
    for (const auto& row : rows)
        EXPECT_EQ(XmlText(row.In), row.Out) << row.In;
}

TEST(ShortText, CutsWholeCharactersAndMarksTheCut) {
    EXPECT_EQ(ShortText("Temperature", 5), "Temp\xE2\x80\xA6");
    EXPECT_EQ(ShortText("Temperature", 11), "Temperature");
    EXPECT_EQ(ShortText("\xC3\xA9t\xC3\xA9s", 3), "\xC3\xA9t\xE2\x80\xA6");
    EXPECT_EQ(ShortText("ab", 1), "\xE2\x80\xA6");
    EXPECT_EQ(ShortText("", 1), "");
    EXPECT_CHECK_FAILS(ShortText("ab", 0), "limit>=1");
}

TEST(SvgNumber, PrintsFixedDecimalsAndNoNegativeZero) {
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const struct {
        double Value;
        int Decimals;
        const char* Text;
    } rows[] = {
        {3.14159, 3, "3.142"},
        {-2.5, 1, "-2.5"},
        {464, 2, "464.00"},
        {-0.001, 2, "0.00"},
        {-0.0, 0, "0"},
        {-0.004, 2, "0.00"},
        {-0.006, 2, "-0.01"},
        {kNan, 2, "0.00"},
        {kInfinity, 1, "0.0"},
        {-kInfinity, 0, "0"},
        {1e20, 0, "100000000000000000000"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SvgNumber(row.Value, row.Decimals), row.Text) << row.Value;
    EXPECT_EQ(SvgNumber(-1.7976931348623157e308, 0).size(), 310u);
    EXPECT_CHECK_FAILS(SvgNumber(1, 10), "decimals>=0 && decimals<=9");
}

TEST(TSvgWriter, EscapesTextAndAttributesAndClosesWhatIsOpen) {
    TSvgWriter svg(640, 360.4, "a<b");
    svg.Open("g", {{"class", "x\"y"}});
    svg.Empty("line", {{"x1", "1"}});
    svg.Text("text", {{"x", "2"}}, "Hot & 'dry'");
    EXPECT_EQ(svg.Finish(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"640\" "
              "height=\"360\" viewBox=\"0 0 640 360\" font-family=\"sans-serif\" "
              "font-size=\"12\">\n"
              "  <title>a&lt;b</title>\n"
              "  <g class=\"x&quot;y\">\n"
              "    <line x1=\"1\"/>\n"
              "    <text x=\"2\">Hot &amp; &apos;dry&apos;</text>\n"
              "  </g>\n"
              "</svg>\n");
}

TEST(TSvgWriter, RefusesToCloseTheDocumentItself) {
    TSvgWriter svg(10, 10, "t");
    svg.Open("g");
    svg.Close();
    EXPECT_CHECK_FAILS(svg.Close(), "open_.size()>1");
}

}  // namespace
}  // namespace glean
