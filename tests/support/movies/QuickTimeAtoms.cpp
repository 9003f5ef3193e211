// Changes to the movie atom of a QuickTime file written by ffmpeg: the BRVU atom, split edits,
// a second sample description.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
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

// Reads the movie atom, lets `edit` change it (root: the moov atom at offset 0 of the bytes),
// shifts the chunk offsets of media after it by the growth and writes the file back.
void EditMoov(const std::filesystem::path& file,
              const std::function<void(Bytes& moov, const Atom& root)>& edit) {
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
    edit(moov, root);
    if (moov.size() < moovAtom.size) throw std::runtime_error("the movie atom shrank");
    const uint64_t growth = moov.size() - moovAtom.size;
    root.size = moov.size();
    // Media after the movie atom moves by the growth.
    ShiftChunkOffsets(moov, root, moovAtom.offset + moovAtom.size, growth);

    if (moovAtom.offset + moovAtom.size == fileSize) {
        std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(std::streamoff(moovAtom.offset));
        out.write(reinterpret_cast<const char*>(moov.data()), std::streamsize(moov.size()));
        if (!out) throw std::runtime_error("cannot write " + file.string());
        return;
    }
    auto temp = file;
    temp += ".moov-tmp";
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

// The first child of `parent` with the type, if any.
std::optional<Atom> Child(const Bytes& moov, const Atom& parent, uint32_t type) {
    for (const Atom& a : Children(moov, parent.offset + parent.header, parent.offset + parent.size))
        if (a.type == type) return a;
    return std::nullopt;
}

// The atoms from `parent` down a path of types; empty when one is missing.
std::vector<Atom> Path(const Bytes& moov, const Atom& parent,
                       std::initializer_list<uint32_t> types) {
    std::vector<Atom> chain{parent};
    for (uint32_t t : types) {
        auto next = Child(moov, chain.back(), t);
        if (!next) return {};
        chain.push_back(*next);
    }
    return chain;
}

// Replaces the last atom of `chain` (root first) by `bytes`, growing every atom around it.
void Replace(Bytes& moov, const std::vector<Atom>& chain, const Bytes& bytes) {
    const Atom& target = chain.back();
    if (bytes.size() < target.size) throw std::runtime_error("replacement shorter than the atom");
    const uint64_t growth = bytes.size() - target.size;
    for (size_t i = 0; i + 1 < chain.size(); ++i) GrowSize(moov, chain[i], growth);
    moov.erase(moov.begin() + std::ptrdiff_t(target.offset),
               moov.begin() + std::ptrdiff_t(target.offset + target.size));
    moov.insert(moov.begin() + std::ptrdiff_t(target.offset), bytes.begin(), bytes.end());
}

// Time scale of a mvhd or mdhd atom.
uint32_t TimeScale(const Bytes& moov, const Atom& header) {
    const uint8_t* p = &moov[header.offset + header.header];
    return Get32(p + (p[0] == 1 ? 20 : 12));
}

// The movie atom as it now is (its size changes with every replacement).
Atom Root(const Bytes& moov) {
    Atom root;
    root.size = moov.size();
    root.type = Type("moov");
    return root;
}

std::vector<Atom> Tracks(const Bytes& moov, const Atom& root) {
    std::vector<Atom> tracks;
    for (const Atom& a : Children(moov, root.header, root.size))
        if (a.type == Type("trak")) tracks.push_back(a);
    return tracks;
}

}  // namespace

