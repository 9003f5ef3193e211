#pragma once
// Expands a track's sample tables into one SampleRef per sample (one per chunk for uncompressed
// audio), checking that the tables agree and that every chunk lies in the file's media data.
#include <utility>
#include <vector>

#include "engine/EngineTypes.h"
#include "engine/impl/MovieModel.h"
#include "engine/impl/Result.h"

namespace brevio::engine {

// Where sample data may lie in one file: the media data atoms, or the whole file.
struct DataSpace {
    uint64_t fileSize = 0;
    std::vector<std::pair<uint64_t, uint64_t>> ranges;  // [begin, end), ascending, disjoint
    bool wholeFile = false;                             // any bytes of the file (ranges unused)

    bool Contains(uint64_t offset, uint64_t length) const;
    uint64_t TotalBytes() const;
};

// True when the track's samples are exposed one per chunk (uncompressed audio with a constant
// frame size and a constant duration per frame).
bool UsesChunkSamples(const TrackModel& track);

// The constant per-frame duration of a chunk-sample track's stts (media time scale).
uint32_t FrameDelta(const TrackModel& track);

Result<std::vector<SampleRef>> BuildSampleRefs(const TrackModel& track, uint32_t fileIndex,
                                               const DataSpace& space);

}  // namespace brevio::engine
