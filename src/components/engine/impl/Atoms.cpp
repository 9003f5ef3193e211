#include "engine/impl/Atoms.h"

#include "engine/EngineTypes.h"

namespace brevio::engine {

Result<std::vector<Atom>> ParseAtoms(Bytes data) {
    std::vector<Atom> atoms;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t left = data.size() - pos;
        if (left < 8) {
            // QuickTime allows a 4-byte zero terminator; anything shorter than a header is padding.
            break;
        }
        ByteReader r(data.subspan(pos, left));
        uint64_t size = r.U32();
        uint32_t type = r.U32();
        uint32_t header = 8;
        if (size == 1) {
            size = r.U64();
            header = 16;
            if (!r.ok()) return Fail("truncated 64-bit atom header");
        } else if (size == 0) {
            if (type == 0) break;  // zero terminator
            return Fail("atom '" + FourCCText(type) + "' of size 0 inside another atom");
        }
        if (size < header) return Fail("atom '" + FourCCText(type) + "' smaller than its header");
        if (size > left) return Fail("atom '" + FourCCText(type) + "' runs past its parent");
        Atom a;
        a.type = type;
        a.offset = pos;
        a.size = size;
        a.headerSize = header;
        a.whole = data.subspan(pos, size_t(size));
        a.payload = a.whole.subspan(header);
        atoms.push_back(a);
        pos += size_t(size);
    }
    return atoms;
}

const Atom* FindAtom(const std::vector<Atom>& atoms, uint32_t type) {
    for (const Atom& a : atoms)
        if (a.type == type) return &a;
    return nullptr;
}

Result<std::vector<Atom>> ScanTopLevel(const FileHandle& file) {
    std::vector<Atom> atoms;
    const uint64_t end = file.size();
    uint64_t pos = 0;
    while (pos < end) {
        uint64_t left = end - pos;
        if (left < 8) return Fail("trailing bytes after the last atom");
        uint8_t h[16];
        size_t want = left >= 16 ? 16 : 8;
        if (auto s = file.ReadAt(pos, h, want); !s) return Fail(s.error());
        ByteReader r(Bytes(h, want));
        uint64_t size = r.U32();
        uint32_t type = r.U32();
        uint32_t header = 8;
        if (size == 1) {
            if (want < 16) return Fail("truncated 64-bit atom header");
            size = r.U64();
            header = 16;
        } else if (size == 0) {
            size = left;  // to the end of the file: necessarily the last atom
        }
        if (size < header) return Fail("atom '" + FourCCText(type) + "' smaller than its header");
        if (size > left)
            return Fail("atom '" + FourCCText(type) + "' runs past the end of the file");
        Atom a;
        a.type = type;
        a.offset = pos;
        a.size = size;
        a.headerSize = header;
        atoms.push_back(a);
        pos += size;
        // A file of millions of tiny atoms is not a movie; stop before the list itself grows huge.
        if (atoms.size() > 100000) return Fail("too many top-level atoms");
    }
    return atoms;
}

}  // namespace brevio::engine
