#include "testmovies/AtomBytes.h"

#include <fstream>
#include <iterator>
#include <string>

namespace brevio::testmovies {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
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

}  // namespace brevio::testmovies
