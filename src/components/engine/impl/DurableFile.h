#pragma once
// The file a movie is written into before it has its name, and the one step that names it.
//
// A final movie is written into an unnamed file of the destination's folder (O_TMPFILE), or where
// the file system has none, or the unnamed file could not be linked (no /proc and no
// CAP_DAC_READ_SEARCH), into a hidden partial file. Commit flushes the data, asks whether the
// save still stands, names the file without replacing any name and flushes the folder. The
// naming is the save's one commit point: before it nothing is named, after it the movie stands.
// Every step works relative to the folder opened at the start, and no name is ever removed that
// does not hold the file this object wrote.
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

#include "engine/EngineTypes.h"

namespace brevio::engine {

// Why a write failed: a message for logs and the system's error number (0 when the failure is
// not a system call's, such as an unsupported structure).
struct WriteFailure {
    std::string message;
    int systemError = 0;
    // The message "what: strerror(errno)" and errno itself.
    void Set(const char* what);
    void Set(const char* what, int number);
};

// How the final movie reaches its name.
enum class FinalFileKind {
    Automatic,  // an unnamed file where it can be linked, else a hidden partial file
    Partial,    // always the hidden partial file
};

// Places in the naming that tests reach into, where timing alone cannot hit the window.
struct DurableFileHooks {
    const char* procFdFolder = "/proc/self/fd";  // where open descriptors have paths
    bool linkByDescriptor = true;                // linkat(AT_EMPTY_PATH) is tried
    // Called with the folder and the partial name just before a partial file is renamed.
    void (*beforeRename)(int folder, const char* partial) = nullptr;
    // Called once the movie is named, before the folder is flushed.
    void (*afterNaming)() = nullptr;
};
DurableFileHooks& TestHooks();

class DurableFile {
public:
    DurableFile() = default;
    ~DurableFile();
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    // Opens the destination's folder, refuses an existing name and creates the unnamed or partial
    // file. Fails with CREATE_FAILED or DESTINATION_EXISTS.
    ERROR_CREATEMOVFILE Create(const std::filesystem::path& destination, FinalFileKind kind,
                               WriteFailure& error);

    int fd() const { return fd_; }
    const std::filesystem::path& folderPath() const { return folderPath_; }
    bool partial() const { return !partial_.empty(); }

    // Flushes the data, then asks `beforeNaming` (anything but OK fails the write with that
    // result, nothing named), names the file and flushes the folder. A folder that cannot be
    // flushed fails the write (WRITE_FAILED), but the named movie stays: named() tells.
    using Check = std::function<ERROR_CREATEMOVFILE(WriteFailure&)>;
    ERROR_CREATEMOVFILE Commit(const Check& beforeNaming, WriteFailure& error);
    bool named() const { return named_; }

private:
    int NameUnnamed();
    int NamePartial(WriteFailure& error);
    bool HoldsOurFile(const char* name) const;

    int folder_ = -1;
    bool folderReadable_ = false;
    int fd_ = -1;
    std::string name_;
    std::string partial_;  // empty for an unnamed file
    int registration_ = -1;
    bool named_ = false;
    std::filesystem::path folderPath_;
};

// The hidden name a final movie is written under where unnamed files are not available: at most
// `nameMax` bytes, the destination's name cut at a character boundary when it is too long.
std::string PartialName(const std::string& fileName, size_t nameMax, unsigned attempt);

// Removes the hidden partial files of the saves in progress. Async-signal-safe.
void RemovePartialFiles() noexcept;

// While it lives, a write past the file size limit fails with EFBIG in this thread instead of
// raising SIGXFSZ; the process's signal dispositions are never touched.
class FileSizeSignalBlock {
public:
    FileSizeSignalBlock();
    ~FileSizeSignalBlock();
    FileSizeSignalBlock(const FileSizeSignalBlock&) = delete;
    FileSizeSignalBlock& operator=(const FileSizeSignalBlock&) = delete;

private:
    sigset_t previous_{};
    bool blocked_ = false;
};

}  // namespace brevio::engine
