#pragma once
// Writes decoded frames as uncompressed 32-bit BMP files in memory: no compression step, so
// encoding costs one pass of the scaler.
#include <cstdint>
#include <vector>

#include "media/FrameScaler.h"

namespace brevio::framesource {

// The frame at its full size as a bottom-up 32 bpp BI_RGB bitmap; false when the frame cannot be
// converted.
bool EncodeBmp(const AVFrame* frame, brevio::media::FrameScaler& scaler, std::vector<uint8_t>& out);

}  // namespace brevio::framesource
