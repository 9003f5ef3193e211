#include "generator/TestPattern.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace brevio::generator {

namespace {

constexpr YuvColor kWhite{235, 128, 128};
constexpr YuvColor kBlack{16, 128, 128};

// Segments a..g of the digits 0-9, bit 0 = a (top), then clockwise, g (middle) last.
constexpr uint8_t kSegments[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};

uint8_t Clamp(double v) {
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

void DrawDigit(const PlanarPicture& p, int x, int y, int h, int digit, YuvColor c) {
    const int w = h / 2;
    const int t = std::max(2, h / 10);
    const int half = h / 2;
    const uint8_t s = kSegments[digit];
    if (s & 0x01) FillRect(p, x, y, w, t, c);                        // a
    if (s & 0x02) FillRect(p, x + w - t, y, t, half, c);             // b
    if (s & 0x04) FillRect(p, x + w - t, y + half, t, h - half, c);  // c
    if (s & 0x08) FillRect(p, x, y + h - t, w, t, c);                // d
    if (s & 0x10) FillRect(p, x, y + half, t, h - half, c);          // e
    if (s & 0x20) FillRect(p, x, y, t, half, c);                     // f
    if (s & 0x40) FillRect(p, x, y + half - t / 2, w, t, c);         // g
}

}  // namespace

YuvColor UnitColor(int unitIndex) {
    // HSV (hue turning per unit, saturation 0.65, value 0.75) to RGB to BT.601 limited range.
    const double hue = std::fmod(unitIndex * 47.0, 360.0) / 60.0;
    const double v = 0.75, s = 0.65;
    const double c = v * s;
    const double x = c * (1 - std::fabs(std::fmod(hue, 2.0) - 1));
    const double m = v - c;
    double r = 0, g = 0, b = 0;
    switch (int(hue)) {
        case 0:
            r = c, g = x;
            break;
        case 1:
            r = x, g = c;
            break;
        case 2:
            g = c, b = x;
            break;
        case 3:
            g = x, b = c;
            break;
        case 4:
            r = x, b = c;
            break;
        default:
            r = c, b = x;
            break;
    }
    r += m, g += m, b += m;
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    return YuvColor{Clamp(16 + 219 * y), Clamp(128 + 224 * 0.564 * (b - y)),
                    Clamp(128 + 224 * 0.713 * (r - y))};
}

void FillRect(const PlanarPicture& p, int x, int y, int w, int h, YuvColor color) {
    int x0 = std::max(0, x), y0 = std::max(0, y);
    int x1 = std::min(p.width, x + w), y1 = std::min(p.height, y + h);
    if (x0 >= x1 || y0 >= y1) return;
    for (int row = y0; row < y1; ++row)
        std::fill_n(p.planes[0] + row * p.strides[0] + x0, x1 - x0, color.y);
    int cx0 = x0 / 2, cy0 = y0 / 2, cx1 = (x1 + 1) / 2, cy1 = (y1 + 1) / 2;
    for (int row = cy0; row < cy1; ++row) {
        std::fill_n(p.planes[1] + row * p.strides[1] + cx0, cx1 - cx0, color.u);
        std::fill_n(p.planes[2] + row * p.strides[2] + cx0, cx1 - cx0, color.v);
    }
}

int NumberWidth(int height, unsigned number) {
    const int digits = int(std::to_string(number).size());
    const int w = height / 2;
    return digits * w + (digits - 1) * (w / 3);
}

void DrawNumber(const PlanarPicture& p, int x, int y, int height, unsigned number, YuvColor color) {
    const std::string text = std::to_string(number);
    const int w = height / 2;
    for (char ch : text) {
        DrawDigit(p, x, y, height, ch - '0', color);
        x += w + w / 3;
    }
}

void DrawTestPattern(const PlanarPicture& p, int unitIndex, int frameIndex) {
    FillRect(p, 0, 0, p.width, p.height, UnitColor(unitIndex));

    // The unit number, as large as fits.
    const unsigned number = unsigned(unitIndex) + 1;
    int height = p.height / 2;
    while (height > 8 && NumberWidth(height, number) > p.width * 9 / 10) height = height * 9 / 10;
    DrawNumber(p, (p.width - NumberWidth(height, number)) / 2, (p.height - height) / 2, height,
               number, kWhite);

    // The frame number in the lower left corner, and a box moving along the bottom.
    const int small = std::max(10, p.height / 12);
    const int margin = std::max(2, p.height / 40);
    DrawNumber(p, margin, p.height - small - margin, small, unsigned(frameIndex), kWhite);
    const int box = std::max(4, p.height / 16);
    const int travel = std::max(1, p.width - box);
    FillRect(p, (frameIndex * 7 * box / 4) % travel, p.height - box - small - 2 * margin, box, box,
             kBlack);
}

}  // namespace brevio::generator
