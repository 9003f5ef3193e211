// Adds the BRVU atom to a QuickTime file written by ffmpeg.
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "testmovies/TestMovies.h"

namespace brevio::testmovies {

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Get32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint64_t Get64(const uint8_t* p) {
    return (uint64_t(Get32(p)) << 32) | Get32(p + 4);
}
void Put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
void Put64(uint8_t* p, uint64_t v) {
    Put32(p, uint32_t(v >> 32));
    Put32(p + 4, uint32_t(v));
}
constexpr uint32_t Type(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

struct Atom {
    uint64_t offset = 0;  // of the size field
    uint64_t size = 0;    // whole atom
    uint32_t header = 8;  // 8, or 16 with a 64-bit size
    uint32_t type = 0;
};

// The atoms in [begin, end) of buf.
std::vector<Atom> Children(const Bytes& buf, uint64_t begin, uint64_t end) {
    std::vector<Atom> atoms;
    uint64_t pos = begin;
    while (pos + 8 <= end) {
        Atom a;
        a.offset = pos;
        a.size = Get32(&buf[pos]);
        a.type = Get32(&buf[pos + 4]);
        if (a.size == 1) {
            if (pos + 16 > end) throw std::runtime_error("truncated atom header");
            a.size = Get64(&buf[pos + 8]);
            a.header = 16;
        } else if (a.size == 0) {
            a.size = end - pos;
        }
        if (a.size < a.header || a.size > end - pos) throw std::runtime_error("bad atom size");
        atoms.push_back(a);
        pos += a.size;
    }
    return atoms;
}

void GrowSize(Bytes& buf, const Atom& a, uint64_t growth) {
    if (a.header == 16) {
        Put64(&buf[a.offset + 8], a.size + growth);
    } else {
        if (a.size + growth > 0xffffffffu) throw std::runtime_error("atom too large");
        Put32(&buf[a.offset], uint32_t(a.size + growth));
    }
}

// Adds `growth` to every chunk offset at or beyond `from` in the sample tables under moov.
void ShiftChunkOffsets(Bytes& moov, const Atom& parent, uint64_t from, uint64_t growth) {
    for (const Atom& a :
         Children(moov, parent.offset + parent.header, parent.offset + parent.size)) {
        if (a.type == Type("trak") || a.type == Type("mdia") || a.type == Type("minf") ||
            a.type == Type("stbl")) {
            ShiftChunkOffsets(moov, a, from, growth);
        } else if (a.type == Type("stco") || a.type == Type("co64")) {
            bool wide = a.type == Type("co64");
            uint64_t body = a.offset + a.header;
            if (a.size < a.header + 8) throw std::runtime_error("short chunk offset table");
            uint64_t count = Get32(&moov[body + 4]);
            uint64_t entry = wide ? 8 : 4;
            if (count * entry > a.size - a.header - 8)
                throw std::runtime_error("chunk offset table overruns its atom");
            for (uint64_t i = 0; i < count; ++i) {
                uint8_t* p = &moov[body + 8 + i * entry];
                uint64_t value = wide ? Get64(p) : Get32(p);
                if (value < from) continue;
                value += growth;
                if (wide) {
                    Put64(p, value);
                } else {
                    if (value > 0xffffffffu) throw std::runtime_error("stco overflow");
                    Put32(p, uint32_t(value));
                }
            }
        }
    }
}

}  // namespace

void AddBrevioUnits(const std::filesystem::path& file, const std::vector<uint32_t>& starts) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + file.string());
    const uint64_t fileSize = std::filesystem::file_size(file);

    // Find moov among the top-level atoms by reading headers only.
    Atom moovAtom;
    bool found = false;
    uint64_t pos = 0;
    while (pos + 8 <= fileSize) {
        uint8_t h[16];
        in.seekg(std::streamoff(pos));
        in.read(reinterpret_cast<char*>(h), 16);
        Atom a;
        a.offset = pos;
        a.size = Get32(h);
        a.type = Get32(h + 4);
        if (a.size == 1) {
            a.size = Get64(h + 8);
            a.header = 16;
        } else if (a.size == 0) {
            a.size = fileSize - pos;
        }
        if (a.size < a.header || a.size > fileSize - pos) throw std::runtime_error("bad top atom");
        if (a.type == Type("moov")) {
            moovAtom = a;
            found = true;
        }
        pos += a.size;
    }
    if (!found) throw std::runtime_error("no moov atom in " + file.string());

    Bytes moov(moovAtom.size);
    in.seekg(std::streamoff(moovAtom.offset));
    in.read(reinterpret_cast<char*>(moov.data()), std::streamsize(moov.size()));
    if (!in) throw std::runtime_error("cannot read moov");
    in.close();
    if (Get32(moov.data()) == 0) Put32(moov.data(), uint32_t(moov.size()));  // size "to the end"
    Atom root = moovAtom;
    root.offset = 0;

    Bytes brvu(16 + 4 * starts.size());
    Put32(&brvu[0], uint32_t(brvu.size()));
    std::memcpy(&brvu[4], "BRVU", 4);
    Put32(&brvu[12], uint32_t(starts.size()));
    for (size_t i = 0; i < starts.size(); ++i) Put32(&brvu[16 + 4 * i], starts[i]);

    const Atom* udta = nullptr;
    auto children = Children(moov, root.header, root.size);
    for (const Atom& a : children)
        if (a.type == Type("udta")) udta = &a;
    const uint64_t growth = brvu.size() + (udta ? 0 : 8);

    // Media after the movie atom moves by the growth.
    ShiftChunkOffsets(moov, root, moovAtom.offset + moovAtom.size, growth);
    if (udta) {
        uint64_t at = udta->offset + udta->size;
        GrowSize(moov, *udta, growth);
        moov.insert(moov.begin() + std::ptrdiff_t(at), brvu.begin(), brvu.end());
    } else {
        Bytes box(8);
        Put32(&box[0], uint32_t(8 + brvu.size()));
        std::memcpy(&box[4], "udta", 4);
        box.insert(box.end(), brvu.begin(), brvu.end());
        moov.insert(moov.end(), box.begin(), box.end());
    }
    GrowSize(moov, root, growth);

    if (moovAtom.offset + moovAtom.size == fileSize) {
        std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(std::streamoff(moovAtom.offset));
        out.write(reinterpret_cast<const char*>(moov.data()), std::streamsize(moov.size()));
        if (!out) throw std::runtime_error("cannot write " + file.string());
        return;
    }
    auto temp = file;
    temp += ".brvu-tmp";
    {
        std::ifstream src(file, std::ios::binary);
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        std::vector<char> buffer(1 << 20);
        auto copy = [&](uint64_t from, uint64_t to) {
            src.seekg(std::streamoff(from));
            while (from < to) {
                auto n = std::min<uint64_t>(buffer.size(), to - from);
                src.read(buffer.data(), std::streamsize(n));
                out.write(buffer.data(), std::streamsize(n));
                from += n;
            }
        };
        copy(0, moovAtom.offset);
        out.write(reinterpret_cast<const char*>(moov.data()), std::streamsize(moov.size()));
        copy(moovAtom.offset + moovAtom.size, fileSize);
        if (!src || !out) throw std::runtime_error("cannot rewrite " + file.string());
    }
    std::filesystem::rename(temp, file);
}

}  // namespace brevio::testmovies
