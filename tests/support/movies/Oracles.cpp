#include "testmovies/Oracles.h"

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
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", movie.string(), "-map", "0:v:0",
                         "-f", "framemd5", "-"});
    std::vector<std::string> lines;
    if (r.exitCode != 0) return lines;
    for (auto& line : Lines(r.out))
        if (line[0] != '#') lines.push_back(line);
    return lines;
}

std::vector<std::string> FrameMd5(const std::filesystem::path& movie) {
    std::vector<std::string> hashes;
    for (const auto& line : FrameMd5Lines(movie)) {
        auto comma = line.rfind(',');
        auto hash = line.substr(comma == std::string::npos ? 0 : comma + 1);
        auto first = hash.find_first_not_of(' ');
        hashes.push_back(first == std::string::npos ? hash : hash.substr(first));
    }
    return hashes;
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
