// The exported engines, run by the real fuzzylite program, against the library's evaluator:
// every format, both output modes, both conjunctions, on a grid that hits every vertex.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "FileHandler/TRuleFile.h"
#include "RuleEngine/TFisExporter.h"
#include "RuleEngine/TRuleExporter.h"
#include "RuleSets.h"
#include "support/Fuzzylite.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

namespace fs = std::filesystem;
using test::RunFuzzylite;

struct Case {
    const char* Format;  // file extension and fuzzylite's importer name
    TOutputMode Mode;
    TConjunction Conjunction;
};

std::string Name(const testing::TestParamInfo<Case>& info) {
    return std::string(info.param.Format) + "_" + OutputModeName(info.param.Mode) + "_" +
           ConjunctionName(info.param.Conjunction);
}

class EngineAgreement : public testing::TestWithParam<Case> {
protected:
    // Exports rules in the case's format, runs fuzzylite on a grid and compares.
    void Agree(const TFuzzyRuleSet& rules, const std::string& label) {
        ASSERT_TRUE(fs::exists(GLEAN_FUZZYLITE)) << "fuzzylite is not installed";
        const Case& c = GetParam();
        const fs::path folder =
            fs::temp_directory_path() /
            ("glean-engine-" + label + "-" + Name({c, 0}) + "-" + std::to_string(getpid()));
        fs::create_directories(folder);
        const TRuleBase base(rules);
        const fs::path engine = folder / (std::string("engine.") + c.Format);
        {
            std::ofstream out(engine);
            TRuleExporter::ForFile(engine.string())
                ->Write(base, {c.Conjunction, c.Mode, label}, out);
        }
        const auto grid = test::GridOf(rules, 21);
        const fs::path gridFile = folder / "grid.fld";
        {
            std::ofstream out(gridFile);
            for (const auto& sample : grid) {
                for (double value : sample)
                    out << ExactNumber(value) << ' ';
                out << '\n';
            }
        }
        const auto engineRows = RunFuzzylite(engine, c.Format, gridFile);
        ASSERT_EQ(engineRows.size(), grid.size());
        const TRuleEvaluator evaluator(base, c.Conjunction, c.Mode);
        std::vector<double> expected(base.Outputs());
        int fired = 0;
        for (std::size_t s = 0; s < grid.size(); ++s) {
            evaluator.Evaluate(grid[s], expected);
            ASSERT_EQ(engineRows[s].size(), expected.size());
            for (std::size_t o = 0; o < expected.size(); ++o) {
                if (std::isnan(expected[o])) {
                    EXPECT_TRUE(std::isnan(engineRows[s][o])) << "sample " << s << " output " << o;
                } else {
                    ++fired;
                    EXPECT_NEAR(engineRows[s][o], expected[o], 1e-6)
                        << "sample " << s << " output " << o;
                }
            }
        }
        EXPECT_GT(fired, 0);  // some rule fired: the comparison is not NaN against NaN only
        if (!HasFailure()) fs::remove_all(folder);
    }
};

TEST_P(EngineAgreement, RulesOfNetworks) {
    for (unsigned seed : {1u, 2u, 3u}) {
        Agree(*test::NetworkRules(seed, false), "plain" + std::to_string(seed));
        Agree(*test::NetworkRules(seed, true), "degenerate" + std::to_string(seed));
    }
}

TEST_P(EngineAgreement, BundledExample) {
    std::ifstream in(GLEAN_EXAMPLES "/fan/fan.rul");
    ASSERT_TRUE(in) << "the bundled example is missing";
    FileTools tools;
    Agree(*TRuleFile::LoadRules(tools, in), "fan");
}

TEST_P(EngineAgreement, CompoundConditions) {
    auto flat = test::NetworkRules(5, false);
    test::AddFlatRules(*flat);
    Agree(*flat, "flat");

    auto rules = test::NetworkRules(4, true);
    test::AddCompoundRules(*rules);
    if (std::string(GetParam().Format) != "fis") return Agree(*rules, "compound");
    // FIS holds one operator per rule and no brackets: the first compound rule is refused.
    std::ostringstream out;
    const std::string first = "rule " + std::to_string(rules->RuleList->numRules() - 2);
    EXPECT_THROW_TEXT(TFisExporter().Write(TRuleBase(*rules), {}, out), ExportError,
                      first + ": FIS cannot mix \"and\" with \"or\"");
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, EngineAgreement,
    testing::Values(Case{"fll", TOutputMode::Singletons, TConjunction::Minimum},
                    Case{"fll", TOutputMode::Singletons, TConjunction::Product},
                    Case{"fll", TOutputMode::Triangles, TConjunction::Minimum},
                    Case{"fll", TOutputMode::Triangles, TConjunction::Product},
                    Case{"fis", TOutputMode::Singletons, TConjunction::Minimum},
                    Case{"fis", TOutputMode::Singletons, TConjunction::Product},
                    Case{"fis", TOutputMode::Triangles, TConjunction::Minimum},
                    Case{"fis", TOutputMode::Triangles, TConjunction::Product},
                    Case{"fcl", TOutputMode::Singletons, TConjunction::Minimum},
                    Case{"fcl", TOutputMode::Singletons, TConjunction::Product},
                    Case{"fcl", TOutputMode::Triangles, TConjunction::Minimum},
                    Case{"fcl", TOutputMode::Triangles, TConjunction::Product}),
    Name);

}  // namespace
}  // namespace glean
