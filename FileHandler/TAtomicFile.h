// Files replaced whole, never rewritten in place. A file is written under a temporary name in
// its target's folder, flushed, synced to the disk and checked, and only then renamed over the
// target. A kill, a full disk or a failed write leaves the target exactly as it was and (but for
// a kill) no temporary behind; two writers at once leave the whole file of one of them.
//
// What the target name may be:
//   - a regular file, or nothing yet: replaced (created); an existing file keeps its permission
//     bits, and its owner and group where the process may set them, but a hard link to it
//     keeps the old content (the name gets a new file);
//   - a symbolic link, or a chain of them, even one that points nowhere yet: followed, so that
//     the link stays a link and the file it names gets the new content;
//   - anything else that exists (a terminal, /dev/full, a FIFO), and a file named through the
//     system's links to open files (/dev/stdout, /dev/fd/N, /proc/self/fd/N, even when they
//     lead to a regular file): written directly, as an open for writing does, since there is
//     no file of the name's own to replace.
// An existing target must be writable, as an open for writing requires, although the rename
// itself would not need it. The temporary is named ".<target name>.tmp.<six characters>"; only
// a killed process leaves one behind.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace glean {

class TAtomicFile {
public:
    // A file that could not be written. Create: the target (or its temporary) cannot be made,
    // nothing was written. Write: a write, the flush, the sync or the rename failed, the target
    // is as it was. what() is "cannot create <file>: <reason>" or "cannot write <file>: ...".
    class Error : public std::runtime_error {
    public:
        enum class TStage { Create, Write };
        Error(TStage stage, std::string fileName, int errorNumber);
        TStage Stage() const { return stage_; }
        const std::string& FileName() const { return fileName_; }
        int ErrorNumber() const { return errorNumber_; }

    private:
        TStage stage_;
        std::string fileName_;
        int errorNumber_;
    };

    // Starts writing `fileName`: makes its temporary (or opens a target that is no regular file).
    // Throws Error (Create) when that fails or an existing target is not writable.
    explicit TAtomicFile(const std::string& fileName);
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;
    // Without a Commit, removes the temporary: the target stays as it was.
    ~TAtomicFile();

    // Where the content goes. A failed write puts it into a failed state, which Commit reports.
    std::ostream& Stream() { return stream_; }
    // Flushes and syncs the content, then renames it over the target. Throws Error (Write) when
    // the stream failed or any of these steps fails; the temporary is removed then. Once only.
    void Commit();

    // The whole job in one call: `text` (or what `write` puts on the stream) becomes the file.
    // Throws Error as above; an exception from `write` passes on after the temporary is removed.
    static void Write(const std::string& fileName, std::string_view text);
    static void Write(const std::string& fileName, const std::function<void(std::ostream&)>& write);

    // True when writing `output` would replace the file that `input` names: both name the same
    // existing regular file (device and inode, through links of either kind), or both are the
    // same path once made absolute and normal. An output that exists but is no regular file
    // (a terminal, a device) replaces nothing.
    static bool Replaces(const std::string& output, const std::string& input);

private:
    class TBuffer;

    void Discard() noexcept;

    std::string fileName_;   // as the caller named it, for messages
    std::string target_;     // the file renamed over: fileName_ with its links followed
    std::string temporary_;  // empty when writing directly
    std::unique_ptr<TBuffer> buffer_;
    std::ostream stream_;
    bool done_ = false;
};

}  // namespace glean
