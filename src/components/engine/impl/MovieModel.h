#pragma once
// The parsed content of a movie atom: what the reader validated and what the writer rebuilds from.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/EngineTypes.h"

namespace brevio::engine {

// An atom kept as its bytes (header included) to be copied unchanged.
struct RawAtom {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

struct EditEntry {
    uint64_t segmentDuration = 0;  // movie time scale
    int64_t mediaTime = 0;         // -1: empty edit
    int32_t rate = 0x10000;        // 16.16
};

struct SttsEntry {
    uint32_t count = 0;
    uint32_t delta = 0;
};

struct CttsEntry {
    uint32_t count = 0;
    int32_t offset = 0;
};

struct StscEntry {
    uint32_t firstChunk = 0;
    uint32_t samplesPerChunk = 0;
    uint32_t descriptionIndex = 0;
};

struct DataRef {
    uint32_t type = 0;     // 'url ', 'alis', ...
    uint32_t flags = 0;    // 1: the media is in this file
    std::string location;  // URL text of an external 'url ' entry
};

// What the first sample description tells about the samples.
struct SampleDescription {
    uint32_t format = 0;
    uint16_t dataRefIndex = 0;
    std::vector<uint8_t> entry;  // whole first entry
    std::vector<uint8_t> codecConfig;
    uint16_t width = 0, height = 0;
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint32_t sampleRate = 0;
    bool bigEndian = false;
    bool floatingPoint = false;
    uint32_t bytesPerFrame = 0;
    bool uncompressed = false;  // one stored sample per audio frame of bytesPerFrame bytes
};

struct SampleTables {
    std::vector<SttsEntry> stts;
    bool hasCtts = false;
    uint8_t cttsVersion = 0;
    std::vector<CttsEntry> ctts;
    bool hasStss = false;
    std::vector<uint32_t> stss;  // 1-based, ascending
    std::vector<StscEntry> stsc;
    uint32_t fixedSampleSize = 0;
    uint32_t sampleCount = 0;
    std::vector<uint32_t> sampleSizes;  // empty with a fixed size
    // Chunk offsets as stored: 32-bit ('stco') or 64-bit ('co64').
    std::vector<uint32_t> chunkOffsets32;
    std::vector<uint64_t> chunkOffsets64;
    bool co64 = false;
    uint32_t descriptionCount = 0;

    size_t ChunkCount() const { return co64 ? chunkOffsets64.size() : chunkOffsets32.size(); }
    uint64_t ChunkOffset(size_t i) const { return co64 ? chunkOffsets64[i] : chunkOffsets32[i]; }
};

struct TrackModel {
    // tkhd
    std::vector<uint8_t> tkhd;  // whole atom
    uint8_t tkhdVersion = 0;
    uint32_t tkhdFlags = 0;
    uint32_t trackId = 0;
    uint64_t tkhdDuration = 0;
    // edts/elst
    bool hasEdits = false;
    std::vector<EditEntry> edits;
    // tref
    std::vector<uint32_t> chapterTrackIds;  // tref/chap
    std::vector<uint8_t> tref;              // whole atom, empty when absent
    // mdia
    std::vector<uint8_t> mdhd;
    uint8_t mdhdVersion = 0;
    uint32_t mediaTimeScale = 0;
    uint64_t mediaDuration = 0;
    std::vector<uint8_t> hdlr;
    uint32_t handler = 0;
    // minf
    std::vector<RawAtom> minfOther;  // media header (vmhd/smhd/gmhd/nmhd), data handler hdlr, ...
    std::vector<DataRef> dataRefs;
    std::vector<uint8_t> stsd;  // whole atom
    SampleDescription description;
    SampleTables tables;
    std::vector<RawAtom> trakOther;  // trak children copied unchanged (udta, ...)
    std::vector<RawAtom> mdiaOther;

    TrackKind Kind() const;
    // The first media edit's media time, and the movie time of empty edits before it.
    int64_t EditMediaTime() const;
    uint64_t EmptyEditDuration() const;
};

struct MovieModel {
    std::vector<uint8_t> mvhd;  // whole atom
    uint8_t mvhdVersion = 0;
    uint32_t timeScale = 0;
    uint64_t duration = 0;
    std::vector<TrackModel> tracks;
    std::vector<RawAtom> moovOther;  // iods, meta, ... copied unchanged
    std::vector<RawAtom> udta;       // children of moov/udta, BRVU included
    bool hasUdta = false;
    std::optional<std::vector<uint32_t>> brvu;  // unit starts of the BRVU atom
    std::string brvuError;                      // a BRVU atom that could not be read
};

}  // namespace brevio::engine
