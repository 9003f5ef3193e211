#pragma once
// Writes decoded frames as uncompressed 32-bit BMP files in memory: no compression step, so
// encoding costs one pass of the scaler.
#include <cstdint>
#include <vector>

#include "media/FrameScaler.h"

namespace brevio::framesource {

// The frame at its full size as a top-down 32 bpp BI_RGB bitmap; false when the frame cannot be
// converted. `out` is reused: a buffer of the right size is overwritten in place.
bool EncodeBmp(const AVFrame* frame, brevio::media::FrameScaler& scaler, std::vector<uint8_t>& out);

// The pixels of a bitmap of exactly the kind EncodeBmp writes (B, G, R, X bytes, top-down rows),
// for readers that want them without a decoding pass; false for any other bytes.
struct BmpView {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};
bool PlainBmpView(const uint8_t* data, size_t size, BmpView& view);

}  // namespace brevio::framesource
