#pragma once
// Ticks: signed 64-bit counts of 100 ns, the unit of every position and duration outside the
// engine.
#include <cstdint>

namespace brevio {

inline constexpr int64_t kTicksPerSecond = 10'000'000;
// A movie without chapters must be strictly longer than this (4.004 s).
inline constexpr int64_t kShortestMovieTicks = 40'040'000;

// A time in the movie's time scale as ticks: sign-extended, multiplied first, then divided with
// truncation toward zero. `timeScale` must be above zero.
constexpr int64_t ToTicks(int32_t time, int32_t timeScale) {
    return static_cast<int64_t>(time) * kTicksPerSecond / static_cast<int64_t>(timeScale);
}

}  // namespace brevio
