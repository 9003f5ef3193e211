#pragma once
// Builds the movie atom of an output movie.
#include <string>
#include <vector>

#include "engine/impl/OutputMovie.h"
#include "engine/impl/Result.h"

namespace brevio::engine {

struct MoovLayout {
    // Per track, the file offset of each chunk (same order as OutTrack::chunks).
    std::vector<std::vector<uint64_t>> chunkOffsets;
    // Per track, the URL of the file holding its samples; empty: the movie file itself.
    std::vector<std::string> dataUrls;
};

Result<std::vector<uint8_t>> BuildMoov(const OutputMovie& movie, const MoovLayout& layout);

// The file type atom written at the start of every movie: brand 'qt  '.
std::vector<uint8_t> BuildFtyp();

// An absolute file:// URL of a path, percent-encoded.
std::string FileUrl(const std::string& absolutePath);

}  // namespace brevio::engine
