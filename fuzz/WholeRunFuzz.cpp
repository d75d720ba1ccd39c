// The whole run held in memory: weight file in, rule file out. The input is the weight file,
// optionally followed by a form feed and a labels file, optionally followed by a second form
// feed and the thresholds ("ThresholdIn ThresholdOut", each a number or anything else for "not
// given"). Every exception that leaves the run must be one the program reports; a rule file it
// writes must be one the rule file reader takes back unchanged.

#include <charconv>
#include <optional>
#include <sstream>
#include <string_view>

#include "FileHandler/TRuleFile.h"
#include "Ombra/Glean/Glean.h"
#include "fuzz/FuzzSupport.h"

namespace glean::fuzz {
namespace {

constexpr char kPartSeparator = '\f';

// The next part of the input, up to a form feed or the end; null when the input is used up.
std::optional<std::string_view> NextPart(std::string_view& rest) {
    if (rest.data() == nullptr) return std::nullopt;
    const std::size_t end = rest.find(kPartSeparator);
    const std::string_view part = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return part;
}

// The number that makes up the whole word, if any.
std::optional<double> Number(std::string_view word) {
    double value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
    return value;
}

GleanParameters Thresholds(std::string_view text) {
    std::istringstream words{std::string(text)};
    std::string in;
    std::string out;
    words >> in >> out;
    GleanParameters parameters;
    parameters.ThresholdIn = Number(in);
    parameters.ThresholdOut = Number(out);
    return parameters;
}

void RequireReadable(const std::string& rules) {
    FileTools tools;
    std::istringstream in(rules);
    std::unique_ptr<TFuzzyRuleSet> set;
    try {
        set = TRuleFile::LoadRules(tools, in);
    } catch (const FileTools::Error& error) {
        Finding(("the rule file written cannot be read: " + error.Message()).c_str(), {}, rules);
    } catch (const TException& error) {
        Finding(("the rule file written cannot be read: " + error.Kind).c_str(), {}, rules);
    }
    std::ostringstream again;
    TRuleFile::SaveRules(tools, again, *set);
    RequireSame("rule file written by the run, read and written again", rules, again.str());
}

}  // namespace
}  // namespace glean::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace glean;
    const std::string input = fuzz::Text(data, size);
    std::string_view rest(input.data(), input.size());
    std::istringstream weights(std::string(*fuzz::NextPart(rest)));
    const auto labelsText = fuzz::NextPart(rest);
    std::istringstream labels(std::string(labelsText.value_or("")));
    const GleanParameters parameters = fuzz::Thresholds(fuzz::NextPart(rest).value_or(""));

    std::ostringstream rules;
    if (!fuzz::Accepting(
            [&] { ExtractRuleFile(weights, labelsText ? &labels : nullptr, parameters, rules); })) {
        return 0;
    }
    fuzz::RequireReadable(rules.str());
    return 0;
}
