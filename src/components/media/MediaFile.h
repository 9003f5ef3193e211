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

namespace brevio::engine {
class CVarnoMovFile;
}

namespace brevio::media {

// One stretch of a track on the movie timeline, as its edit list says: either a range of the
// media played at normal speed from mediaStart on, or nothing (an empty edit: silence, or the
// picture left as it is).
struct PresentedRange {
    static constexpr int64_t kOpenEnd = INT64_MAX;
    int64_t startTicks = 0;       // movie time
    int64_t endTicks = kOpenEnd;  // kOpenEnd: to the end of the media
    int64_t mediaStart = -1;      // media time scale; -1: nothing is presented
    int64_t mediaEnd = kOpenEnd;  // media time scale, exclusive
    bool Empty() const { return mediaStart < 0; }
};

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
    // The ranges of a track of this movie in movie order, without gaps, starting at 0. A track
    // without an edit list plays its whole media from 0.
    const std::vector<PresentedRange>& Presentation(
        const brevio::engine::TrackSamples& track) const;

    // Reads one sample's bytes into out (resized to the sample's size); false on a short read.
    // Thread-safe (positional reads).
    bool ReadSample(const brevio::engine::SampleRef& sample, std::vector<uint8_t>& out) const;
    // Reads size bytes at offset of a sample's file into dst.
    bool ReadBytes(uint32_t file, uint64_t offset, size_t size, uint8_t* dst) const;

private:
    MediaFile() = default;
    std::unique_ptr<engine::CVarnoMovFile> movie_;
    const brevio::engine::MovieSamples* samples_ = nullptr;
    std::vector<int> fds_;
    int64_t durationTicks_ = 0;
    const brevio::engine::TrackSamples* video_ = nullptr;
    const brevio::engine::TrackSamples* audio_ = nullptr;
    std::vector<std::vector<PresentedRange>> presentation_;  // per track of Samples()
};

}  // namespace brevio::media
