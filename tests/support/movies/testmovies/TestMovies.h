#pragma once
// Brevio movies for tests. MakeMovie builds them with the ffmpeg command-line tool and adds the
// BRVU atom itself, so tests of the engine do not depend on the engine; MakeMovieWithBrevio goes
// through `brevio make --synthetic`. Both cache their results per options under
// $BREVIO_TEST_TMP/movies-cache (shared by tests running in parallel): treat the returned files as
// read-only and copy one before changing it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "testmovies/Oracles.h"
#include "testmovies/Process.h"

namespace brevio::testmovies {

enum class Audio { None, Pcm, Aac };

struct MovieOptions {
    int units = 5;
    // Frames of each unit at 30000/1001 frames per second; 120 frames = 4.004 s. `unitFrames`, when
    // not empty, gives every unit its own length and overrides `units` and `framesPerUnit`.
    int framesPerUnit = 120;
    std::vector<int> unitFrames;
    int width = 320;
    int height = 240;
    bool bframes = false;
    Audio audio = Audio::Pcm;
    int sampleRate = 48000;
    int channels = 2;
    bool mjpeg = false;
    // HEVC (x265, ultrafast) with a key frame at each unit start, tagged hvc1; overrides bframes.
    bool hevc = false;
    // A QuickTime chapter track (one chapter per unit) instead of the BRVU atom.
    bool chapters = false;
    std::vector<std::string> titles;  // chapter titles; "Chapter N" where missing
    // Movie atom before the media data (the BRVU insertion then shifts every chunk offset).
    bool moovFirst = false;
    int movieTimeScale = 1000;  // mvhd time scale
    // Neither BRVU nor chapters: a plain QuickTime movie (not a Brevio movie).
    bool plain = false;
    // Whole frames per second instead of 30000/1001 (unit lengths stay counted in frames).
    int frameRate = 0;
    // A second H.264 track of the same picture with a key frame every `secondVideoGop` frames
    // and none forced at the unit starts; 0: none.
    int secondVideoGop = 0;
    // The sound starts this many milliseconds after the picture (an empty edit before it) and
    // ends with it.
    int audioDelayMs = 0;

    // Seconds of one frame as a fraction.
    int64_t FrameNum() const { return frameRate > 0 ? 1 : 1001; }
    int64_t FrameDen() const { return frameRate > 0 ? frameRate : 30000; }

    std::vector<int> Frames() const;
    // A short text naming every option, used as the cache key.
    std::string Key() const;
};

// A small movie for engine tests: 64 × 48 H.264 with B-frames at 30 frames a second and mono
// 48 kHz PCM, units of the given numbers of frames (30 frames: one second).
MovieOptions SmallMovie(std::vector<int> unitFrames);

// $BREVIO_TEST_TMP, or the build's test-tmp folder when unset.
std::filesystem::path TestTmpRoot();

// A fresh, unique directory under TestTmpRoot(), removed with everything in it on destruction.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "t");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The movie's path in the cache (built when missing). Throws std::runtime_error when ffmpeg fails.
std::filesystem::path MakeMovie(const MovieOptions& options);
// The same movie built by the brevio tool (`brevio make --synthetic`): H.264 or Motion JPEG, audio,
// size, unit length and chapters from the options (unitFrames, moovFirst, movieTimeScale and plain
// are not supported there). Throws std::runtime_error when the tool fails.
std::filesystem::path MakeMovieWithBrevio(const MovieOptions& options);

// Unit starts in the movie time scale as MakeMovie writes them: frame start times rounded to the
// nearest unit of `movieTimeScale`.
std::vector<uint32_t> UnitStarts(const MovieOptions& options);

// Copies `source` to `destination` (overwriting) and returns the destination.
std::filesystem::path CopyMovie(const std::filesystem::path& source,
                                const std::filesystem::path& destination);

// Adds a BRVU atom with the given starts to moov/udta of an existing QuickTime file in place,
// shifting chunk offsets when the movie atom precedes media data. Throws std::runtime_error.
void AddBrevioUnits(const std::filesystem::path& file, const std::vector<uint32_t>& starts);

// Splits every media edit of every track that spans `movieTime` (movie time scale) into two
// edits that show the same media, in place. Throws std::runtime_error.
void SplitMediaEdits(const std::filesystem::path& file, uint32_t movieTime);

// Gives every track of handler `handler` ("vide", "soun") a second sample description, a copy of
// its first, used by the chunks from the middle on, in place. Throws std::runtime_error.
void UseSecondSampleDescription(const std::filesystem::path& file, const std::string& handler);

}  // namespace brevio::testmovies
