#include "FileHandler/ParseTools.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "support/TestSupport.h"

namespace glean {
namespace {

// An item in one line: "StartTag A", "Statement A = 1 open", "Token x", "EndOfBlock".
std::string Describe(const BlockItem& item) {
    static const char* const kinds[] = {"EndOfBlock", "Token", "StartTag", "Statement"};
    std::string text = kinds[item.kind];
    if (item.kind != BlockItem::EndOfBlock) text += " " + item.name;
    if (item.kind == BlockItem::Statement) text += " = " + item.value;
    if (item.open) text += " open";
    return text;
}

// Every item of `text` up to and including the first EndOfBlock, read with one reused item.
std::vector<std::string> ReadItems(const std::string& text, const char* blockdef = nullptr,
                                   bool noBracket = false) {
    std::istringstream in(text);
    FileTools tools;
    const std::string block = blockdef == nullptr ? "" : blockdef;
    std::vector<std::string> items;
    BlockItem item;
    do {
        tools.ReadItem(in, item, blockdef == nullptr ? nullptr : &block, noBracket);
        items.push_back(Describe(item));
    } while (item.kind != BlockItem::EndOfBlock);
    return items;
}

using Items = std::vector<std::string>;

// Every token of `text`, up to the empty one at the end.
std::vector<std::string> Tokens(const std::string& text) {
    std::istringstream in(text);
    FileTools tools;
    std::vector<std::string> tokens;
    for (std::string token = tools.NextToken(in); !token.empty(); token = tools.NextToken(in)) {
        tokens.push_back(token);
    }
    return tokens;
}

// The first item of `text`, for the typed readers.
BlockItem ItemOf(const std::string& text) {
    std::istringstream in(text);
    return FileTools().ReadItem(in);
}

TEST(FileToolsLexer, WhiteSpaceCommasSpecialCharactersAndComments) {
    EXPECT_EQ(Tokens(" ab,cd\t\x01\x7f\xff"
                     "ef"),
              (Items{"ab", "cd", "ef"}));
    EXPECT_EQ(Tokens("a[b]c/d*e=f<g>h"),
              (Items{"a", "[", "b", "]", "c", "/", "d", "*", "e", "=", "f", "<", "g", ">", "h"}));
    EXPECT_EQ(Tokens("[~x] [ ~x ~"), (Items{"[~", "x", "]", "[", "~x", "~"}));
    EXPECT_EQ(Tokens("a/*c*/b /* x /* nested */ y */ c */ d"),
              (Items{"a", "b", "c", "*", "/", "d"}));
    EXPECT_EQ(Tokens("/**/x /*/ still inside */ y"), (Items{"x", "y"}));
    EXPECT_EQ(Tokens("Mixed,Case"), (Items{"Mixed", "Case"}));
}

TEST(FileToolsLexer, DeeplyNestedCommentsDoNotExhaustTheStack) {
    const int depth = 200000;
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "/*";
    for (int i = 0; i < depth; ++i)
        text += "*/";
    EXPECT_EQ(Tokens(text + " after"), (Items{"after"}));
}

TEST(FileToolsLexer, UnterminatedComments) {
    EXPECT_THROW_TEXT(Tokens("x /* never closed"), FileTools::Error,
                      "Unexpected end of file during comment");
    EXPECT_THROW_TEXT(Tokens("/* a /* b */ only the inner one closes"), FileTools::Error,
                      "Unexpected end of file during comment");
    EXPECT_THROW_TEXT(ReadItems("[A /* open"), FileTools::Error,
                      "Unexpected end of file during comment");
}

TEST(FileToolsLexer, WordsUpToTheTokenBufferAndNoLonger) {
    const std::string longest(FileTools::TokenBufferSize, 'w');
    EXPECT_EQ(Tokens(longest + "]" + longest), (Items{longest, "]", longest}));
    EXPECT_THROW_TEXT(Tokens(longest + "w"), FileTools::Error, "Word longer than 1024 characters");
    EXPECT_THROW_TEXT(ReadItems("[" + longest + "ww]"), FileTools::Error,
                      "Word longer than 1024 characters");
}

TEST(FileToolsLexer, WhiteSpaceUpToItsLimitAndNoLonger) {
    // Zero bytes are white space: a stream of them (/dev/zero) must end too, buffered or not.
    const std::string longest(FileTools::WhiteSpaceLimit, '\0');
    for (std::size_t window : {0, 4096}) {
        FileTools tools;
        test::WindowBuffer fits(longest + "w", window);
        std::istream fitsIn(&fits);
        EXPECT_EQ(tools.NextToken(fitsIn), "w") << "window " << window;
        test::WindowBuffer endless(longest + " w", window);
        std::istream endlessIn(&endless);
        EXPECT_THROW_TEXT(tools.NextToken(endlessIn), FileTools::Error,
                          "White space longer than 1048576 characters");
    }
}

TEST(FileToolsLexer, FailedStreamReadsAsEndOfInput) {
    std::istringstream in("[A]");
    in.setstate(std::ios_base::failbit);
    FileTools tools;
    EXPECT_EQ(tools.NextToken(in), "");
    EXPECT_EQ(tools.ReadItem(in).kind, BlockItem::EndOfBlock);
}

TEST(FileToolsReadItem, ItemForms) {
    EXPECT_EQ(ReadItems("[A]"), (Items{"StartTag A", "EndOfBlock"}));
    EXPECT_EQ(ReadItems(" [ \t a\n ] "), (Items{"StartTag a", "EndOfBlock"}));
    EXPECT_EQ(ReadItems("[A=5]"), (Items{"Statement A = 5", "EndOfBlock"}));
    EXPECT_EQ(ReadItems("[ Key = Value ]"), (Items{"Statement Key = Value", "EndOfBlock"}));
    EXPECT_EQ(ReadItems("[/*c*/A = /*c*/5]"), (Items{"Statement A = 5", "EndOfBlock"}));
    EXPECT_EQ(ReadItems("x 2.5 = < > * /"), (Items{"Token x", "Token 2.5", "Token =", "Token <",
                                                   "Token >", "Token *", "Token /", "EndOfBlock"}));
    EXPECT_EQ(ReadItems(""), (Items{"EndOfBlock"}));
}

TEST(FileToolsReadItem, OpenBracketsLeaveTheirWordsToTheCaller) {
    std::istringstream in("[A = 1, 2] [B x] [C /*c*/ ]");
    FileTools tools;
    EXPECT_EQ(Describe(tools.ReadItem(in)), "Statement A = 1 open");
    EXPECT_EQ(tools.NextToken(in), "2");
    EXPECT_EQ(tools.NextToken(in), "]");
    EXPECT_EQ(Describe(tools.ReadItem(in)), "StartTag B open");
    EXPECT_EQ(tools.NextToken(in), "x");
    EXPECT_EQ(tools.NextToken(in), "]");
    // The decision after a name looks at the next character directly: a comment makes it open.
    EXPECT_EQ(Describe(tools.ReadItem(in)), "StartTag C open");
    EXPECT_EQ(ReadItems("[A"), (Items{"StartTag A open", "EndOfBlock"}));
    EXPECT_EQ(ReadItems("[A = 1"), (Items{"Statement A = 1 open", "EndOfBlock"}));
}

TEST(FileToolsReadItem, NoBracketModeReadsTheRestOfAnOpenLine) {
    std::istringstream in("[Name=x Index=2 Type=Ombra] [LowerBound=0.5 UpperBound=1]");
    FileTools tools;
    BlockItem item;
    std::vector<std::string> items;
    for (bool noBracket : {false, true, true, false, true}) {
        tools.ReadItem(in, item, nullptr, noBracket);
        items.push_back(Describe(item));
    }
    EXPECT_EQ(items, (Items{"Statement Name = x open", "Statement Index = 2 open",
                            "Statement Type = Ombra", "Statement LowerBound = 0.5 open",
                            "Statement UpperBound = 1"}));
    EXPECT_EQ(ReadItems("label ]", nullptr, true), (Items{"StartTag label", "EndOfBlock"}));
    // Only bracket mode treats a FormatVersion statement specially.
    EXPECT_EQ(ReadItems("FormatVersion=2]", nullptr, true),
              (Items{"Statement FormatVersion = 2", "EndOfBlock"}));
}

TEST(FileToolsReadItem, BlocksAndEndTags) {
    EXPECT_EQ(ReadItems("[A = 1] [Inner] [~ network ]", "Network"),
              (Items{"Statement A = 1", "StartTag Inner", "EndOfBlock"}));
    EXPECT_EQ(ReadItems("[~NET][A]", "Net"), (Items{"EndOfBlock"}));
    EXPECT_THROW_TEXT(ReadItems("[~Other]", "Net"), FileTools::Error, "Unexpected End Tag");
    EXPECT_THROW_TEXT(ReadItems("[~]", "Net"), FileTools::Error, "Unexpected End Tag");
    EXPECT_THROW_TEXT(ReadItems("[~Net x]", "Net"), FileTools::Error, "Expected ']'");
    EXPECT_THROW_TEXT(ReadItems("[~Net", "Net"), FileTools::Error, "Expected ']'");
    EXPECT_THROW_TEXT(ReadItems("[A = 1]", "Net"), FileTools::Error, "Unexpected end of file");
}

TEST(FileToolsReadItem, FormatVersion) {
    EXPECT_EQ(ReadItems("[FormatVersion = 0.5] [A]"), (Items{"StartTag A", "EndOfBlock"}));
    EXPECT_EQ(ReadItems("[formatversion=1.0][FORMATVERSION = 1][A]"),
              (Items{"StartTag A", "EndOfBlock"}));
    EXPECT_EQ(ReadItems("[FormatVersion = 1.0] [~B]", "B"), (Items{"EndOfBlock"}));
    EXPECT_EQ(ReadItems("[FormatVersion = 1.0]"), (Items{"EndOfBlock"}));
    EXPECT_THROW_TEXT(ReadItems("[FormatVersion = 1.1]"), FileTools::Error,
                      "Illegal Format Version");
    EXPECT_THROW_TEXT(ReadItems("[FormatVersion = nan]"), FileTools::Error,
                      "Illegal Format Version");
    EXPECT_THROW_TEXT(ReadItems("[FormatVersion = x]"), FileTools::Error, "number-expected");
    EXPECT_THROW_TEXT(ReadItems("[FormatVersion = 1.0 x]"), FileTools::Error,
                      "Illegal Format of FormatVersion");
    EXPECT_EQ(ReadItems("[FormatVersion]"), (Items{"StartTag FormatVersion", "EndOfBlock"}));
}

TEST(FileToolsReadItem, MalformedBrackets) {
    EXPECT_THROW_TEXT(ReadItems("["), FileTools::Error, "Unexpected end of file");
    EXPECT_THROW_TEXT(ReadItems("[A ="), FileTools::Error, "Unexpected end of file");
    EXPECT_THROW_TEXT(ReadItems("[A = /* c */"), FileTools::Error, "Unexpected end of file");
    EXPECT_THROW_TEXT(ReadItems("[]"), FileTools::Error, "Unexpected special character");
    EXPECT_THROW_TEXT(ReadItems("[[A]"), FileTools::Error, "Unexpected special character");
    EXPECT_THROW_TEXT(ReadItems("[A = ]"), FileTools::Error, "Unexpected special character");
    EXPECT_THROW_TEXT(ReadItems("[A = <x>]"), FileTools::Error, "Unexpected special character");
    EXPECT_THROW_TEXT(ReadItems("[A = [~B]"), FileTools::Error, "Unexpected special character");
    EXPECT_THROW_TEXT(ReadItems("=x", nullptr, true), FileTools::Error,
                      "Unexpected special character");
}

TEST(FileToolsReadItem, ConditionsOnlyAMalformedFileBreaksFailInternalChecks) {
    EXPECT_CHECK_FAILS(ReadItems("]"), "token != \"]\"");
    EXPECT_CHECK_FAILS(ReadItems("[A] ]", "A"), "token != \"]\"");
    EXPECT_CHECK_FAILS(ReadItems("[~A]"), "blockdef != nullptr");
    std::istringstream in("[A]");
    BlockItem item;
    item.name = "A";
    EXPECT_CHECK_FAILS(FileTools().ReadItem(in, item, &item.name), "blockdef != &item.name");
}

TEST(FileToolsReadItem, ErrorKeepsTheStreamWhereTheReadStopped) {
    std::istringstream in("[~Other] rest");
    const std::string block = "Net";
    FileTools tools;
    try {
        tools.ReadItem(in, &block);
        FAIL() << "no error";
    } catch (const FileTools::Error& error) {
        const FileTools::Error copy = error;
        EXPECT_EQ(copy.Message(), "Unexpected End Tag");
        EXPECT_STREQ(copy.what(), "Unexpected End Tag");
        EXPECT_EQ(&copy.Stream(), &in);
    }
    EXPECT_EQ(tools.NextToken(in), "]");
    EXPECT_EQ(tools.NextToken(in), "rest");
}

TEST(FileToolsTypedReaders, BlockStartAndEnd) {
    std::istringstream in;
    FileTools tools;
    EXPECT_EQ(tools.ExpectBlockStart(in, ItemOf("[network]"), "NETWORK"), "network");
    EXPECT_EQ(tools.ExpectBlockStart(in, ItemOf("[Layer 1]")), "Layer");
    EXPECT_THROW_TEXT(tools.ExpectBlockStart(in, ItemOf("[Other]"), "Net"), FileTools::Error,
                      "[Net] expected");
    EXPECT_THROW_TEXT(tools.ExpectBlockStart(in, ItemOf("[Net = 1]"), "Net"), FileTools::Error,
                      "[Net] expected");
    EXPECT_THROW_TEXT(tools.ExpectBlockStart(in, ItemOf("Net")), FileTools::Error,
                      "start of block expected");
    EXPECT_NO_THROW(tools.ExpectBlockEnd(in, ItemOf("")));
    EXPECT_THROW_TEXT(tools.ExpectBlockEnd(in, ItemOf("[A]")), FileTools::Error,
                      "End Tag expected");
}

TEST(FileToolsTypedReaders, ReadString) {
    std::istringstream in;
    FileTools tools;
    EXPECT_EQ(tools.ReadString(in, ItemOf("[type = Ombra]"), "Type"), "Ombra");
    EXPECT_EQ(tools.ReadString(in, ItemOf("[Name=x Index=1]"), "Name"), "x");
    EXPECT_NO_THROW(tools.ReadString(in, ItemOf("[Type = ombra]"), "Type", "OMBRA"));
    EXPECT_THROW_TEXT(tools.ReadString(in, ItemOf("[Type = MLP]"), "Type", "Ombra"),
                      FileTools::Error, "[Type = Ombra] expected");
    EXPECT_THROW_TEXT(tools.ReadString(in, ItemOf("[Kind = x]"), "Type"), FileTools::Error,
                      "[Type = <string>] expectedKind");
    EXPECT_THROW_TEXT(tools.ReadString(in, ItemOf("[Block]"), "Type"), FileTools::Error,
                      "[Type = <string>] expectedBlock");
    EXPECT_THROW_TEXT(tools.ReadString(in, ItemOf("word"), "Type", "x"), FileTools::Error,
                      "[Type = <string>] expectedword");
    EXPECT_THROW_TEXT(tools.ReadString(in, ItemOf(""), "Type"), FileTools::Error,
                      "[Type = <string>] expected");
}

TEST(FileToolsTypedReaders, ReadIntegerNumberAndNumberToken) {
    std::istringstream in;
    FileTools tools;
    EXPECT_EQ(tools.ReadInteger(in, ItemOf("[N = 3.7]"), "n"), 3);
    EXPECT_EQ(tools.ReadInteger(in, ItemOf("[N=-12 M=1]"), "N"), -12);
    EXPECT_THROW_TEXT(tools.ReadInteger(in, ItemOf("[N = x]"), "N"), FileTools::Error,
                      "integer-expected");
    EXPECT_THROW_TEXT(tools.ReadInteger(in, ItemOf("[M = 1]"), "N"), FileTools::Error,
                      "[N = <integer>] expected");
    EXPECT_THROW_TEXT(tools.ReadInteger(in, ItemOf("N"), "N"), FileTools::Error,
                      "[N = <integer>] expected");
    EXPECT_DOUBLE_EQ(tools.ReadNumber(in, ItemOf("[X = -0.25]"), "x"), -0.25);
    EXPECT_THROW_TEXT(tools.ReadNumber(in, ItemOf("[X = y]"), "X"), FileTools::Error,
                      "number-expected");
    EXPECT_THROW_TEXT(tools.ReadNumber(in, ItemOf("[X]"), "X"), FileTools::Error,
                      "[X = <number>] expected");
    EXPECT_DOUBLE_EQ(tools.ReadNumberToken(in, ItemOf("1.5e2")), 150.0);
    EXPECT_THROW_TEXT(tools.ReadNumberToken(in, ItemOf("[X = 1]")), FileTools::Error,
                      "Token (number) expected");
    EXPECT_THROW_TEXT(tools.ReadNumberToken(in, ItemOf("")), FileTools::Error,
                      "Token (number) expected");
    EXPECT_THROW_TEXT(tools.ReadNumberToken(in, ItemOf("x1")), FileTools::Error, "number-expected");
}

TEST(FileToolsTypedReaders, ParseInteger) {
    std::istringstream in;
    FileTools tools;
    struct Row {
        const char* text;
        int expected;
    };
    for (const Row& row : {Row{"12abc", 12}, Row{"3.7", 3}, Row{" \t+7", 7}, Row{"-0", 0},
                           Row{"2147483647", INT_MAX}, Row{"-2147483648", INT_MIN}}) {
        EXPECT_EQ(tools.ParseInteger(in, row.text), row.expected) << row.text;
    }
    for (const char* text :
         {"", "x", "+-1", "- 1", "2147483648", "-2147483649", "99999999999999999999999"}) {
        EXPECT_THROW_TEXT(tools.ParseInteger(in, text), FileTools::Error, "integer-expected");
    }
}

TEST(FileToolsTypedReaders, ParseNumberKeepsFullPrecision) {
    std::istringstream in;
    FileTools tools;
    EXPECT_EQ(tools.ParseNumber(in, "0.1"), 0.1);
    EXPECT_EQ(tools.ParseNumber(in, "0.12345678901234567"), 0.12345678901234567);
    EXPECT_EQ(tools.ParseNumber(in, "-1e-3xyz"), -1e-3);
    EXPECT_EQ(tools.ParseNumber(in, "  7"), 7.0);
    for (const char* text : {"", "x", "-", ".", "e5"}) {
        EXPECT_THROW_TEXT(tools.ParseNumber(in, text), FileTools::Error, "number-expected");
    }
}

// The bits of the double strtod reads from `text`.
std::uint64_t StrtodBits(const std::string& text) {
    return std::bit_cast<std::uint64_t>(std::strtod(text.c_str(), nullptr));
}

std::uint64_t ParseNumberBits(const std::string& text) {
    std::istringstream in;
    return std::bit_cast<std::uint64_t>(FileTools().ParseNumber(in, text));
}

TEST(FileToolsTypedReaders, ParseNumberGivesTheDoubleOfStrtodBitForBit) {
    const std::vector<std::string> texts = {"0",
                                            "-0",
                                            "1.5",
                                            "-.5",
                                            ".5",
                                            "5.",
                                            "1.e5",
                                            "1e+5",
                                            "1E-5",
                                            "1e",
                                            "1e+",
                                            "12abc",
                                            "1.5e3.2",
                                            "0.1,2",
                                            "+1.5",
                                            " 2",
                                            "\t-3",
                                            "0x1p3",
                                            "-0X1.8p1",
                                            "0x",
                                            "0xg",
                                            "inf",
                                            "-Infinity",
                                            "nan",
                                            "-nan",
                                            "NAN(123)",
                                            "1e400",
                                            "-1e400",
                                            "1e-400",
                                            "4.9e-324",
                                            "2.4703282292062327e-324",
                                            "2.4703282292062328e-324",
                                            "2.2250738585072011e-308",
                                            "1.7976931348623157e308",
                                            "1.7976931348623158e308",
                                            "9007199254740993",
                                            "0.30000000000000004441",
                                            "123456789012345678901234567890e-10",
                                            "0." + std::string(800, '9'),
                                            "1" + std::string(400, '0') + "e-400",
                                            "0.500000000000000000000000000000000000000000001"};
    for (const std::string& text : texts)
        EXPECT_EQ(ParseNumberBits(text), StrtodBits(text)) << text;

    // Every finite double as the writers print it, and as a longer decimal.
    std::mt19937_64 random(12345);
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        const double value = std::bit_cast<double>(random());
        if (value != value || value - value != 0.0) continue;  // NaN or infinite
        for (const char* format : {"%.15g", "%.17g", "%.20e", "%.3f"}) {
            std::snprintf(text, sizeof text, format, value);
            ASSERT_EQ(ParseNumberBits(text), StrtodBits(text)) << text;
        }
    }
}

TEST(FileToolsTypedReaders, PlainDecimalsGiveTheDoubleOfStrtodBitForBit) {
    // Where exact shortcuts end: 19 and 20 digits, 2^53 and one above, 22 and 23 decimals; and a
    // second point or trailing text.
    const std::vector<std::string> texts = {"9007199254740992",
                                            "9007199254740993",
                                            "900719925474099.3",
                                            "0.9007199254740993",
                                            "1234567890123456789",
                                            "12345678901234567890",
                                            "0.0000000000000000000001",
                                            "0.00000000000000000000001",
                                            "1.0000000000000000000001",
                                            "-0.000",
                                            "007.50",
                                            "1.5.3",
                                            "2.5T",
                                            "0.1e1",
                                            "3.x"};
    for (const std::string& text : texts)
        EXPECT_EQ(ParseNumberBits(text), StrtodBits(text)) << text;

    // Weights as writers print them, and random digit strings with the point anywhere.
    std::mt19937_64 random(2024);
    std::uniform_real_distribution<double> weight(-1000.0, 1000.0);
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        const double value = weight(random) * (i % 2 == 0 ? 1.0 : 1e-3);
        for (const char* format : {"%.15g", "%.16g", "%.17g", "%.6f", "%.18f"}) {
            std::snprintf(text, sizeof text, format, value);
            ASSERT_EQ(ParseNumberBits(text), StrtodBits(text)) << text;
        }
        std::string digits = std::to_string(random() % 10000000000000000000ULL);
        digits.insert(random() % (digits.size() + 1), ".");
        ASSERT_EQ(ParseNumberBits(digits), StrtodBits(digits)) << digits;
    }
}

