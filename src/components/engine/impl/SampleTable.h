#pragma once
// Checks a track's sample tables (they agree, every chunk lies in the file's media data) and
// makes the compact list of its samples (one element per chunk for uncompressed audio).
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

// Most elements (samples, or chunks of uncompressed audio) one file may list: far above a
// camera's day (24 hours of 60 frames a second with AAC sound is about 9.2 million), and small
// enough that the list's stored positions take at most a few tens of megabytes.
constexpr uint64_t kMaxListedSamples = uint64_t(1) << 26;

// The number of elements the track's list will have (samples, or chunks of uncompressed audio).
uint64_t ListedSampleCount(const TrackModel& track);

// The list refers to `track.tables`, which must stay where they are while it is used.
Result<SampleList> BuildSampleList(const TrackModel& track, uint32_t fileIndex,
                                   const DataSpace& space);

}  // namespace brevio::engine
