#pragma once
// Conversions between media time scales and ticks (100 ns), in 64-bit arithmetic.
#include <cstdint>

namespace brevio::media {

inline constexpr int64_t kTicksPerSecond = 10'000'000;

__extension__ using Int128 = __int128;

// value * to / from, rounded toward minus infinity, without overflow for movie-sized values.
constexpr int64_t Rescale(int64_t value, int64_t to, int64_t from) {
    if (from <= 0) return 0;
    const Int128 product = static_cast<Int128>(value) * to;
    Int128 q = product / from;
    if (product % from != 0 && product < 0) --q;
    return static_cast<int64_t>(q);
}

constexpr int64_t MediaToTicks(int64_t mediaTime, uint32_t timeScale) {
    return Rescale(mediaTime, kTicksPerSecond, timeScale);
}
constexpr int64_t TicksToMedia(int64_t ticks, uint32_t timeScale) {
    return Rescale(ticks, timeScale, kTicksPerSecond);
}

}  // namespace brevio::media
