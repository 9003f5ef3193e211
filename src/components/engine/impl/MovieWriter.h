#pragma once
// Writes an output movie to disk: the self-contained final movie (media copied in large
// sequential blocks, never held in memory) and the reference movie (movie atom only).
#include <filesystem>
#include <string>
#include <vector>

#include "engine/EngineTypes.h"
#include "engine/impl/FileHandle.h"
#include "engine/impl/MoovBuilder.h"
#include "engine/impl/OutputMovie.h"

namespace brevio::engine {

struct SourceFiles {
    std::vector<const FileHandle*> handles;    // by OutChunk::source
    std::vector<std::filesystem::path> paths;  // absolute, same order
};

struct Progress {
    BrevioMovFileEditorProgressCallback callback = nullptr;
    void* user = nullptr;
};

// One run of bytes to copy: a source range or in-memory bytes, to a destination offset.
struct CopyRun {
    uint32_t source = 0;
    uint64_t offset = 0;
    uint64_t bytes = 0;
    int32_t inlineData = -1;
    uint64_t destination = 0;
};

// Where everything of a final movie goes. Runs of source bytes at least a block long land at an
// offset congruent to their source offset modulo the block size, so that a file system that
// shares blocks between files (XFS, btrfs) can share them instead of copying; the padding before
// such a run (under one block) is unreferenced bytes inside the media data.
struct FinalLayout {
    uint64_t blockSize = 4096;
    std::vector<CopyRun> runs;  // ascending destinations
    MoovLayout moov;            // chunk offsets in the file
    bool largeMdat = false;     // 64-bit mdat size
    uint64_t mdatOffset = 0;    // of the mdat header
    uint64_t moovOffset = 0;    // where the mdat ends and the movie atom begins
    uint64_t copyBytes = 0;     // bytes of the runs (padding excluded)
};

FinalLayout LayOutFinalMovie(const OutputMovie& movie, uint64_t blockSize);

// The block size of the file system holding `directory`: 4096 when it cannot be told.
uint64_t FileSystemBlockSize(const std::filesystem::path& directory);

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
    Automatic,  // an unnamed file where the file system has them, else a hidden partial file
    Partial,    // always the hidden partial file
};

// Writes the final movie into an unnamed file of the destination's folder (O_TMPFILE), flushes
// it to the disk and only then links it under the destination's name, which never replaces an
// existing name; the folder is flushed last. A crash, a kill or a power loss at any moment leaves
// either nothing or the whole movie. Where the file system has no unnamed files, the movie is
// written under a hidden name ("." + name + ".XXXXXX.partial", the name shortened to fit the
// folder's name limit) and renamed with RENAME_NOREPLACE after the flush; RemovePartialFiles
// removes such files from a signal handler. On failure or cancel nothing is left.
ERROR_CREATEMOVFILE WriteFinalMovie(const OutputMovie& movie, const SourceFiles& sources,
                                    const std::filesystem::path& destination,
                                    const Progress& progress, WriteFailure& error,
                                    FinalFileKind kind = FinalFileKind::Automatic);

// The hidden name a final movie is written under where unnamed files are not available: at most
// `nameMax` bytes, the destination's name cut at a character boundary when it is too long.
std::string PartialName(const std::string& fileName, size_t nameMax, unsigned attempt);

// Removes the hidden partial files of the saves in progress. Async-signal-safe.
void RemovePartialFiles() noexcept;

// Writes the movie atom with chunk offsets into the sources, under a temporary name in the
// destination's folder, then renames it over the destination. The file is private to the user
// (0600, less what the umask removes).
ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        const std::filesystem::path& destination,
                                        WriteFailure& error);

}  // namespace brevio::engine
