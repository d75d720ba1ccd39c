#include "KQmessage/Check.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace glean {

namespace {
std::atomic<CheckAction> currentAction{CheckAction::Exit};

std::string Describe(const std::string& expression, const std::string& unit, int line) {
    return "Internal check failed: " + expression + ", file " + unit + ", line " +
           std::to_string(line);
}
}  // namespace

CheckFailure::CheckFailure(std::string expression, std::string unit, int line)
    : std::logic_error(Describe(expression, unit, line)),
      expression_(std::move(expression)),
      unit_(std::move(unit)),
      line_(line) {}

CheckAction SetCheckAction(CheckAction action) { return currentAction.exchange(action); }

std::string SourceUnit(const char* file) {
    std::string unit = file;
    constexpr const char* extension = ".cpp";
    const std::size_t length = std::strlen(extension);
    if (unit.size() > length && unit.compare(unit.size() - length, length, extension) == 0) {
        unit.resize(unit.size() - length);
    }
    return unit;
}

void FailCheck(const char* expression, const char* file, int line) {
    if (currentAction.load() == CheckAction::Throw) {
        throw CheckFailure(expression, SourceUnit(file), line);
    }
    std::cout.flush();
    std::cerr << Describe(expression, SourceUnit(file), line) << std::endl;
    // _Exit: the state that failed the check must not be touched again by destructors.
    std::_Exit(1);
}

}  // namespace glean
