#include "FileHandler/TAtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <streambuf>
#include <system_error>

#include "KQmessage/Check.h"

namespace glean {

namespace {

namespace fs = std::filesystem;

using TStage = TAtomicFile::Error::TStage;

// Links followed before giving up, as the system does (ELOOP).
constexpr int kLinkHopLimit = 40;
// The target name kept in the temporary's name: room for the rest within a 255-byte name.
constexpr std::size_t kKeptNameLength = 200;
// Names tried before giving up, should every one of them exist.
constexpr int kTemporaryAttempts = 100;

std::string Describe(TStage stage, const std::string& fileName, int errorNumber) {
    return std::string(stage == TStage::Create ? "cannot create " : "cannot write ") + fileName +
           ": " + std::generic_category().message(errorNumber);
}

// Six characters for a temporary's name, different in every call of every process: a counter
// and the process and the time, mixed (splitmix64). O_EXCL settles any clash.
std::string RandomSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x =
        counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL ^ static_cast<std::uint64_t>(getpid()) << 40 ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    x ^= x >> 31;
    static constexpr std::string_view kLetters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix(6, ' ');
    for (char& ch : suffix) {
        ch = kLetters[x % kLetters.size()];
        x /= kLetters.size();
    }
    return suffix;
}

// Follows the chain of symbolic links that `name` starts, up to the file it ends at (which need
// not exist yet). `viaProc` tells whether the chain passes through /proc, where the system's
// links stand for open files (/dev/stdout, /dev/fd/3). False, with errno ELOOP, for a chain too
// long.
bool FollowLinks(std::string& name, bool& viaProc) {
    viaProc = false;
    for (int hop = 0; hop < kLinkHopLimit; ++hop) {
        viaProc = viaProc || name.rfind("/proc/", 0) == 0;
        struct stat status {};
        if (lstat(name.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return true;
        std::error_code error;
        const fs::path link = fs::read_symlink(name, error);
        if (error) return true;  // gone meanwhile: the name is the file
        name = link.is_absolute() ? link.string() : (fs::path(name).parent_path() / link).string();
    }
    errno = ELOOP;
    return false;
}

// The folder a file name lies in, "." for a bare name.
std::string FolderOf(const std::string& name) {
    const fs::path folder = fs::path(name).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

fs::path Normal(const std::string& name) {
    std::error_code error;
    const fs::path absolute = fs::absolute(name, error);
    return (error ? fs::path(name) : absolute).lexically_normal();
}

}  // namespace

// The stream's buffer: the content goes to the descriptor 64 kB at a time, and larger pieces
// straight through. The first failed write is kept, and every later one fails at once.
class TAtomicFile::TBuffer : public std::streambuf {
public:
    explicit TBuffer(int descriptor)
        : descriptor_(descriptor), space_(std::make_unique_for_overwrite<char[]>(kSize)) {
        setp(space_.get(), space_.get() + kSize);
    }
    TBuffer(const TBuffer&) = delete;
    TBuffer& operator=(const TBuffer&) = delete;
    ~TBuffer() override { Close(); }

    int Descriptor() const { return descriptor_; }
    // The first errno of a failed write; 0 when none failed.
    int Failure() const { return failure_; }
    // Closes the descriptor; the errno of a failed close, else 0.
    int Close() {
        if (descriptor_ < 0) return 0;
        const int result = close(descriptor_);
        descriptor_ = -1;
        return result == 0 ? 0 : errno;
    }

protected:
    int_type overflow(int_type ch) override {
        if (!Drain()) return traits_type::eof();
        if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
        *pptr() = traits_type::to_char_type(ch);
        pbump(1);
        return ch;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        if (count <= epptr() - pptr()) {
            std::memcpy(pptr(), text, static_cast<std::size_t>(count));
            pbump(static_cast<int>(count));
            return count;
        }
        if (!Drain()) return 0;
        if (count < static_cast<std::streamsize>(kSize)) return xsputn(text, count);
        return WriteAll(text, static_cast<std::size_t>(count)) ? count : 0;
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    static constexpr std::size_t kSize = std::size_t{1} << 16;

    bool Drain() {
        const auto count = static_cast<std::size_t>(pptr() - pbase());
        setp(space_.get(), space_.get() + kSize);
        return WriteAll(space_.get(), count);
    }
    bool WriteAll(const char* text, std::size_t count) {
        if (failure_ != 0) return false;
        while (count > 0) {
            const ssize_t written = write(descriptor_, text, count);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                failure_ = written < 0 ? errno : EIO;
                return false;
            }
            text += written;
            count -= static_cast<std::size_t>(written);
        }
        return true;
    }

    int descriptor_;
    std::unique_ptr<char[]> space_;
    int failure_ = 0;
};

TAtomicFile::Error::Error(TStage stage, std::string fileName, int errorNumber)
    : std::runtime_error(Describe(stage, fileName, errorNumber)),
      stage_(stage),
      fileName_(std::move(fileName)),
      errorNumber_(errorNumber) {}

TAtomicFile::TAtomicFile(const std::string& fileName)
    : fileName_(fileName), target_(fileName), stream_(nullptr) {
    const auto fail = [this](int errorNumber) {
        throw Error(TStage::Create, fileName_, errorNumber);
    };
    struct stat status {};
    const bool exists = stat(fileName.c_str(), &status) == 0;
    bool viaProc = false;
    const int followError = FollowLinks(target_, viaProc) ? 0 : errno;
    // A device, a FIFO, or an open file named through /proc such as a redirected /dev/stdout:
    // there is no file of the name's own to replace.
    if (exists && (!S_ISREG(status.st_mode) || viaProc)) {
        target_ = fileName;
        const int descriptor =
            open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
        if (descriptor < 0) fail(errno);
        buffer_ = std::make_unique<TBuffer>(descriptor);
        stream_.rdbuf(buffer_.get());
        return;
    }
    if (followError != 0) fail(followError);
    if (exists) {
        // Replacing needs only the folder's permission; a file the user may not write stays
        // refused, as an open for writing refuses it.
        const int probe = open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (probe < 0) fail(errno);
        close(probe);
    }
    const std::string stem = FolderOf(target_) + "/." +
                             fs::path(target_).filename().string().substr(0, kKeptNameLength) +
                             ".tmp.";
    int descriptor = -1;
    for (int attempt = 0; descriptor < 0; ++attempt) {
        temporary_ = stem + RandomSuffix();
        // 0666 less the umask: a new file gets the permissions an open for writing gives it.
        descriptor = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && (errno != EEXIST || attempt + 1 == kTemporaryAttempts)) {
            const int errorNumber = errno;
            temporary_.clear();
            fail(errorNumber);
        }
    }
    buffer_ = std::make_unique<TBuffer>(descriptor);
    stream_.rdbuf(buffer_.get());
    if (exists) {
        // Best effort: only a privileged process may give a file away; the bits always go.
        if (status.st_uid != geteuid() || status.st_gid != getegid()) {
            if (fchown(descriptor, status.st_uid, status.st_gid) != 0) {
                [[maybe_unused]] const int ignored = fchown(descriptor, -1, status.st_gid);
            }
        }
        if (fchmod(descriptor, status.st_mode & 07777) != 0) {
            const int errorNumber = errno;
            Discard();
            fail(errorNumber);
        }
    }
}

TAtomicFile::~TAtomicFile() {
    if (!done_) Discard();
}

void TAtomicFile::Discard() noexcept {
    if (buffer_) buffer_->Close();
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
    done_ = true;
}

void TAtomicFile::Commit() {
    GLEAN_CHECK(!done_);
    const auto fail = [this](int errorNumber) {
        Discard();
        throw Error(TStage::Write, fileName_, errorNumber);
    };
    stream_.flush();
    if (buffer_->Failure() != 0) fail(buffer_->Failure());
    if (!stream_) fail(EIO);
    if (temporary_.empty()) {
        // A device or a FIFO: nothing to sync or rename, but a close can still report a loss.
        if (const int errorNumber = buffer_->Close(); errorNumber != 0) fail(errorNumber);
        done_ = true;
        return;
    }
    if (fsync(buffer_->Descriptor()) != 0) fail(errno);
    if (const int errorNumber = buffer_->Close(); errorNumber != 0) fail(errorNumber);
    if (rename(temporary_.c_str(), target_.c_str()) != 0) fail(errno);
    temporary_.clear();
    done_ = true;
    // The rename itself reaches the disk with the folder; a folder that cannot be synced (some
    // file systems refuse) still holds the whole new file.
    const int folder = open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
}

void TAtomicFile::Write(const std::string& fileName, std::string_view text) {
    TAtomicFile file(fileName);
    file.Stream().write(text.data(), static_cast<std::streamsize>(text.size()));
    file.Commit();
}

void TAtomicFile::Write(const std::string& fileName,
                        const std::function<void(std::ostream&)>& write) {
    TAtomicFile file(fileName);
    write(file.Stream());
    file.Commit();
}

bool TAtomicFile::Replaces(const std::string& output, const std::string& input) {
    struct stat written {};
    if (stat(output.c_str(), &written) == 0) {
        if (!S_ISREG(written.st_mode)) return false;
        struct stat read {};
        return stat(input.c_str(), &read) == 0 && read.st_dev == written.st_dev &&
               read.st_ino == written.st_ino;
    }
    return Normal(output) == Normal(input);
}

}  // namespace glean
