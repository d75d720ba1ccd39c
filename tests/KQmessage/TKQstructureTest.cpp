#include "KQmessage/TKQstructure.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace glean {
namespace {

// The error node's type and, when given, one further string parameter.
void ExpectErrorNode(const TKQstructure::Error& error, const std::string& type,
                     const std::string& key = "", const std::string& value = "") {
    const TKQstructure& node = error.Node();
    EXPECT_EQ(node.Name, "error");
    ASSERT_GE(node.Count(), 1);
    EXPECT_EQ(node.ParameterAt(0).Key, "type");
    EXPECT_EQ(node.ParameterAt(0).Value->Name, type);
    if (!key.empty()) {
        ASSERT_EQ(node.Count(), 2);
        EXPECT_EQ(node.ParameterAt(1).Key, key);
        EXPECT_EQ(node.ParameterAt(1).Value->Name, value);
    }
}

TEST(TKQstructure, NewNodes) {
    TKQstructure unnamed;
    EXPECT_EQ(unnamed.Name, "unknown");
    EXPECT_EQ(unnamed.Count(), 0);
    EXPECT_EQ(unnamed.Capacity(), 16);
    EXPECT_EQ(unnamed.FindParameter("x"), nullptr);
    EXPECT_EQ(TKQstructure("Params").Name, "Params");
}

TEST(TKQstructure, ReplacingKeepsTheFirstKeyTextAndTheCount) {
    TKQstructure params("Params");
    params.SetReal("thresholdin", 0.25);
    params.SetReal("ThresholdIn", 0.5);
    ASSERT_EQ(params.Count(), 1);
    EXPECT_EQ(params.ParameterAt(0).Key, "thresholdin");
    EXPECT_EQ(params.GetParameter("THRESHOLDIN").Name, "0.500000");
}

TEST(TKQstructure, GrowsByDoublingAndKeepsOrder) {
    TKQstructure node;
    for (int i = 0; i < 17; ++i) node.SetInteger("k" + std::to_string(i), i);
    EXPECT_EQ(node.Capacity(), 32);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(node.ParameterAt(i).Key, "k" + std::to_string(i));
        EXPECT_EQ(node.ParameterAt(i).Value->Name, std::to_string(i));
    }
}

TEST(TKQstructure, CopyIsDeepAndSizedToTheCount) {
    TKQstructure empty;
    TKQstructure copy(empty);
    EXPECT_EQ(copy.Capacity(), 0);
    copy.SetBoolean("flag", true);
    EXPECT_EQ(copy.Capacity(), 16);
    EXPECT_EQ(empty.Count(), 0);

    TKQstructure source("a");
    source.SetString("b", "c");
    TKQstructure assigned;
    assigned = source;
    assigned.GetParameter("b").Name = "changed";
    EXPECT_EQ(source.GetParameter("b").Name, "c");
    EXPECT_EQ(assigned.Name, "a");
    EXPECT_EQ(assigned.Capacity(), 1);
    const TKQstructure& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.GetParameter("b").Name, "changed");
}

TEST(TKQstructure, RemoveMovesTheLastEntryIntoTheGap) {
    TKQstructure node;
    node.SetString("a", "1");
    node.SetString("b", "2");
    node.SetString("c", "3");
    node.RemoveParameter("A");
    ASSERT_EQ(node.Count(), 2);
    EXPECT_EQ(node.ParameterAt(0).Key, "c");
    EXPECT_EQ(node.ParameterAt(1).Key, "b");
    node.RemoveParameter("absent");
    EXPECT_EQ(node.Count(), 2);
}

TEST(TKQstructure, ValuesAreFormattedAsDocumented) {
    TKQstructure node;
    node.SetReal("r", 0.3);
    node.SetInteger("i", -42);
    node.SetBoolean("f", false);
    EXPECT_EQ(node.GetParameter("r").Name, "0.300000");
    EXPECT_EQ(node.GetParameter("i").Name, "-42");
    EXPECT_EQ(node.GetParameter("f").Name, "false");
    EXPECT_DOUBLE_EQ(ExpectDouble(node.GetParameter("r").Name), 0.3);
}

TEST(TKQstructure, AbsentKeys) {
    TKQstructure node;
    EXPECT_CHECK_FAILS(node.GetParameter("method"), "0");
    try {
        node.RequireParameter("method");
        FAIL();
    } catch (const TKQstructure::Error& error) {
        ExpectErrorNode(error, "invalid-message", "expected", "method");
    }
    EXPECT_CHECK_FAILS(node.SetParameter("k", nullptr), "newval != NULL");
}

TEST(TKQstructure, CheckParameter) {
    TKQstructure node;
    node.SetString("method", "Glean");
    EXPECT_NO_THROW(node.CheckParameter("method", ""));
    EXPECT_NO_THROW(node.CheckParameter("METHOD", "GLEAN"));
    try {
        node.CheckParameter("method", "other");
        FAIL();
    } catch (const TKQstructure::Error& error) {
        const TKQstructure& e = error.Node();
        ASSERT_EQ(e.Count(), 3);
        EXPECT_EQ(e.ParameterAt(1).Key, "tag");
        EXPECT_EQ(e.ParameterAt(1).Value->Name, "method");
        EXPECT_EQ(e.ParameterAt(2).Key, "expected-value");
        EXPECT_EQ(e.ParameterAt(2).Value->Name, "other");
    }
    EXPECT_THROW(node.CheckParameter("absent", ""), TKQstructure::Error);
}

TEST(TKQstructure, Conversions) {
    EXPECT_EQ(ExpectLong("12abc"), 12);
    EXPECT_EQ(ExpectLong("  -7 "), -7);
    EXPECT_DOUBLE_EQ(ExpectDouble(" 0.25 "), 0.25);
    EXPECT_TRUE(ExpectBoolean("True"));
    EXPECT_FALSE(ExpectBoolean("FALSE"));
    try {
        ExpectLong("x1");
        FAIL();
    } catch (const TKQstructure::Error& error) {
        ExpectErrorNode(error, "invalid-message", "integer-expected", "x1");
    }
    try {
        ExpectLong("99999999999999999999999");
        FAIL();
    } catch (const TKQstructure::Error& error) {
        ExpectErrorNode(error, "invalid-message", "integer-expected", "99999999999999999999999");
    }
    try {
        ExpectDouble("");
        FAIL();
    } catch (const TKQstructure::Error& error) {
        ExpectErrorNode(error, "invalid-message", "number-expected", "");
    }
    try {
        ExpectBoolean("yes");
        FAIL();
    } catch (const TKQstructure::Error& error) {
        ExpectErrorNode(error, "type-error", "expected", "boolean");
    }
    EXPECT_EQ(ToLong("5"), 5);
    EXPECT_CHECK_FAILS(ToLong("five"), "err == 1");
    EXPECT_CHECK_FAILS(ToDouble("."), "err == 1");
}

}  // namespace
}  // namespace glean
