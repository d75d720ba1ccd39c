#include "fuzz/FuzzSupport.h"

#include <cstdlib>
#include <iostream>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    glean::SetCheckAction(glean::CheckAction::Throw);
    return 0;
}

namespace glean::fuzz {

std::string Text(const std::uint8_t* data, std::size_t size) {
    return size == 0 ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
}

void Finding(const char* what, const std::string& expected, const std::string& actual) {
    std::cerr << "Finding: " << what << '\n';
    if (!expected.empty() || !actual.empty()) {
        std::cerr << "--- expected ---\n" << expected << "\n--- actual ---\n" << actual << '\n';
    }
    std::cerr.flush();
    std::abort();
}

void RequireSame(const char* what, const std::string& expected, const std::string& actual) {
    if (expected != actual) Finding(what, expected, actual);
}

}  // namespace glean::fuzz
