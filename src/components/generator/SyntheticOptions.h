#pragma once
// What a synthetic movie looks like: the number of units, their length, the codecs.
#include <string>
#include <vector>

namespace brevio::generator {

enum class AudioCodec { None, Pcm, Aac };

struct SyntheticOptions {
    int units = 3;
    int width = 640;
    int height = 480;
    // Length of every unit; rounded to whole frames at 30000/1001 frames per second
    // (4.004 s = 120 frames).
    double unitSeconds = 4.004;
    bool bframes = false;
    bool mjpeg = false;
    // Motion JPEG quality scale, 1 (best, largest frames) to 31.
    int jpegQuality = 4;
    AudioCodec audio = AudioCodec::Pcm;
    int sampleRate = 48000;
    int channels = 2;
    bool chapters = false;
    std::vector<std::string> titles;  // chapter titles; "Chapter N" where missing
};

// Frame rate of every synthetic clip: 30000/1001.
inline constexpr int kFrameRateNum = 30000;
inline constexpr int kFrameRateDen = 1001;

// Frames of one unit for the options (at least 1).
int FramesPerUnit(const SyntheticOptions& options);
// Audio frames of one unit: the video length in samples, rounded down.
long long AudioSamplesPerUnit(const SyntheticOptions& options);

}  // namespace brevio::generator
