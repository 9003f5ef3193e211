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

// Writes the movie under a hidden temporary name in the destination's folder ("." + name +
// ".XXXXXX.partial") and then gives it the destination's name without replacing anything
// (renameat2 RENAME_NOREPLACE, else link + unlink), so that the name only ever holds a whole
// movie. An existing destination is never touched. On failure or cancel the temporary file is
// removed and nothing is left; a process killed during the write leaves at most that file.
ERROR_CREATEMOVFILE WriteFinalMovie(const OutputMovie& movie, const SourceFiles& sources,
                                    const std::filesystem::path& destination,
                                    const Progress& progress, std::string& error);

// Writes the movie atom with chunk offsets into the sources, under a temporary name in the
// destination's folder, then renames it over the destination.
ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        const std::filesystem::path& destination,
                                        std::string& error);

}  // namespace brevio::engine
