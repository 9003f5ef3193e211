#pragma once
// Opening a Brevio movie for the subcommands exactly as the edit document does, with its result
// codes: 0 opened, 3 not a Brevio movie, 4 too short (or fewer than two chapters), 5 invalid file,
// 7 out of memory.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"

namespace brevio::tool {

inline constexpr int64_t kTicksPerSecond = 10'000'000;
// A movie without chapters must be longer than this (4.004 s).
inline constexpr int64_t kMinimumTicks = 40'040'000;

// Movie time to ticks: 64-bit, multiplication first, quotient truncated toward zero.
constexpr int64_t ToTicks(int32_t time, int32_t timeScale) {
    return timeScale == 0 ? 0 : int64_t(time) * kTicksPerSecond / timeScale;
}

struct OpenedMovie {
    // The movie refers to the file, so it is declared after it and destroyed first.
    std::unique_ptr<CVarnoMovFile> file;
    std::unique_ptr<CBrevioMovie> movie;
    bool chapters = false;
    int64_t totalTicks = 0;
    int64_t unitDurationTicks = 0;
};

// Opens `path`; returns the result code and, when it is not 0, what is wrong in `error`.
int OpenBrevioMovie(const std::string& path, OpenedMovie& opened, std::string& error);

// A short explanation of a result code.
const char* DescribeOpenResult(int code);

}  // namespace brevio::tool
