// What every fuzz target shares. A target feeds one input to the code under test and returns
// normally when the code ends or reports one of the program's own failures; anything else (a
// crash, a sanitizer report, a leak, another exception escaping, a broken round trip) is a
// finding.
//
// Each target defines LLVMFuzzerTestOneInput. Built with GLEAN_FUZZ it is a libFuzzer program;
// otherwise ReplayMain.cpp makes it a program that runs every file it is given once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "FileHandler/ParseTools.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"

// Called once before the first input: switches internal checks to throwing CheckFailure.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
// Runs the code under test on one input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace glean::fuzz {

// The input bytes as a text.
std::string Text(const std::uint8_t* data, std::size_t size);

// Runs body, accepting the failures the program reports to its user: FileTools::Error,
// TException, TKQstructure::Error and a failed internal check. Returns true when body ended
// normally. Every other exception leaves it.
template <class Body>
bool Accepting(Body&& body) {
    try {
        body();
        return true;
    } catch (const FileTools::Error&) {
    } catch (const TException&) {
    } catch (const TKQstructure::Error&) {
    } catch (const CheckFailure&) {
    }
    return false;
}

// Reports a broken property of the code under test (`what`, with the texts compared) on
// standard error and aborts, which the fuzzer records as a crash.
[[noreturn]] void Finding(const char* what, const std::string& expected = {},
                          const std::string& actual = {});

// A finding unless the two texts are equal; `what` names the property.
void RequireSame(const char* what, const std::string& expected, const std::string& actual);

}  // namespace glean::fuzz
