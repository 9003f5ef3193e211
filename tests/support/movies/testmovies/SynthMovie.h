#pragma once
// A hand-built QuickTime movie (fake media bytes, real atom structure) for reader tests:
// one video track of `frames` samples at 10 per second (media time scale 10), a key frame
// every `gop` samples, and a BRVU atom with a unit at every key frame.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brevio::testmovies {

struct SynthOptions {
    uint32_t frames = 10;
    uint32_t gop = 5;
    uint32_t samplesPerChunk = 5;
    uint32_t sampleSize = 100;
    bool moovFirst = false;
    bool mdat64 = false;
    bool co64 = false;
    bool version1 = false;  // 64-bit mvhd/tkhd/mdhd/elst
    bool ctts = false;      // version 1 ctts, the last sample's offset -1
    bool brvu = true;
    std::string externalUrl;  // non-empty: the track's data reference points there
    bool withMdat = true;
    uint64_t gap = 0;  // zero bytes in mdat before the samples (written as a hole)
};

std::vector<uint8_t> BuildSynthMovie(const SynthOptions& options);

// Writes the movie; a gap becomes a hole in a sparse file, so files past 4 GB cost little disk.
void WriteSynthMovie(const std::filesystem::path& path, const SynthOptions& options);

}  // namespace brevio::testmovies
