#pragma once
// What ffmpeg itself says about a movie: the oracles the tests compare our results with.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brevio::testmovies {

// The MD5 of every decoded frame of the first video stream, in presentation order (the hash
// column of ffmpeg's framemd5 output). Empty when ffmpeg fails.
std::vector<std::string> FrameMd5(const std::filesystem::path& movie);
// The full framemd5 lines (stream, dts, pts, duration, size, hash) of the first video stream.
std::vector<std::string> FrameMd5Lines(const std::filesystem::path& movie);
// The same of the stream `stream` ("v:1": the second video stream).
std::vector<std::string> FrameMd5Lines(const std::filesystem::path& movie,
                                       const std::string& stream);

struct DecodedFrame {
    double time = 0;  // presentation time in seconds
    std::string md5;
};
// Every decoded frame of a video stream ("v:0", "v:1") in presentation order.
std::vector<DecodedFrame> DecodedFrames(const std::filesystem::path& movie,
                                        const std::string& stream);

// The error text of `ffprobe -v error` on the file plus that of decoding every stream with
// `ffmpeg -v error -f null`; empty when both are clean.
std::string FfprobeErrors(const std::filesystem::path& movie);

// The first audio stream decoded to interleaved signed 16-bit little-endian samples.
std::vector<int16_t> PcmS16(const std::filesystem::path& movie);

// Stream facts from ffprobe: "codec_name", "nb_frames", ... of stream `stream` ("v:0", "a:0").
std::string ProbeStreamEntry(const std::filesystem::path& movie, const std::string& stream,
                             const std::string& entry);

// Chapter titles as ffprobe reads them.
std::vector<std::string> ProbeChapterTitles(const std::filesystem::path& movie);

}  // namespace brevio::testmovies