void AddBrevioUnits(const std::filesystem::path& file, const std::vector<uint32_t>& starts) {
    EditMoov(file, [&](Bytes& moov, const Atom& root) {
        Bytes brvu(16 + 4 * starts.size());
        Put32(&brvu[0], uint32_t(brvu.size()));
        std::memcpy(&brvu[4], "BRVU", 4);
        Put32(&brvu[12], uint32_t(starts.size()));
        for (size_t i = 0; i < starts.size(); ++i) Put32(&brvu[16 + 4 * i], starts[i]);
        if (auto udta = Child(moov, root, Type("udta"))) {
            Bytes grown(moov.begin() + std::ptrdiff_t(udta->offset),
                        moov.begin() + std::ptrdiff_t(udta->offset + udta->size));
            grown.insert(grown.end(), brvu.begin(), brvu.end());
            Put32(&grown[0], uint32_t(grown.size()));
            Replace(moov, {root, *udta}, grown);
        } else {
            Bytes box(8);
            Put32(&box[0], uint32_t(8 + brvu.size()));
            std::memcpy(&box[4], "udta", 4);
            box.insert(box.end(), brvu.begin(), brvu.end());
            moov.insert(moov.end(), box.begin(), box.end());
            GrowSize(moov, root, box.size());
        }
    });
}

void SplitMediaEdits(const std::filesystem::path& file, uint32_t movieTime) {
    EditMoov(file, [&](Bytes& moov, const Atom&) {
        auto mvhd = Child(moov, Root(moov), Type("mvhd"));
        if (!mvhd) throw std::runtime_error("no mvhd");
        const uint64_t movieScale = TimeScale(moov, *mvhd);
        for (size_t t = 0; t < Tracks(moov, Root(moov)).size(); ++t) {
            const Atom trak = Tracks(moov, Root(moov))[t];
            auto mdhd = Path(moov, trak, {Type("mdia"), Type("mdhd")});
            auto elst = Path(moov, trak, {Type("edts"), Type("elst")});
            if (mdhd.empty() || elst.empty()) continue;
            const uint64_t mediaScale = TimeScale(moov, mdhd.back());
            const Atom& e = elst.back();
            const uint8_t* p = &moov[e.offset + e.header];
            const bool wide = p[0] == 1;
            const uint32_t count = Get32(p + 4);
            struct Entry {
                uint64_t duration;
                int64_t mediaTime;
                uint32_t rate;
            };
            std::vector<Entry> entries;
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* q = p + 8 + i * (wide ? 20 : 12);
                if (wide)
                    entries.push_back({Get64(q), int64_t(Get64(q + 8)), Get32(q + 16)});
                else
                    entries.push_back({Get32(q), int32_t(Get32(q + 4)), Get32(q + 8)});
            }
            std::vector<Entry> split;
            uint64_t at = 0;
            for (const Entry& x : entries) {
                if (x.mediaTime >= 0 && at < movieTime && movieTime < at + x.duration) {
                    const uint64_t first = movieTime - at;
                    if (first * mediaScale % movieScale != 0)
                        throw std::runtime_error("the split is not on a media tick");
                    split.push_back({first, x.mediaTime, x.rate});
                    split.push_back({x.duration - first,
                                     x.mediaTime + int64_t(first * mediaScale / movieScale),
                                     x.rate});
                } else {
                    split.push_back(x);
                }
                at += x.duration;
            }
            Bytes atom(e.header + 8);
            std::copy(moov.begin() + std::ptrdiff_t(e.offset),
                      moov.begin() + std::ptrdiff_t(e.offset + e.header + 4), atom.begin());
            Put32(&atom[e.header + 4], uint32_t(split.size()));
            for (const Entry& x : split) {
                uint8_t q[20];
                if (wide) {
                    Put64(q, x.duration);
                    Put64(q + 8, uint64_t(x.mediaTime));
                    Put32(q + 16, x.rate);
                } else {
                    Put32(q, uint32_t(x.duration));
                    Put32(q + 4, uint32_t(int32_t(x.mediaTime)));
                    Put32(q + 8, x.rate);
                }
                atom.insert(atom.end(), q, q + (wide ? 20 : 12));
            }
            Put32(&atom[0], uint32_t(atom.size()));
            std::vector<Atom> chain{Root(moov)};
            chain.insert(chain.end(), elst.begin(), elst.end());
            Replace(moov, chain, atom);
        }
    });
}

