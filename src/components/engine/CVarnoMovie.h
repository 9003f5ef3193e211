#pragma once
// The movie structure of an opened file: its tracks and, for Brevio movies, chapters.
#include <cstdint>
#include <string>
#include <vector>

#include "EngineTypes.h"

namespace brevio::engine {

class CVarnoMovFile;

class CVarnoMovie {
public:
    explicit CVarnoMovie(const CVarnoMovFile& file) : file_(file) {}

    // True when a text track is named by another track's 'tref'/'chap'.
    bool HasChapter() const;
    unsigned GetChapterCount() const;
    // Chapter titles in movie order (UTF-8).
    std::vector<std::string> GetChapterTitles() const;
    int32_t GetTimeScale() const;
    int64_t GetDuration() const;  // movie time scale
    const MovieSamples& GetSamples() const;

private:
    const CVarnoMovFile& file_;
};

}  // namespace brevio::engine
