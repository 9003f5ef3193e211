#pragma once
// Where each byte of a final movie goes: the copy runs of the media data and the chunk offsets of
// the movie atom, decided before anything is written.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/impl/MoovBuilder.h"
#include "engine/impl/OutputMovie.h"

namespace brevio::engine {

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

}  // namespace brevio::engine
