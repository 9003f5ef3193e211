#pragma once
// The shooting units of a Brevio movie, read from the BRVU atom or from the chapter track, and
// checked against the video track: every unit must begin on a video sync sample.
#include <cstdint>
#include <vector>

#include "engine/CVarnoMovFile.h"
#include "engine/impl/Result.h"

namespace brevio::engine {

struct UnitInfo {
    int32_t start = 0;        // movie time scale
    int32_t duration = 0;     // movie time scale
    uint32_t syncSample = 0;  // decode-order index of the unit's first video sample
};

struct UnitStructure {
    bool chapters = false;  // units are the chapters of the chapter track
    uint32_t timeScale = 0;
    int32_t duration = 0;  // whole movie, movie time scale
    std::vector<UnitInfo> units;
};

Result<UnitStructure> ReadUnits(const CVarnoMovFile::Impl& file);

// Converts a time between time scales with 64-bit arithmetic, rounding to nearest once.
int64_t Rescale(int64_t value, uint32_t from, uint32_t to);

}  // namespace brevio::engine
