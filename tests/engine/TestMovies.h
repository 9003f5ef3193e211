#pragma once
// Test movies for the engine tests: made with the ffmpeg tool, then given a BRVU atom by a small
// independent atom editor (so the tests do not rely on the engine's own reader to build input).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brevio::enginetest {

// A fresh directory under $BREVIO_TEST_TMP (or the system temp dir), removed by the destructor.
class TempDir {
public:
    explicit TempDir(const std::string& name);
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Runs a shell command; returns its exit status and collects stdout+stderr.
int RunCommand(const std::string& command, std::string* output = nullptr);

std::string Quote(const std::filesystem::path& p);

struct MovieSpec {
    std::vector<double> unitSeconds{2.0, 2.0, 2.0};  // length of each unit
    int fps = 30;
    int width = 64, height = 48;
    bool bframes = true;
    enum class Audio { None, Pcm, Aac } audio = Audio::Pcm;
    int sampleRate = 48000;
    bool faststart = false;  // moov before mdat
    bool brvu = true;        // add the BRVU atom (movie time scale 1000)
    bool chapters = false;   // QuickTime chapter track, one chapter per unit
    std::vector<std::string> titles;
};

// Unit starts in milliseconds for a spec.
std::vector<uint32_t> UnitStartsMs(const MovieSpec& spec);

// Makes the movie; fails the current test (and returns false) when ffmpeg fails.
bool MakeMovie(const MovieSpec& spec, const std::filesystem::path& out);

// Inserts a moov/udta/BRVU atom with the given starts, fixing chunk offsets when moov precedes
// mdat.
bool AddBrvu(const std::filesystem::path& file, const std::vector<uint32_t>& starts);

std::vector<uint8_t> ReadFile(const std::filesystem::path& p);
// The first audio stream decoded by the ffmpeg tool to signed 16-bit little-endian samples.
std::vector<uint8_t> DecodePcmS16(const std::filesystem::path& p);
void WriteFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes);

// Big-endian helpers for hand-built atoms.
void Put32(std::vector<uint8_t>& b, uint32_t v);
void Put16(std::vector<uint8_t>& b, uint16_t v);
void Put64(std::vector<uint8_t>& b, uint64_t v);
void PutType(std::vector<uint8_t>& b, const char* type);
// An atom with the given type around the payload.
std::vector<uint8_t> Box(const char* type, const std::vector<uint8_t>& payload);

// Offset of the first atom of `type` found by walking containers; npos when absent.
size_t FindAtomOffset(const std::vector<uint8_t>& file, const char* type, size_t nth = 0);

}  // namespace brevio::enginetest
