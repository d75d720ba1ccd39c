// Internal consistency checks.
//
// A check guards a condition that only a fault in the program (or a file that the readers cannot
// reject any other way) can break. A failed check reports the condition, the source unit and the
// line on standard error and ends the run with exit code 1: never undefined behaviour, never a
// core dump. Tests and fuzzers switch checks to throwing `CheckFailure` instead, so that a fired
// check can be observed without ending the process.
#pragma once

#include <stdexcept>
#include <string>

namespace glean {

// What a failed check does.
enum class CheckAction {
    Exit,   // report on standard error, flush the standard streams, end the process with code 1
    Throw,  // throw CheckFailure (tests and fuzzing)
};

// Thrown by a failed check when the action is CheckAction::Throw.
class CheckFailure : public std::logic_error {
public:
    CheckFailure(std::string expression, std::string unit, int line);
    const std::string& Expression() const { return expression_; }
    const std::string& Unit() const { return unit_; }
    int Line() const { return line_; }

private:
    std::string expression_;
    std::string unit_;
    int line_;
};

// Sets what failed checks do from now on; returns the previous action.
CheckAction SetCheckAction(CheckAction action);

// The source unit of a file name: the path relative to the repository root, without ".cpp".
std::string SourceUnit(const char* file);

// Reports a failed check; does not return.
[[noreturn]] void FailCheck(const char* expression, const char* file, int line);

}  // namespace glean

// Checks `condition`; the report quotes the condition as written.
#define GLEAN_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::glean::FailCheck(#condition, __FILE__, __LINE__))

// Checks `condition`; the report quotes `text`, the condition in the words of the documentation.
#define GLEAN_CHECK_TEXT(condition, text) \
    ((condition) ? static_cast<void>(0) : ::glean::FailCheck(text, __FILE__, __LINE__))

// Marks a place that must never be reached; the report quotes `text`.
#define GLEAN_FAIL(text) ::glean::FailCheck(text, __FILE__, __LINE__)