void UseSecondSampleDescription(const std::filesystem::path& file, const std::string& handler) {
    if (handler.size() != 4) throw std::invalid_argument("a handler is four characters");
    const uint32_t wanted = Get32(reinterpret_cast<const uint8_t*>(handler.data()));
    EditMoov(file, [&](Bytes& moov, const Atom&) {
        for (size_t t = 0; t < Tracks(moov, Root(moov)).size(); ++t) {
            auto stbl = [&] {
                return Path(moov, Tracks(moov, Root(moov))[t],
                            {Type("mdia"), Type("minf"), Type("stbl")});
            };
            auto hdlr = Path(moov, Tracks(moov, Root(moov))[t], {Type("mdia"), Type("hdlr")});
            if (hdlr.empty() || stbl().empty()) continue;
            if (Get32(&moov[hdlr.back().offset + hdlr.back().header + 8]) != wanted) continue;
            auto within = [&](const char(&type)[5]) {
                std::vector<Atom> chain{Root(moov)};
                auto path = stbl();
                chain.insert(chain.end(), path.begin(), path.end());
                auto child = Child(moov, chain.back(), Type(type));
                if (!child) throw std::runtime_error(std::string("no ") + type);
                chain.push_back(*child);
                return chain;
            };
            // stsd: a copy of the first entry after it.
            auto stsd = within("stsd");
            const Atom& d = stsd.back();
            const uint64_t firstEntry = d.offset + d.header + 8;
            const uint32_t entrySize = Get32(&moov[firstEntry]);
            Bytes grown(moov.begin() + std::ptrdiff_t(d.offset),
                        moov.begin() + std::ptrdiff_t(d.offset + d.size));
            grown.insert(grown.end(), moov.begin() + std::ptrdiff_t(firstEntry),
                         moov.begin() + std::ptrdiff_t(firstEntry + entrySize));
            Put32(&grown[0], uint32_t(grown.size()));
            Put32(&grown[d.header + 4], Get32(&grown[d.header + 4]) + 1);
            Replace(moov, stsd, grown);
            // stsc: the chunks from the middle on use the second description.
            auto chunkCount = [&] {
                auto co = stbl();
                auto table = Child(moov, co.back(), Type("stco"));
                if (!table) table = Child(moov, co.back(), Type("co64"));
                if (!table) throw std::runtime_error("no chunk offsets");
                return Get32(&moov[table->offset + table->header + 4]);
            }();
            auto stsc = within("stsc");
            const Atom& c = stsc.back();
            const uint8_t* p = &moov[c.offset + c.header];
            const uint32_t count = Get32(p + 4);
            const uint32_t middle = std::max<uint32_t>(2, chunkCount / 2 + 1);
            if (chunkCount < 2) throw std::runtime_error("one chunk cannot have two descriptions");
            Bytes table(c.header + 8);
            std::copy(moov.begin() + std::ptrdiff_t(c.offset),
                      moov.begin() + std::ptrdiff_t(c.offset + c.header + 4), table.begin());
            uint32_t entries = 0;
            uint32_t perChunk = 0;
            auto add = [&](uint32_t firstChunk, uint32_t samples, uint32_t description) {
                uint8_t q[12];
                Put32(q, firstChunk);
                Put32(q + 4, samples);
                Put32(q + 8, description);
                table.insert(table.end(), q, q + 12);
                ++entries;
            };
            bool inserted = false;
            for (uint32_t i = 0; i < count; ++i) {
                const uint32_t first = Get32(p + 8 + 12 * i), samples = Get32(p + 12 + 12 * i);
                if (!inserted && first >= middle) {
                    if (first > middle) add(middle, perChunk, 2);
                    inserted = true;
                }
                add(first, samples, inserted ? 2 : 1);
                perChunk = samples;
            }
            if (!inserted) add(middle, perChunk, 2);
            Put32(&table[0], uint32_t(table.size()));
            Put32(&table[c.header + 4], entries);
            Replace(moov, stsc, table);
        }
    });
}

}  // namespace brevio::testmovies
