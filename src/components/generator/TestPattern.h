#pragma once
// Draws the test pattern of a synthetic unit into 8-bit planar 4:2:0 pictures: a background colour
// of its own per unit, the unit number in large seven-segment digits, the frame number in small
// digits and a box that moves from frame to frame.
#include <cstdint>

namespace brevio::generator {

struct PlanarPicture {
    uint8_t* planes[3];  // Y, U, V; chroma at half width and height
    int strides[3];
    int width;
    int height;
};

struct YuvColor {
    uint8_t y, u, v;
};

// The background of unit `unitIndex` (0-based): a hue turning by 47 degrees per unit.
YuvColor UnitColor(int unitIndex);

// Fills the whole picture for frame `frameIndex` of unit `unitIndex` (both 0-based); the digits
// show unitIndex + 1.
void DrawTestPattern(const PlanarPicture& picture, int unitIndex, int frameIndex);

// Fills a rectangle (clipped to the picture) with a colour.
void FillRect(const PlanarPicture& picture, int x, int y, int w, int h, YuvColor color);

// Draws a non-negative number in seven-segment digits of the given height, left edge at x.
void DrawNumber(const PlanarPicture& picture, int x, int y, int height, unsigned number,
                YuvColor color);
// Width of DrawNumber's drawing.
int NumberWidth(int height, unsigned number);

}  // namespace brevio::generator
