#pragma once
// Running the brevio tool and reading its JSON output in tests.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "testmovies/TestMovies.h"

namespace brevio::tooltest {

using testmovies::CommandResult;

CommandResult Brevio(const std::vector<std::string>& args);

struct UnitRow {
    unsigned number = 0;
    int64_t start = 0, originalStart = 0, duration = 0;
    std::string title;
};

struct MovieInfo {
    int result = -1;
    bool chapterMovie = false;
    int timeScale = 0;
    int64_t totalTicks = 0, unitDurationTicks = 0;
    std::vector<UnitRow> units;
};

// `brevio info --json FILE`, parsed (the tool's own fixed layout, one unit per line).
MovieInfo Info(const std::filesystem::path& movie);

// The whole file's bytes.
std::string ReadAll(const std::filesystem::path& file);

// Ticks of `frames` frames at 30000/1001.
constexpr int64_t FrameTicks(int64_t frames) {
    return frames * 1001 * 10'000'000 / 30000;
}

}  // namespace brevio::tooltest
