// Runs the GleanTool program in-process, as its command line would, and keeps what it printed;
// and the scratch folder the command tests write into.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "GleanTool/GleanTool.h"

namespace glean::test {

struct ToolRun {
    int Code;
    std::string Out, Err;
};

// `words` are the arguments after the program's name.
inline ToolRun Tool(std::vector<std::string> words) {
    words.insert(words.begin(), "GleanTool");
    std::vector<const char*> argv;
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    std::ostringstream out, err;
    const int code = RunGleanTool(int(argv.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

// A fixture whose tests each get a fresh folder of their own, per test and process (test programs
// may run side by side), removed afterwards.
class ScratchFolderTest : public testing::Test {
protected:
    explicit ScratchFolderTest(std::string prefix) : prefix_(std::move(prefix)) {}
    void SetUp() override {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  (prefix_ + std::string(test->name()) + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string Scratch(const std::string& name) const { return (folder_ / name).string(); }

    std::filesystem::path folder_;

private:
    std::string prefix_;
};

}  // namespace glean::test
