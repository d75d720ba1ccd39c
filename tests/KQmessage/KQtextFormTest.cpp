#include "KQmessage/KQtextForm.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/TestSupport.h"

namespace glean {
namespace {

std::string Printed(const TKQstructure& node) {
    std::ostringstream out;
    Print(node, out);
    return out.str();
}

TEST(KQtextForm, PrintsLeavesAndNestedNodes) {
    TKQstructure params("Params");
    EXPECT_EQ(Printed(params), "Params");
    params.SetReal("ThresholdIn", 0.5);
    auto inner = std::make_unique<TKQstructure>("c");
    inner->SetString("d", "e");
    params.SetParameter("b", std::move(inner));
    EXPECT_EQ(Printed(params), "(Params :ThresholdIn 0.500000 :b (c :d e))");

    std::ostringstream line;
    PrintLine(*MakeError("bad-header"), line);
    EXPECT_EQ(line.str(), "(error :type bad-header)\n");
}

TEST(KQtextForm, ParsesWhatItPrints) {
    for (const char* text : {"(Params :ThresholdIn 0.500000)", "network", "a:b", "(a :b (c :d e))",
                             "(error :type invalid-message :expected method)"}) {
        EXPECT_EQ(Printed(*Parse(text)), text);
    }
}

TEST(KQtextForm, ParseBuildsTheTree) {
    const auto node = Parse("  (a\t:b (c :d e)\n:x:y 1)  \n");
    EXPECT_EQ(node->Name, "a");
    ASSERT_EQ(node->Count(), 2);
    const TKQstructure& b = node->GetParameter("B");
    EXPECT_EQ(b.Name, "c");
    EXPECT_EQ(b.GetParameter("d").Name, "e");
    EXPECT_EQ(b.GetParameter("d").Count(), 0);
    // A colon inside a word belongs to it, also in a key.
    EXPECT_EQ(node->ParameterAt(1).Key, "x:y");
    EXPECT_EQ(Parse("network")->Count(), 0);
}

TEST(KQtextForm, RepeatedKeyReplacesTheValueAndKeepsTheFirstKeyText) {
    const auto node = Parse("(p :Key 1 :KEY 2)");
    ASSERT_EQ(node->Count(), 1);
    EXPECT_EQ(node->ParameterAt(0).Key, "Key");
    EXPECT_EQ(node->ParameterAt(0).Value->Name, "2");
}

TEST(KQtextForm, ParseStructureLeavesTheCursorAfterTheStructure) {
    std::string_view cursor = "(a :b c) rest";
    EXPECT_EQ(ParseStructure(cursor)->Name, "a");
    EXPECT_EQ(cursor, " rest");
}

TEST(KQtextForm, MalformedTextFailsTheChecks) {
    for (const char* text : {"", "   ", ")", ":", "(", "(:a b)", "(a :)", "(a : (b c)", "(a :b"}) {
        SCOPED_TRACE(text);
        testing::internal::CaptureStderr();
        EXPECT_CHECK_FAILS(Parse(text), "0");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "special character unexpected\n");
    }
    EXPECT_CHECK_FAILS(Parse("(a b c)"), "*s == ')'");
    EXPECT_CHECK_FAILS(Parse("(a :b c"), "*s == ')'");
    EXPECT_CHECK_FAILS(Parse("(a :b c))"), "*s == '\\0'");
    EXPECT_CHECK_FAILS(Parse("a b"), "*s == '\\0'");
}

TEST(KQtextForm, NestingIsBounded) {
    std::string text;
    for (int depth = 1; depth < kMaxTextFormDepth; ++depth)
        text += "(n :k ";
    text += "leaf" + std::string(kMaxTextFormDepth - 1, ')');
    EXPECT_EQ(Printed(*Parse(text)), text);
    EXPECT_CHECK_FAILS(Parse("(n :k " + text + ")"), "depth <= kMaxTextFormDepth");
}

TEST(KQtextForm, ScanToken) {
    std::string_view cursor = "\x01 \x7f\xff(ab:c)d :e";
    EXPECT_EQ(ScanToken(cursor, "():"), "(");
    EXPECT_EQ(ScanToken(cursor, "():"), "ab:c");
    EXPECT_EQ(ScanToken(cursor, "():"), ")");
    EXPECT_EQ(ScanToken(cursor, "():"), "d");
    EXPECT_EQ(ScanToken(cursor, "():"), ":");
    EXPECT_EQ(ScanToken(cursor, "():"), "e");
    EXPECT_EQ(ScanToken(cursor, "():"), "");
    EXPECT_EQ(ScanToken(cursor, "():"), "");

    std::string_view plain = "(a)b c";
    EXPECT_EQ(ScanToken(plain, ""), "(a)b");
    EXPECT_EQ(plain, " c");
}

TEST(KQtextForm, JoinArguments) {
    const char* const words[] = {"prog", "-x", "3"};
    EXPECT_EQ(JoinArguments(3, words), "-x 3 ");
    EXPECT_EQ(JoinArguments(1, words), "");
    EXPECT_EQ(JoinArguments(0, words), "");
}

}  // namespace
}  // namespace glean
