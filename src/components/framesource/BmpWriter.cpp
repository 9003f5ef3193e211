#include "BmpWriter.h"

#include <algorithm>
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
    if (total > std::numeric_limits<uint32_t>::max() || h > std::numeric_limits<int32_t>::max()) {
        return false;
    }
    // Resizing a buffer of the same size keeps its memory: no clearing, no new pages.
    out.resize(static_cast<size_t>(total));
    uint8_t* p = out.data();
    std::fill(p, p + kFileHeader + kInfoHeader, uint8_t{0});
    p[0] = 'B';
    p[1] = 'M';
    Put32(p + 2, static_cast<uint32_t>(total));
    Put32(p + 10, static_cast<uint32_t>(kFileHeader + kInfoHeader));
    uint8_t* info = p + kFileHeader;
    Put32(info, kInfoHeader);
    Put32(info + 4, static_cast<uint32_t>(w));
    // A negative height stores the rows top-down, in the order the scaler writes them.
    Put32(info + 8, static_cast<uint32_t>(-static_cast<int32_t>(h)));
    Put16(info + 12, 1);
    Put16(info + 14, 32);
    Put32(info + 16, 0);  // BI_RGB
    Put32(info + 20, static_cast<uint32_t>(pixels));
    Put32(info + 24, 2835);  // 72 dpi
    Put32(info + 28, 2835);
    return scaler.ScaleInto(frame, frame->width, frame->height, p + kFileHeader + kInfoHeader,
                            static_cast<int>(stride));
}

bool PlainBmpView(const uint8_t* data, size_t size, BmpView& view) {
    if (size < kFileHeader + kInfoHeader || data[0] != 'B' || data[1] != 'M') return false;
    auto get32 = [data](size_t at) {
        return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
               uint32_t(data[at + 3]) << 24;
    };
    auto get16 = [data](size_t at) { return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8; };
    const uint32_t offset = get32(10);
    const uint32_t infoSize = get32(kFileHeader);
    const auto width = static_cast<int32_t>(get32(kFileHeader + 4));
    const auto height = static_cast<int32_t>(get32(kFileHeader + 8));
    if (infoSize != kInfoHeader || get16(kFileHeader + 12) != 1 || get16(kFileHeader + 14) != 32 ||
        get32(kFileHeader + 16) != 0 || width <= 0 || height >= 0 ||
        height == std::numeric_limits<int32_t>::min()) {
        return false;  // only the top-down 32-bit uncompressed kind that EncodeBmp writes
    }
    const uint64_t stride = uint64_t(width) * 4;
    const uint64_t rows = uint64_t(-int64_t(height));
    if (offset < kFileHeader + kInfoHeader || offset > size || stride * rows > size - offset) {
        return false;
    }
    view.pixels = data + offset;
    view.width = width;
    view.height = static_cast<int>(rows);
    view.stride = static_cast<int>(stride);
    return true;
}

}  // namespace brevio::framesource
