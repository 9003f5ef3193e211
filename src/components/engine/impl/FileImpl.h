#pragma once
// The inside of an opened movie file, shared by the movie, the units and the writers.
#include <memory>
#include <string>
#include <vector>

#include "engine/CVarnoMovFile.h"
#include "engine/CVarnoMovie.h"
#include "engine/impl/FileHandle.h"
#include "engine/impl/MovieModel.h"

namespace brevio::engine {

struct CVarnoMovFile::Impl {
    std::filesystem::path path;
    Purpose purpose = Purpose::Editing;
    bool valid = false;
    bool outOfMemory = false;
    std::string error;
    MovieModel model;
    MovieSamples samples;
    // Open handles of samples.files, same order (the file itself first).
    std::vector<FileHandle> handles;
    std::unique_ptr<CVarnoMovie> movie;

    // Index into model.tracks / samples.tracks of the chapter track; -1 without one.
    int chapterTrack = -1;
    // Index of the first enabled video track (the one units are cut on); -1 without one.
    int mainVideoTrack = -1;

    void Open(const std::filesystem::path& p, Purpose purpose);
    // Reads the bytes of one sample (small samples only: chapter titles).
    Result<std::vector<uint8_t>> ReadSample(const SampleRef& s) const;
};

// Chapter title of one text sample: a 16-bit length and the text (UTF-8, or UTF-16 with a BOM).
std::string DecodeChapterTitle(const std::vector<uint8_t>& sample);
}  // namespace brevio::engine
