#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "generator/TestPattern.h"
#include "generator/ToneSource.h"

namespace brevio::generator {
namespace {

// A picture with guard bytes around every plane, to catch writes outside it.
struct GuardedPicture {
    static constexpr uint8_t kGuard = 0xA5;
    static constexpr int kPad = 64;
    GuardedPicture(int w, int h) : width(w), height(h) {
        for (int i = 0; i < 3; ++i) {
            int pw = i ? (w + 1) / 2 : w, ph = i ? (h + 1) / 2 : h;
            stride[i] = pw + 8;  // some slack at the end of each row, as real frames have
            storage[i].assign(size_t(stride[i] * ph + 2 * kPad), kGuard);
        }
    }
    PlanarPicture Picture() {
        return PlanarPicture{
            {storage[0].data() + kPad, storage[1].data() + kPad, storage[2].data() + kPad},
            {stride[0], stride[1], stride[2]},
            width,
            height};
    }
    bool GuardsIntact() const {
        for (int i = 0; i < 3; ++i) {
            const auto& s = storage[i];
            const int pw = i ? (width + 1) / 2 : width;
            for (int k = 0; k < kPad; ++k)
                if (s[size_t(k)] != kGuard || s[s.size() - 1 - size_t(k)] != kGuard) return false;
            // The slack past the visible width of each row stays untouched too.
            for (size_t row = 0; row + 1 < (s.size() - 2 * kPad) / size_t(stride[i]); ++row)
                for (int x = pw; x < stride[i]; ++x)
                    if (s[kPad + row * size_t(stride[i]) + size_t(x)] != kGuard) return false;
        }
        return true;
    }
    uint8_t Y(int x, int y) const { return storage[0][size_t(kPad + y * stride[0] + x)]; }
    int width, height;
    int stride[3];
    std::vector<uint8_t> storage[3];
};

TEST(TestPattern, FillRectClipsToThePicture) {
    GuardedPicture g(50, 30);
    auto p = g.Picture();
    FillRect(p, -10, -10, 200, 200, YuvColor{100, 110, 120});
    FillRect(p, 45, 25, 40, 40, YuvColor{200, 110, 120});
    FillRect(p, 60, 5, 10, 10, YuvColor{7, 7, 7});  // wholly outside
    FillRect(p, 10, 10, 0, 5, YuvColor{7, 7, 7});   // empty
    EXPECT_TRUE(g.GuardsIntact());
    EXPECT_EQ(g.Y(0, 0), 100);
    EXPECT_EQ(g.Y(44, 24), 100);
    EXPECT_EQ(g.Y(45, 25), 200);
    EXPECT_EQ(g.Y(49, 29), 200);
}

TEST(TestPattern, DrawsWithinOddAndTinyPictures) {
    for (auto [w, h] : {std::pair{16, 16}, {17, 23}, {640, 480}, {33, 1000}}) {
        GuardedPicture g(w, h);
        for (int unit : {0, 9, 99, 12344}) DrawTestPattern(g.Picture(), unit, 1000);
        EXPECT_TRUE(g.GuardsIntact()) << w << "x" << h;
    }
}

int LitPixels(unsigned number) {
    GuardedPicture g(200, 100);
    auto p = g.Picture();
    FillRect(p, 0, 0, 200, 100, YuvColor{16, 128, 128});
    DrawNumber(p, 5, 5, 60, number, YuvColor{235, 128, 128});
    int lit = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) lit += g.Y(x, y) == 235;
    return lit;
}

TEST(TestPattern, DigitsHaveTheirSegments) {
    // 8 lights all seven segments, 1 only two; every digit is drawn differently.
    EXPECT_GT(LitPixels(8), 2 * LitPixels(1));
    std::set<int> counts;
    for (unsigned d : {0u, 1u, 4u, 7u, 8u}) counts.insert(LitPixels(d));
    EXPECT_EQ(counts.size(), 5u);
    EXPECT_GT(NumberWidth(60, 123), NumberWidth(60, 12));
}

TEST(TestPattern, NeighbouringUnitsDifferInColourAndFramesDiffer) {
    for (int unit = 0; unit < 30; ++unit) {
        YuvColor a = UnitColor(unit), b = UnitColor(unit + 1);
        EXPECT_TRUE(a.y != b.y || a.u != b.u || a.v != b.v) << unit;
        EXPECT_GE(a.y, 16);
        EXPECT_LE(a.y, 235);
    }
    GuardedPicture f0(160, 120), f1(160, 120);
    DrawTestPattern(f0.Picture(), 3, 0);
    DrawTestPattern(f1.Picture(), 3, 1);
    EXPECT_NE(f0.storage[0], f1.storage[0]);
}

TEST(ToneSource, PitchRisesPerUnitAndInterleavesChannels) {
    EXPECT_DOUBLE_EQ(UnitPitch(0), 330.0);
    EXPECT_NEAR(UnitPitch(12), 660.0, 1e-9);
    EXPECT_LT(UnitPitch(3), UnitPitch(4));

    ToneSource tone(0, 48000, 2);
    std::vector<int16_t> a(2 * 480), b(2 * 480);
    tone.Fill(a.data(), 480);
    tone.Fill(b.data(), 480);  // continues: 10 ms later
    for (size_t i = 0; i < a.size(); i += 2) EXPECT_EQ(a[i], a[i + 1]);
    // 330 Hz over 480 samples (3.3 periods): zero crossings, and the second block is not a repeat.
    int crossings = 0;
    for (size_t i = 2; i < a.size(); i += 2) crossings += (a[i - 2] < 0) != (a[i] < 0);
    EXPECT_GE(crossings, 6);
    EXPECT_LE(crossings, 7);
    EXPECT_NE(a, b);
}

}  // namespace
}  // namespace brevio::generator
