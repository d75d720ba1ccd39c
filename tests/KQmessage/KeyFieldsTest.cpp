#include "KQmessage/KeyFields.h"

#include <gtest/gtest.h>

#include <climits>

namespace glean {
namespace {

TEST(KeyFields, TextHelpers) {
    EXPECT_EQ(Reverse("abc"), "cba");
    EXPECT_EQ(Reverse(""), "");
    EXPECT_EQ(TrimLeft("  a b "), "a b ");
    EXPECT_EQ(TrimRight("  a b  "), "  a b");
    EXPECT_EQ(Trim("   x  "), "x");
    EXPECT_EQ(Trim("    "), "");
    EXPECT_EQ(Trim("\tx\t"), "\tx\t");  // only the space counts
    EXPECT_EQ(FirstWord("  one two "), "one");
    EXPECT_EQ(FirstWord("   "), "");
    EXPECT_EQ(PadWithSpaces("k"), " k ");
}

TEST(KeyFields, ParseSwitch) {
    struct Row {
        const char* text;
        int code;
        bool flag;  // the flag after a successful parse
    };
    for (const Row& row :
         {Row{"on", kKeyOk, true}, Row{" TRUE ", kKeyOk, true}, Row{"Off", kKeyOk, false},
          Row{"false", kKeyOk, false}, Row{"yes", kKeyBadSwitch, false},
          Row{"", kKeyBadSwitch, false}, Row{"o n", kKeyBadSwitch, false}}) {
        for (const bool before : {false, true}) {
            SCOPED_TRACE(std::string(row.text) + (before ? " after true" : " after false"));
            bool flag = before;
            EXPECT_EQ(ParseSwitch(row.text, flag), row.code);
            EXPECT_EQ(flag, row.code == kKeyOk ? row.flag : before);
        }
    }
}

TEST(KeyFields, WordValues) {
    const char* line = "rate 0.5 mode on  count 12abc name  alpha";
    double rate = 0;
    EXPECT_EQ(KeyReal(line, "rate", rate), kKeyOk);
    EXPECT_DOUBLE_EQ(rate, 0.5);
    bool mode = false;
    EXPECT_EQ(KeySwitch(line, " mode ", mode), kKeyOk);
    EXPECT_TRUE(mode);
    long count = 0;
    EXPECT_EQ(KeyInteger(line, "count", count), kKeyOk);
    EXPECT_EQ(count, 12);
    std::string word = "unchanged";
    EXPECT_EQ(KeyWord(line, "ode", word), kKeyNotFound);
    EXPECT_EQ(word, "unchanged");
    EXPECT_EQ(KeyWord(line, "Name", word), kKeyNotFound);  // keywords match with case
    EXPECT_EQ(KeyWord(line, "name", word), kKeyOk);
    EXPECT_EQ(word, "alpha");
    EXPECT_EQ(KeyWord(line, "alpha", word), kKeyOk);  // nothing after the keyword
    EXPECT_EQ(word, "");
    EXPECT_EQ(KeySwitch(line, "rate", mode), kKeyBadSwitch);
    EXPECT_EQ(KeyInteger("n x", "n", count), kKeyOk);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(KeyInteger("n 99999999999999999999999", "n", count), kKeyOk);
    EXPECT_EQ(count, LONG_MAX);
    // The first occurrence counts, even where it stands as a value.
    EXPECT_EQ(KeyWord("a b b c", "b", word), kKeyOk);
    EXPECT_EQ(word, "b");
}

TEST(KeyFields, WordLongerThanTheLimitIsRefused) {
    std::string word;
    const std::string longest(kMaxKeyWord, 'w');
    EXPECT_EQ(KeyWord("k " + longest, "k", word), kKeyOk);
    EXPECT_EQ(word, longest);
    word = "unchanged";
    EXPECT_EQ(KeyWord("k " + longest + "w", "k", word), kKeyWordTooLong);
    EXPECT_EQ(word, "unchanged");
    double real = 1;
    EXPECT_EQ(KeyReal("k " + longest + "w", "k", real), kKeyWordTooLong);
    EXPECT_EQ(real, 1);
}

TEST(KeyFields, Parenthesised) {
    std::string value;
    EXPECT_EQ(KeyParenthesised("size (10 20) end", "size", value), kKeyOk);
    EXPECT_EQ(value, "10 20");
    EXPECT_EQ(KeyParenthesised("size x(() end", "size", value), kKeyOk);
    EXPECT_EQ(value, "(");
    EXPECT_EQ(KeyParenthesised("size (10 20 end", "size", value), kKeyNoParenthesis);
    EXPECT_EQ(KeyParenthesised("(1) size 10) end", "size", value), kKeyNoParenthesis);
    EXPECT_EQ(KeyParenthesised("sizes (1)", "size", value), kKeyNotFound);
}

TEST(KeyFields, Lists) {
    std::vector<std::string> items;
    EXPECT_EQ(KeyList("w {1, 2,3}", "w", items), kKeyOk);
    EXPECT_EQ(items, (std::vector<std::string>{"1", " 2", "3"}));
    std::vector<long> integers;
    EXPECT_EQ(KeyIntegerList("w {1, 2,3}", "w", integers), kKeyOk);
    EXPECT_EQ(integers, (std::vector<long>{1, 2, 3}));
    std::vector<double> reals;
    EXPECT_EQ(KeyRealList("x 0 w { 0.5,-2e3 } {9}", "w", reals), kKeyOk);
    EXPECT_EQ(reals, (std::vector<double>{0.5, -2000.0}));
    EXPECT_EQ(KeyList("w {a,,b}", "w", items), kKeyOk);
    EXPECT_EQ(items, (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(KeyList("w {  }", "w", items), kKeyOk);
    EXPECT_TRUE(items.empty());

    std::vector<bool> switches;
    EXPECT_EQ(KeySwitchList("s {on, FALSE , true}", "s", switches), kKeyOk);
    EXPECT_EQ(switches, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(KeySwitchList("s {on, maybe, off}", "s", switches), kKeyBadSwitch);
    EXPECT_EQ(switches, (std::vector<bool>{true, false, true}));
}

TEST(KeyFields, MalformedListsAreRefused) {
    std::vector<std::string> items{"unchanged"};
    EXPECT_EQ(KeyList("v {1}", "w", items), kKeyNotFound);
    EXPECT_EQ(KeyList("w 1, 2", "w", items), kKeyNoList);
    EXPECT_EQ(KeyList("{1} w 1, 2", "w", items), kKeyNoList);
    EXPECT_EQ(KeyList("w {1, 2", "w", items), kKeyNoList);
    const std::string longest(kMaxKeyListItem, 'i');
    EXPECT_EQ(KeyList("w {" + longest + "i,2}", "w", items), kKeyItemTooLong);
    EXPECT_EQ(items, std::vector<std::string>{"unchanged"});
    EXPECT_EQ(KeyList("w {" + longest + "}", "w", items), kKeyOk);
    EXPECT_EQ(items, std::vector<std::string>{longest});
    std::vector<long> integers;
    EXPECT_EQ(KeyIntegerList("w {1, 2", "w", integers), kKeyNoList);
}

TEST(KeyFields, FormattedListsReadBack) {
    const std::vector<long> integers{1, 2, 3};
    EXPECT_EQ(FormatIntegerList(integers), "{1, 2, 3}");
    EXPECT_EQ(FormatIntegerList({}), "{}");
    EXPECT_EQ(FormatIntegerList(std::vector<long>{LONG_MIN}), "{" + std::to_string(LONG_MIN) + "}");
    const std::vector<double> reals{0.1, -2.5e-7, 123456789.123456789, 1e300};
    EXPECT_EQ(FormatRealList(reals), "{0.1, -2.5e-07, 123456789.123, 1e+300}");

    std::vector<long> readInts{7};
    EXPECT_EQ(KeyIntegerList("w " + FormatIntegerList({}), "w", readInts), kKeyOk);
    EXPECT_TRUE(readInts.empty());
    EXPECT_EQ(KeyIntegerList("w " + FormatIntegerList(integers), "w", readInts), kKeyOk);
    EXPECT_EQ(readInts, integers);
    std::vector<double> readReals;
    EXPECT_EQ(KeyRealList("w " + FormatRealList(reals), "w", readReals), kKeyOk);
    ASSERT_EQ(readReals.size(), reals.size());
    for (std::size_t i = 0; i < reals.size(); ++i)
        EXPECT_NEAR(readReals[i], reals[i], std::abs(reals[i]) * 1e-11);
}

}  // namespace
}  // namespace glean
