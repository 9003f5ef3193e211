#include "BmpWriter.h"

#include <limits>

namespace brevio::framesource {

namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr size_t kFileHeader = 14;
constexpr size_t kInfoHeader = 40;

}  // namespace

bool EncodeBmp(const AVFrame* frame, brevio::media::FrameScaler& scaler,
               std::vector<uint8_t>& out) {
    if (frame == nullptr || frame->width <= 0 || frame->height <= 0) return false;
    const uint64_t w = static_cast<uint64_t>(frame->width);
    const uint64_t h = static_cast<uint64_t>(frame->height);
    const uint64_t stride = w * 4;
    const uint64_t pixels = stride * h;
    const uint64_t total = kFileHeader + kInfoHeader + pixels;
    if (total > std::numeric_limits<uint32_t>::max()) return false;
    out.assign(static_cast<size_t>(total), 0);
    uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    Put32(p + 2, static_cast<uint32_t>(total));
    Put32(p + 10, static_cast<uint32_t>(kFileHeader + kInfoHeader));
    uint8_t* info = p + kFileHeader;
    Put32(info, kInfoHeader);
    Put32(info + 4, static_cast<uint32_t>(w));
    Put32(info + 8, static_cast<uint32_t>(h));  // positive: rows stored bottom-up
    Put16(info + 12, 1);
    Put16(info + 14, 32);
    Put32(info + 16, 0);  // BI_RGB
    Put32(info + 20, static_cast<uint32_t>(pixels));
    Put32(info + 24, 2835);  // 72 dpi
    Put32(info + 28, 2835);
    // The scaler writes the top row last in memory through a negative stride.
    uint8_t* lastRow = p + kFileHeader + kInfoHeader + (h - 1) * stride;
    return scaler.ScaleInto(frame, frame->width, frame->height, lastRow, -static_cast<int>(stride));
}

}  // namespace brevio::framesource
