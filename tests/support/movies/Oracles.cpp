#include "testmovies/Oracles.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "testmovies/Process.h"

namespace brevio::testmovies {

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

std::vector<std::string> FrameMd5Lines(const std::filesystem::path& movie) {
    return FrameMd5Lines(movie, "v:0");
}

std::vector<std::string> FrameMd5Lines(const std::filesystem::path& movie,
                                       const std::string& stream) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", movie.string(), "-map",
                         "0:" + stream, "-f", "framemd5", "-"});
    std::vector<std::string> lines;
    if (r.exitCode != 0) return lines;
    for (auto& line : Lines(r.out))
        if (line[0] != '#') lines.push_back(line);
    return lines;
}

std::vector<std::string> FrameMd5(const std::filesystem::path& movie) {
    std::vector<std::string> hashes;
    for (const auto& frame : DecodedFrames(movie, "v:0")) hashes.push_back(frame.md5);
    return hashes;
}

std::vector<DecodedFrame> DecodedFrames(const std::filesystem::path& movie,
                                        const std::string& stream) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", movie.string(), "-map",
                         "0:" + stream, "-f", "framemd5", "-"});
    std::vector<DecodedFrame> frames;
    if (r.exitCode != 0) return frames;
    double timeBase = 0;
    for (const auto& line : Lines(r.out)) {
        int num = 0, den = 1;
        if (std::sscanf(line.c_str(), "#tb 0: %d/%d", &num, &den) == 2 && den != 0)
            timeBase = double(num) / den;
        if (line[0] == '#') continue;
        // stream, dts, pts, duration, size, hash
        std::vector<std::string> fields;
        std::stringstream in(line);
        for (std::string f; std::getline(in, f, ',');) {
            auto first = f.find_first_not_of(' ');
            fields.push_back(first == std::string::npos ? f : f.substr(first));
        }
        if (fields.size() >= 6) frames.push_back({std::stod(fields[2]) * timeBase, fields[5]});
    }
    return frames;
}

std::string FfprobeErrors(const std::filesystem::path& movie) {
    auto probe =
        RunCommand({"ffprobe", "-v", "error", "-show_format", "-show_streams", movie.string()});
    auto decode = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", movie.string(), "-map",
                              "0", "-f", "null", "-"});
    std::string errors = probe.err + decode.err;
    if (probe.exitCode != 0) errors += "ffprobe exit " + std::to_string(probe.exitCode) + "\n";
    if (decode.exitCode != 0) errors += "ffmpeg exit " + std::to_string(decode.exitCode) + "\n";
    return errors;
}

std::vector<int16_t> PcmS16(const std::filesystem::path& movie) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", movie.string(), "-map", "0:a:0",
                         "-f", "s16le", "-acodec", "pcm_s16le", "-"});
    std::vector<int16_t> samples;
    if (r.exitCode != 0) return samples;
    samples.resize(r.out.size() / 2);
    std::memcpy(samples.data(), r.out.data(), samples.size() * 2);
    return samples;
}

std::string ProbeStreamEntry(const std::filesystem::path& movie, const std::string& stream,
                             const std::string& entry) {
    auto r = RunCommand({"ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
                         "stream=" + entry, "-of", "default=nw=1:nk=1", movie.string()});
    auto lines = Lines(r.out);
    return lines.empty() ? std::string() : lines.front();
}

std::vector<std::string> ProbeChapterTitles(const std::filesystem::path& movie) {
    auto r = RunCommand({"ffprobe", "-v", "error", "-show_entries", "chapter_tags=title", "-of",
                         "default=nw=1:nk=1", movie.string()});
    return Lines(r.out);
}

}  // namespace brevio::testmovies
