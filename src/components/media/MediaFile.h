#pragma once
// A movie opened for decoding: the engine's sample tables plus read access to the files that hold
// the samples (a reference movie's samples lie in its source file). The object is immutable once
// opened, so the player's workers may read samples from it concurrently.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineTypes.h"

class CVarnoMovFile;

namespace brevio::media {

class MediaFile {
public:
    ~MediaFile();
    MediaFile(const MediaFile&) = delete;
    MediaFile& operator=(const MediaFile&) = delete;

    // Opens a movie through the engine (external references followed); null with a reason on
    // failure.
    static std::shared_ptr<const MediaFile> Open(const std::filesystem::path& path,
                                                 std::string* error = nullptr);

    const brevio::engine::MovieSamples& Samples() const { return *samples_; }
    // The movie's duration in ticks.
    int64_t DurationTicks() const { return durationTicks_; }
    // The first track of the kind with at least one sample; null when there is none.
    const brevio::engine::TrackSamples* VideoTrack() const { return video_; }
    const brevio::engine::TrackSamples* AudioTrack() const { return audio_; }

    // Reads one sample's bytes into out (resized to the sample's size); false on a short read.
    // Thread-safe (positional reads).
    bool ReadSample(const brevio::engine::SampleRef& sample, std::vector<uint8_t>& out) const;
    // Reads size bytes at offset of a sample's file into dst.
    bool ReadBytes(uint32_t file, uint64_t offset, size_t size, uint8_t* dst) const;

private:
    MediaFile() = default;
    std::unique_ptr<CVarnoMovFile> movie_;
    const brevio::engine::MovieSamples* samples_ = nullptr;
    std::vector<int> fds_;
    int64_t durationTicks_ = 0;
    const brevio::engine::TrackSamples* video_ = nullptr;
    const brevio::engine::TrackSamples* audio_ = nullptr;
};

}  // namespace brevio::media
