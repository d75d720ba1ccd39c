#include "FileHandler/TAtomicFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

namespace glean {
namespace {

namespace fs = std::filesystem;
using TStage = TAtomicFile::Error::TStage;

class TAtomicFileTest : public testing::Test {
protected:
    void SetUp() override {
        // One folder per test and process: test programs may run side by side.
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() /
                  ("glean-atomic-" + std::string(test->name()) + "-" + std::to_string(getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void Put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    // The names in the folder: a temporary left behind shows here.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
};

// A file size limit below the content: the write fails half way with EFBIG (the signal that
// would end the process instead is ignored while the limit holds).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        signal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, signal_);
    }

private:
    rlimit saved_{};
    void (*signal_)(int) = nullptr;
};

TEST_F(TAtomicFileTest, AWriteThatFailsHalfWayLeavesTheTargetAndNoTemporary) {
    const std::string big(1 << 20, 'x');
    const struct {
        const char* Name;
        std::function<void()> Write;
    } cases[] = {
        {"the writer throws",
         [&] {
             TAtomicFile::Write(Path("t"), [&](std::ostream& out) {
                 out << big;
                 throw std::runtime_error("stop");
             });
         }},
        {"the disk refuses",
         [&] {
             const FileSizeLimit limit(big.size() / 2);
             TAtomicFile::Write(Path("t"), big);
         }},
        {"the stream fails",
         [&] {
             TAtomicFile::Write(Path("t"), [&](std::ostream& out) {
                 out << big;
                 out.setstate(std::ios::failbit);
             });
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Put(Path("t"), "old");
        EXPECT_ANY_THROW(c.Write());
        EXPECT_EQ(Read(Path("t")), "old");
        EXPECT_EQ(Names(), std::vector<std::string>{"t"});
    }
    // The disk's refusal is a write error with its reason.
    try {
        const FileSizeLimit limit(1000);
        TAtomicFile::Write(Path("t"), big);
        ADD_FAILURE() << "no error";
    } catch (const TAtomicFile::Error& e) {
        EXPECT_EQ(e.Stage(), TStage::Write);
        EXPECT_EQ(e.ErrorNumber(), EFBIG);
        EXPECT_EQ(e.FileName(), Path("t"));
    }
}

TEST_F(TAtomicFileTest, ReplacesTheWholeFileAndKeepsItsModeAndLinks) {
    Put(Path("kept"), "old");
    chmod(Path("kept").c_str(), 0640);
    TAtomicFile::Write(Path("kept"), "new");
    struct stat status {};
    ASSERT_EQ(stat(Path("kept").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(Read(Path("kept")), "new");

    // A new file gets what an open for writing would give it: 0666 less the umask.
    const mode_t mask = umask(022);
    TAtomicFile::Write(Path("fresh"), "new");
    umask(mask);
    ASSERT_EQ(stat(Path("fresh").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);

    // Links, relative and chained, and one that points nowhere yet: the links stay.
    fs::create_directories(folder_ / "sub");
    Put(Path("sub/real"), "old");
    fs::create_symlink("sub/real", folder_ / "link");
    fs::create_symlink("link", folder_ / "chain");
    fs::create_symlink("sub/later", folder_ / "dangling");
    TAtomicFile::Write(Path("chain"), "through");
    TAtomicFile::Write(Path("dangling"), "made");
    EXPECT_TRUE(fs::is_symlink(folder_ / "link"));
    EXPECT_TRUE(fs::is_symlink(folder_ / "chain"));
    EXPECT_TRUE(fs::is_symlink(folder_ / "dangling"));
    EXPECT_EQ(Read(Path("sub/real")), "through");
    EXPECT_EQ(Read(Path("sub/later")), "made");
    std::vector<std::string> inSub;
    for (const auto& entry : fs::directory_iterator(folder_ / "sub"))
        inSub.push_back(entry.path().filename().string());
    std::sort(inSub.begin(), inSub.end());
    EXPECT_EQ(inSub, (std::vector<std::string>{"later", "real"}));
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"chain", "dangling", "fresh", "kept", "link", "sub"}));
}

TEST_F(TAtomicFileTest, WhatCannotBeReplacedIsWrittenDirectlyOrRefused) {
    // No regular file: written as it is, with the device's own verdict.
    TAtomicFile::Write("/dev/null", "gone");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    try {
        TAtomicFile::Write("/dev/full", "never");
        ADD_FAILURE() << "no error";
    } catch (const TAtomicFile::Error& e) {
        EXPECT_EQ(e.Stage(), TStage::Write);
        EXPECT_EQ(e.ErrorNumber(), ENOSPC);
    }
    // A regular file named through the system's links to open files (/dev/stdout redirected to
    // a file) is that open file: written in place, no file of its own to replace.
    Put(Path("open"), "old");
    struct stat before {
    }, after{};
    stat(Path("open").c_str(), &before);
    const int descriptor = open(Path("open").c_str(), O_RDONLY);
    TAtomicFile::Write("/proc/self/fd/" + std::to_string(descriptor), "new");
    close(descriptor);
    stat(Path("open").c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(Read(Path("open")), "new");
    // A folder that does not exist, a link chain without end: nothing can be created.
    fs::create_symlink("loop2", folder_ / "loop1");
    fs::create_symlink("loop1", folder_ / "loop2");
    for (const std::string& name : {Path("none/x"), Path("loop1")}) {
        try {
            TAtomicFile file(name);
            ADD_FAILURE() << name << ": no error";
        } catch (const TAtomicFile::Error& e) {
            EXPECT_EQ(e.Stage(), TStage::Create) << name;
            EXPECT_EQ(std::string(e.what()).rfind("cannot create " + name + ": ", 0), 0u);
        }
    }
    // A file its owner may not write stays refused, although the folder would allow a rename.
    if (geteuid() != 0) {
        Put(Path("locked"), "old");
        chmod(Path("locked").c_str(), 0444);
        EXPECT_THROW(TAtomicFile::Write(Path("locked"), "new"), TAtomicFile::Error);
        EXPECT_EQ(Read(Path("locked")), "old");
    }
    EXPECT_EQ(Names().size(), geteuid() != 0 ? 4u : 3u);
}

TEST_F(TAtomicFileTest, WritersAtOnceLeaveOneWholeFile) {
    constexpr int kWriters = 4;
    constexpr int kRounds = 10;
    std::vector<std::string> contents;
    for (int w = 0; w < kWriters; ++w)
        contents.push_back(std::string(300000 + w * 1000, static_cast<char>('a' + w)));
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (int round = 0; round < kRounds; ++round)
                TAtomicFile::Write(Path("shared"), contents[static_cast<std::size_t>(w)]);
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    const std::string last = Read(Path("shared"));
    EXPECT_NE(std::find(contents.begin(), contents.end(), last), contents.end());
    EXPECT_EQ(Names(), std::vector<std::string>{"shared"});
}

TEST_F(TAtomicFileTest, ReplacesMeansTheSameFileByAnyName) {
    Put(Path("in"), "x");
    Put(Path("other"), "x");
    fs::create_symlink("in", folder_ / "soft");
    fs::create_hard_link(folder_ / "in", folder_ / "hard");
    fs::create_directories(folder_ / "sub");
    const struct {
        std::string Output, Input;
        bool Same;
    } cases[] = {
        {Path("in"), Path("in"), true},
        {Path("sub/../in"), Path("in"), true},
        {Path("soft"), Path("in"), true},
        {Path("in"), Path("soft"), true},
        {Path("hard"), Path("in"), true},
        {Path("other"), Path("in"), false},
        {Path("new"), Path("in"), false},
        {Path("new"), Path("./sub/../new"), true},  // neither exists: the paths decide
        {Path("new"), Path("new2"), false},
        {"/dev/stdout", "/dev/stdin", false},  // one terminal both ways is no file replaced
    };
    for (const auto& c : cases)
        EXPECT_EQ(TAtomicFile::Replaces(c.Output, c.Input), c.Same) << c.Output << " " << c.Input;
}

}  // namespace
}  // namespace glean
