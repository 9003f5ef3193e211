#pragma once
// A movie to be written: per track the samples to keep, as chunks of bytes taken from source
// files (or held in memory), with the timing tables rebuilt for them. Built by the edit plan of
// a cut movie and by the assembler of clips; consumed by the movie writer.
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/impl/MovieModel.h"

namespace brevio::engine {

struct OutChunk {
    uint32_t source = 0;  // index of the source file
    uint64_t offset = 0;  // in the source file
    uint64_t bytes = 0;
    uint32_t samples = 0;     // samples (frames for chunk-sample tracks) in the chunk
    int32_t inlineData = -1;  // >= 0: index into OutputMovie::inlineData instead of a file
    uint32_t description = 1;  // the sample description (1-based) of the chunk's samples
};

struct OutTrack {
    const TrackModel* source = nullptr;  // headers, sample description and other atoms copied
    // Overrides of the copied header atoms (used for tracks made from scratch).
    std::vector<uint8_t> tref;  // replaces source->tref when non-empty
    bool dropTref = false;
    // Samples in decode order.
    bool frameSamples = false;  // uncompressed audio: stsz counts frames of a fixed size
    uint32_t fixedSize = 0;     // stsz fixed size for frame samples
    uint32_t frameDelta = 0;    // stts delta of every frame
    uint64_t frameCount = 0;
    std::vector<uint32_t> sizes;              // per sample (not for frame samples)
    std::vector<uint32_t> durations;          // per sample (not for frame samples)
    std::vector<int32_t> compositionOffsets;  // per sample when writeCtts
    std::vector<uint32_t> syncSamples;        // 1-based, when writeStss
    bool writeCtts = false;
    uint8_t cttsVersion = 0;
    bool writeStss = false;
    std::vector<OutChunk> chunks;  // in decode order
    // Presentation.
    bool writeEdits = false;
    uint64_t emptyEdit = 0;  // movie time scale
    int64_t editMediaTime = 0;
    int32_t editRate = 0x10000;
    // When not empty, the whole edit list to write (emptyEdit, editMediaTime and editRate then
    // only describe its start).
    std::vector<EditEntry> edits;
    uint64_t mediaDuration = 0;  // sum of sample durations
    uint64_t trackDuration = 0;  // movie time scale

    uint64_t SampleCount() const { return frameSamples ? frameCount : sizes.size(); }
};

struct OutputMovie {
    const MovieModel* source = nullptr;  // mvhd, moov and udta atoms copied
    uint32_t timeScale = 0;
    uint64_t duration = 0;  // movie time scale
    std::vector<OutTrack> tracks;
    std::optional<std::vector<uint32_t>> brvu;  // unit starts; written into udta
    std::vector<std::vector<uint8_t>> inlineData;
};

}  // namespace brevio::engine
