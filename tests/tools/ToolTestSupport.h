#pragma once
// Running the brevio tool and reading its JSON output in tests.
#include <sys/types.h>

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

// Six units of 150 large 1080p Motion JPEG frames with PCM sound: several hundred megabytes, a
// save that takes long enough to be interrupted.
testmovies::MovieOptions LargeMovie();

// Starts argv[0] (a path) with the arguments; its process id, or -1.
pid_t Spawn(const std::vector<std::string>& argv);

// The size of the file that the process `pid` has open in `dir` (named or unnamed, as a save
// writes it): -1 while it has none.
int64_t WritingSize(pid_t pid, const std::filesystem::path& dir);

// The whole file's bytes.
std::string ReadAll(const std::filesystem::path& file);

// Ticks of `frames` frames at 30000/1001.
constexpr int64_t FrameTicks(int64_t frames) {
    return frames * 1001 * 10'000'000 / 30000;
}

}  // namespace brevio::tooltest
