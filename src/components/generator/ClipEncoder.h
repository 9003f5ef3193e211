#pragma once
// Encodes one synthetic clip (one future shooting unit) into a QuickTime file with libavcodec and
// libavformat: H.264 (libx264, a closed GOP starting with a key frame) or Motion JPEG, and PCM
// (signed 16-bit little-endian) or AAC sound.
#include <filesystem>
#include <string>

#include "generator/SyntheticOptions.h"

namespace brevio::generator {

// Writes the clip of unit `unitIndex` (0-based) to `path` (replacing it). Throws
// std::runtime_error with what went wrong.
void EncodeClip(const SyntheticOptions& options, int unitIndex, const std::filesystem::path& path);

// Checks the options without encoding; returns "" or what is wrong with them.
std::string CheckOptions(const SyntheticOptions& options);

}  // namespace brevio::generator