TEST(FileToolsLexer, EveryByteEndsALongWordOrNotByItsClass) {
    // Each byte value inside a word, near its start, its end and across 16-byte blocks.
    for (int ch = 1; ch < 256; ++ch) {
        const bool white = ch < 33 || ch > 126 || ch == ',';
        const bool special =
            std::string_view("[]/*=<>").find(static_cast<char>(ch)) != std::string_view::npos;
        for (const std::size_t at : {1, 7, 15, 16, 17, 31, 32, 39}) {
            std::string word(40, 'w');
            word[at] = static_cast<char>(ch);
            std::vector<std::string> expected;
            if (white) {
                expected = {word.substr(0, at), word.substr(at + 1)};
            } else if (special) {
                expected = {word.substr(0, at), word.substr(at, 1), word.substr(at + 1)};
            } else {
                expected = {word};
            }
            if (expected.back().empty()) expected.pop_back();
            expected.push_back("x");
            ASSERT_EQ(Tokens(word + " x"), expected) << "byte " << ch << " at " << at;
        }
    }
}

TEST(FileToolsLexer, WordsAcrossBufferRefillsAndUnbufferedStreams) {
    const std::string longest(FileTools::TokenBufferSize, 'w');
    const std::string text = "[Alpha = 12.5e-3]  /* a /* nested */ comment */ word,other<>[~End] " +
                             longest + "\n-0.25 T\t[X]";
    const std::vector<std::string> expected = Tokens(text);
    ASSERT_EQ(expected.size(), 18U);
    for (std::size_t window : {0, 1, 2, 3, 7, 4096}) {
        test::WindowBuffer buffer(text, window);
        std::istream in(&buffer);
        FileTools tools;
        std::vector<std::string> tokens;
        for (std::string token = tools.NextToken(in); !token.empty(); token = tools.NextToken(in))
            tokens.push_back(token);
        EXPECT_EQ(tokens, expected) << "window " << window;
        EXPECT_TRUE(in.eof());

        test::WindowBuffer tooLong(longest + "w rest", window);
        std::istream longIn(&tooLong);
        EXPECT_THROW_TEXT(tools.NextToken(longIn), FileTools::Error,
                          "Word longer than 1024 characters");
        EXPECT_EQ(tools.NextToken(longIn), "rest") << "window " << window;
    }
}

