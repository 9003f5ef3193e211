#include "TestMovies.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace brevio::enginetest {

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& name) {
    const char* base = std::getenv("BREVIO_TEST_TMP");
    fs::path root = base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(root);
    std::random_device rd;
    for (int i = 0; i < 100; ++i) {
        fs::path p = root / (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temp dir");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

int RunCommand(const std::string& command, std::string* output) {
    std::string cmd = command + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return -1;
    std::array<char, 4096> buf;
    std::string out;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    int status = ::pclose(p);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const fs::path& p) {
    std::string s = "'";
    for (char c : p.string()) {
        if (c == '\'')
            s += "'\\''";
        else
            s += c;
    }
    return s + "'";
}

std::vector<uint32_t> UnitStartsMs(const MovieSpec& spec) {
    std::vector<uint32_t> starts;
    double t = 0;
    for (double len : spec.unitSeconds) {
        starts.push_back(uint32_t(t * 1000 + 0.5));
        t += len;
    }
    return starts;
}

bool MakeMovie(const MovieSpec& spec, const fs::path& out) {
    double total = 0;
    std::ostringstream keys;
    for (size_t i = 0; i < spec.unitSeconds.size(); ++i) {
        if (i) keys << ',';
        keys << total;
        total += spec.unitSeconds[i];
    }
    fs::path meta = out;
    meta += ".ffmeta";
    std::ostringstream cmd;
    cmd << "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=" << spec.width << 'x'
        << spec.height << ":rate=" << spec.fps << ":duration=" << total;
    if (spec.audio != MovieSpec::Audio::None)
        cmd << " -f lavfi -i sine=frequency=440:beep_factor=4:sample_rate=" << spec.sampleRate
            << ":duration=" << total;
    if (spec.chapters) {
        std::ofstream m(meta);
        m << ";FFMETADATA1\n";
        double t = 0;
        for (size_t i = 0; i < spec.unitSeconds.size(); ++i) {
            m << "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" << int64_t(t * 1000 + 0.5)
              << "\nEND=" << int64_t((t + spec.unitSeconds[i]) * 1000 + 0.5) << "\ntitle="
              << (i < spec.titles.size() ? spec.titles[i] : "Chapter " + std::to_string(i + 1))
              << "\n";
            t += spec.unitSeconds[i];
        }
        m.close();
        cmd << " -f ffmetadata -i " << Quote(meta) << " -map_chapters "
            << (spec.audio != MovieSpec::Audio::None ? 2 : 1);
    }
    cmd << " -map 0:v";
    if (spec.audio != MovieSpec::Audio::None) cmd << " -map 1:a";
    cmd << " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 1000 -sc_threshold 0 -bf "
        << (spec.bframes ? 2 : 0) << " -force_key_frames " << keys.str();
    if (spec.bframes) cmd << " -x264-params b-adapt=0:b-pyramid=0";
    if (spec.audio == MovieSpec::Audio::Pcm) cmd << " -c:a pcm_s16le";
    if (spec.audio == MovieSpec::Audio::Aac) cmd << " -c:a aac -b:a 64k";
    if (spec.faststart) cmd << " -movflags +faststart";
    cmd << " -f mov " << Quote(out);
    std::string output;
    int rc = RunCommand(cmd.str(), &output);
    std::error_code ec;
    fs::remove(meta, ec);
    EXPECT_EQ(rc, 0) << cmd.str() << "\n" << output;
    if (rc != 0) return false;
    if (spec.brvu) return AddBrvu(out, UnitStartsMs(spec));
    return true;
}

std::vector<uint8_t> ReadFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

std::vector<uint8_t> DecodePcmS16(const fs::path& p) {
    fs::path raw = p;
    raw += ".raw";
    RunCommand("ffmpeg -nostdin -v error -y -i " + Quote(p) + " -map 0:a -f s16le " + Quote(raw));
    auto b = ReadFile(raw);
    fs::remove(raw);
    return b;
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 3; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
void Put64(std::vector<uint8_t>& b, uint64_t v) {
    Put32(b, uint32_t(v >> 32));
    Put32(b, uint32_t(v));
}
void PutType(std::vector<uint8_t>& b, const char* type) {
    b.insert(b.end(), type, type + 4);
}

std::vector<uint8_t> Box(const char* type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> b;
    Put32(b, uint32_t(payload.size() + 8));
    PutType(b, type);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

namespace {

uint32_t Get32(const std::vector<uint8_t>& b, size_t o) {
    return uint32_t(b[o]) << 24 | uint32_t(b[o + 1]) << 16 | uint32_t(b[o + 2]) << 8 | b[o + 3];
}
uint64_t Get64(const std::vector<uint8_t>& b, size_t o) {
    return uint64_t(Get32(b, o)) << 32 | Get32(b, o + 4);
}
void Set32(std::vector<uint8_t>& b, size_t o, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[o + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}
void Set64(std::vector<uint8_t>& b, size_t o, uint64_t v) {
    Set32(b, o, uint32_t(v >> 32));
    Set32(b, o + 4, uint32_t(v));
}

bool IsContainer(const std::string& t) {
    return t == "moov" || t == "trak" || t == "mdia" || t == "minf" || t == "stbl" || t == "udta" ||
           t == "edts" || t == "dinf" || t == "tref";
}

// Calls f(offset, size, type) for every atom under [begin, end), depth first.
template <typename F>
void Walk(const std::vector<uint8_t>& b, size_t begin, size_t end, F&& f) {
    size_t o = begin;
    while (o + 8 <= end) {
        uint64_t size = Get32(b, o);
        size_t header = 8;
        if (size == 1) {
            size = Get64(b, o + 8);
            header = 16;
        } else if (size == 0) {
            size = end - o;
        }
        if (size < header || size > end - o) return;
        std::string type(reinterpret_cast<const char*>(&b[o + 4]), 4);
        f(o, size_t(size), type);
        if (IsContainer(type)) Walk(b, o + header, o + size_t(size), f);
        o += size_t(size);
    }
}

}  // namespace

size_t FindAtomOffset(const std::vector<uint8_t>& file, const char* type, size_t nth) {
    size_t found = std::string::npos;
    size_t count = 0;
    Walk(file, 0, file.size(), [&](size_t o, size_t, const std::string& t) {
        if (found == std::string::npos && t == type && count++ == nth) found = o;
    });
    return found;
}

bool AddBrvu(const fs::path& path, const std::vector<uint32_t>& starts) {
    std::vector<uint8_t> b = ReadFile(path);
    std::vector<uint8_t> payload;
    Put32(payload, 0);
    Put32(payload, uint32_t(starts.size()));
    for (uint32_t s : starts) Put32(payload, s);
    std::vector<uint8_t> brvu = Box("BRVU", payload);

    size_t moov = FindAtomOffset(b, "moov");
    if (moov == std::string::npos) return false;
    size_t moovSize = Get32(b, moov);
    // The moov-level udta, if any.
    size_t udta = std::string::npos;
    {
        size_t o = moov + 8;
        while (o + 8 <= moov + moovSize) {
            size_t s = Get32(b, o);
            if (s < 8) break;
            if (std::memcmp(&b[o + 4], "udta", 4) == 0) udta = o;
            o += s;
        }
    }
    const size_t mdat = FindAtomOffset(b, "mdat");
    const bool moovBeforeData = mdat != std::string::npos && mdat > moov;
    std::vector<uint8_t> insert;
    size_t at;
    if (udta != std::string::npos) {
        at = udta + Get32(b, udta);
        insert = brvu;
        Set32(b, udta, Get32(b, udta) + uint32_t(insert.size()));
    } else {
        at = moov + moovSize;
        insert = Box("udta", brvu);
    }
    Set32(b, moov, uint32_t(moovSize + insert.size()));
    b.insert(b.begin() + std::ptrdiff_t(at), insert.begin(), insert.end());
    if (moovBeforeData) {
        Walk(b, 0, b.size(), [&](size_t o, size_t, const std::string& t) {
            if (t == "stco") {
                uint32_t n = Get32(b, o + 12);
                for (uint32_t i = 0; i < n; ++i)
                    Set32(b, o + 16 + 4 * i, Get32(b, o + 16 + 4 * i) + uint32_t(insert.size()));
            } else if (t == "co64") {
                uint32_t n = Get32(b, o + 12);
                for (uint32_t i = 0; i < n; ++i)
                    Set64(b, o + 16 + 8 * i, Get64(b, o + 16 + 8 * i) + insert.size());
            }
        });
    }
    WriteFile(path, b);
    return true;
}

}  // namespace brevio::enginetest
