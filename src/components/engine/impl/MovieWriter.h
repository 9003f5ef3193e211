#pragma once
// Writes an output movie to disk: the self-contained final movie (media copied in large
// sequential blocks, never held in memory) and the reference movie (movie atom only).
#include <filesystem>
#include <string>
#include <vector>

#include "engine/EngineTypes.h"
#include "engine/impl/DurableFile.h"
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

// Writes the final movie into a DurableFile of the destination's folder: an unnamed file, or a
// hidden partial file ("." + name + ".XXXXXX.partial", the name shortened to fit the folder's
// name limit) that RemovePartialFiles removes from a signal handler. Before the movie is named
// every source is checked to be the file opened, unchanged (else SOURCE_CHANGED), and the
// progress callback is asked with BrevioMovFileEditorCommit. A crash, a kill or a power loss at
// any moment leaves either nothing or the whole movie; a failure or cancel before the naming
// leaves nothing.
ERROR_CREATEMOVFILE WriteFinalMovie(const OutputMovie& movie, const SourceFiles& sources,
                                    const std::filesystem::path& destination,
                                    const Progress& progress, WriteFailure& error,
                                    FinalFileKind kind = FinalFileKind::Automatic);

// Writes the movie atom with chunk offsets into the sources under a hidden name in `folder`
// (created exclusively, 0600 less the umask, locked with flock), then renames it over `name`,
// both relative to the folder's descriptor. A name that holds one of the sources is refused
// (INVALID_ARGUMENT). With `lockedFd`, the written file's descriptor stays open and locked and
// is handed over; else it is closed.
ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        int folder, const std::string& name, WriteFailure& error,
                                        int* lockedFd);
// The same in the folder of `destination`, given by path.
ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        const std::filesystem::path& destination,
                                        WriteFailure& error);

}  // namespace brevio::engine