TEST(FileToolsWriters, ExactBytes) {
    FileTools tools;
    const auto written = [](auto write) {
        std::ostringstream out;
        write(out);
        return out.str();
    };
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteFormatVersion(o); }),
              "[FormatVersion = 1.0]\n\n");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteNewline(o); }), "\n");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteStartTag(o, "Net"); }), "[Net]\n");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteStartTag(o, "Net", false); }), "Net ");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteEndTag(o, "Net"); }), "[~Net]\n");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteEndTag(o, ""); }), "");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteString(o, "Type", "Ombra"); }),
              "[Type = Ombra]\n");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteString(o, "Type", "Ombra", false); }),
              "Type=Ombra ");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteInteger(o, "N", INT_MIN); }),
              "[N = -2147483648]\n");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteInteger(o, "N", 42, false); }), "N=42 ");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteNumber(o, "K", 0.5, 3); }),
              "[K = 0.500]\n");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteNumber(o, "K", 0.5, 3, false); }),
              "K=0.500 ");
    EXPECT_EQ(written([&](std::ostream& o) { tools.WriteNumber(o, "K", -2.25, 0, false); }),
              "K=-2 ");
}

TEST(FileToolsWriters, WideNumbersAreWrittenWhole) {
    FileTools tools;
    std::ostringstream out;
    tools.WriteNumber(out, "K", -1e300, 7, false);
    const std::string text = out.str();
    // "K=-", 301 integer digits, ".", 7 decimals, " ".
    EXPECT_EQ(text.size(), 3u + 301u + 1u + 7u + 1u);
    EXPECT_EQ(text.substr(0, 8), "K=-10000");
    EXPECT_EQ(text.substr(text.size() - 9), ".0000000 ");
    std::ostringstream manyDecimals;
    tools.WriteNumber(manyDecimals, "K", 0.5, 40);
    EXPECT_EQ(manyDecimals.str(), "[K = 0." + std::string("5") + std::string(39, '0') + "]\n");
}

