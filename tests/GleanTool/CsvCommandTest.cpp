#include "GleanTool/CsvCommand.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace glean {
namespace {

TCsvJob Job(const std::vector<std::string>& options) {
    std::vector<std::string> words = {"a.csv", "a.dat"};
    words.insert(words.end(), options.begin(), options.end());
    return ParseCsvJob(words);
}

TEST(ParseCsvJob, ReadsEveryOption) {
    const TCsvJob job = Job({"--class", "species", "--holdout-every", "3", "--holdout", "b.dat",
                             "--names", "a,b,species", "--outputs", "1"});
    EXPECT_EQ(job.CsvFile, "a.csv");
    EXPECT_EQ(job.DataFile, "a.dat");
    EXPECT_EQ(job.Options.Names, (std::vector<std::string>{"a", "b", "species"}));
    EXPECT_EQ(job.Options.ClassColumn, "species");
    EXPECT_EQ(job.Options.HoldoutEvery, 3);
    EXPECT_EQ(job.HeldOutFile, "b.dat");
    EXPECT_EQ(Job({"--outputs", "2"}).Options.Outputs, 2);
    const TCsvJob defaults = Job({});
    EXPECT_EQ(defaults.Options.HoldoutEvery, 0);
    EXPECT_EQ(defaults.Options.Outputs, 1);
    EXPECT_EQ(defaults.HeldOutFile, "");
}

TEST(ParseCsvJob, RefusesHalfAHoldOutAndCountsBelowTheirLeast) {
    const struct {
        std::vector<std::string> Options;
        const char* Message;
    } cases[] = {
        {{"--holdout-every", "3"}, "--holdout-every and --holdout go together"},
        {{"--holdout", "b.dat"}, "--holdout-every and --holdout go together"},
        {{"--holdout-every", "1", "--holdout", "b.dat"}, "--holdout-every must be >= 2"},
        {{"--holdout-every", "x", "--holdout", "b.dat"},
         "--holdout-every needs a number, not \"x\""},
        {{"--outputs", "0"}, "--outputs must be >= 1"},
    };
    for (const auto& c : cases)
        EXPECT_THROW_TEXT(Job(c.Options), UsageError, c.Message);
    EXPECT_EQ(Job({"--holdout-every", "2", "--holdout", "b.dat"}).Options.HoldoutEvery, 2);
}

}  // namespace
}  // namespace glean
