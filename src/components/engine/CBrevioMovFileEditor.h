#pragma once
// Writes movies of an edited Brevio movie: the reference movie (only the movie atom, samples in the
// source file) and the final self-contained movie.
#include <string>

#include "CBrevioMovie.h"
#include "CVarnoMovFile.h"

namespace brevio::engine {

class CBrevioMovFileEditor {
public:
    explicit CBrevioMovFileEditor(const CVarnoMovFile& file) : file_(file) {}

    // Writes the reference movie of the movie's current state; an existing file at the path is
    // replaced atomically, relative to the folder opened once.
    ERROR_CREATEMOVFILE CreateReferenceMovFile(const FileLocator& destination,
                                               const CBrevioMovie* movie) const;
    // The same as `name` in the folder open as `folder`, every step relative to that descriptor.
    // With `lockedFd` the written file stays open, locked (flock) and the caller's to close.
    ERROR_CREATEMOVFILE CreateReferenceMovFile(int folder, const std::string& name,
                                               const CBrevioMovie* movie,
                                               int* lockedFd = nullptr) const;

    void SetProgressCallback(BrevioMovFileEditorProgressCallback callback, void* user) {
        callback_ = callback;
        user_ = user;
    }

    // Writes the final movie; the destination is created exclusively (never overwritten). The
    // callback gets message 1 with the fraction done at least at every percent, then message 2
    // just before the movie is named (the one commit point); answering 1 cancels. A source that
    // changed while it was copied fails the write with SOURCE_CHANGED. A failed or cancelled write
    // leaves nothing; a write that is killed leaves nothing either, except a hidden partial file on
    // file systems without unnamed files (see RemovePartialFiles).
    ERROR_CREATEMOVFILE CreateNewMovFile(const FileLocator& destination, const CBrevioMovie* movie);

    // Why the last write failed: the system's error number (0 when the failure was not a system
    // call's) and a message for logs ("" after a success).
    int GetLastSystemError() const { return lastSystemError_; }
    const std::string& GetLastError() const { return lastError_; }

    // Removes the hidden partial files of every final write in progress in this process, for a
    // handler of SIGTERM or SIGHUP before the process ends. Async-signal-safe.
    static void RemovePartialFiles() noexcept;

private:
    const CVarnoMovFile& file_;
    BrevioMovFileEditorProgressCallback callback_ = nullptr;
    void* user_ = nullptr;
    mutable int lastSystemError_ = 0;
    mutable std::string lastError_;
};

}  // namespace brevio::engine
