#include "Training/TVariableNames.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "KQmessage/TException.h"

namespace glean {

std::string SanitisedName(const std::string& text, const std::string& fallback) {
    std::string name;
    bool gap = false;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '_') {
            if (gap && !name.empty()) name += '_';
            name += char(c);
            gap = false;
        } else {
            gap = true;
        }
    }
    if (name.empty()) return fallback;
    for (const char* reserved : {"if", "then", "and", "or", "not", "is"}) {
        if (SameText(name, reserved)) return name + "_";
    }
    return name;
}

std::vector<std::string> UniqueNames(std::vector<std::string> names) {
    std::map<std::string, int> seen;
    auto key = [](std::string name) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return char(std::toupper(c)); });
        return name;
    };
    for (const std::string& name : names)
        seen[key(name)] = 0;
    std::map<std::string, int> count;
    for (std::string& name : names) {
        const int n = ++count[key(name)];
        if (n == 1) continue;
        std::string candidate;
        for (int suffix = n;; ++suffix) {
            candidate = name + "_" + std::to_string(suffix);
            if (!seen.count(key(candidate))) break;
        }
        seen[key(candidate)] = 0;
        name = candidate;
    }
    return names;
}

std::vector<std::string> TermNames(int count) {
    switch (count) {
        case 2:
            return {"Low", "High"};
        case 3:
            return {"Low", "Medium", "High"};
        case 4:
            return {"VeryLow", "Low", "High", "VeryHigh"};
        case 5:
            return {"VeryLow", "Low", "Medium", "High", "VeryHigh"};
        default: {
            std::vector<std::string> names;
            for (int t = 1; t <= count; ++t)
                names.push_back("Term" + std::to_string(t));
            return names;
        }
    }
}

}  // namespace glean