TEST(FileToolsWriters, LineEndsLeaveFlushingToTheFilesWriter) {
    FileTools tools;
    test::FlushCounter buffer;
    std::ostream out(&buffer);
    tools.WriteString(out, "A", "1", false);
    tools.WriteString(out, "A", "1");
    tools.WriteFormatVersion(out);
    tools.WriteNewline(out);
    EXPECT_EQ(buffer.flushes, 0);
    EXPECT_EQ(buffer.str(), "A=1 [A = 1]\n[FormatVersion = 1.0]\n\n\n");
}

TEST(FileToolsWriters, WrittenBlocksReadBack) {
    FileTools tools;
    std::ostringstream out;
    tools.WriteFormatVersion(out);
    tools.WriteStartTag(out, "Net");
    tools.WriteString(out, "Type", "Ombra");
    out << "[";
    tools.WriteInteger(out, "Index", -3, false);
    tools.WriteNumber(out, "Centre", 0.1234567, 7, false);
    out << "]";
    tools.WriteNewline(out);
    tools.WriteEndTag(out, "Net");

    std::istringstream in(out.str());
    BlockItem item;
    tools.ReadItem(in, item);
    const std::string block = tools.ExpectBlockStart(in, item, "net");
    tools.ReadItem(in, item, &block);
    tools.ReadString(in, item, "Type", "Ombra");
    tools.ReadItem(in, item, &block);
    EXPECT_EQ(tools.ReadInteger(in, item, "Index"), -3);
    EXPECT_TRUE(item.open);
    tools.ReadItem(in, item, &block, true);
    EXPECT_EQ(tools.ReadNumber(in, item, "Centre"), 0.1234567);
    EXPECT_FALSE(item.open);
    tools.ReadItem(in, item, &block);
    tools.ExpectBlockEnd(in, item);
    EXPECT_EQ(tools.ReadItem(in).kind, BlockItem::EndOfBlock);
}

}  // namespace
}  // namespace glean
