#pragma once
// Atom (box) headers: splitting a byte range into its child atoms, and the top level of a file.
#include <cstdint>
#include <vector>

#include "engine/impl/ByteReader.h"
#include "engine/impl/FileHandle.h"
#include "engine/impl/Result.h"

namespace brevio::engine {

struct Atom {
    uint32_t type = 0;
    uint64_t offset = 0;      // of the header, relative to the parent range (or the file)
    uint64_t size = 0;        // header included
    uint32_t headerSize = 8;  // 8, or 16 with a 64-bit size
    Bytes payload;            // in-memory atoms only
    Bytes whole;              // header and payload, in-memory atoms only
};

// Splits `data` into atoms. Fails on a header that does not fit or a size that runs past the end;
// a size of 0 is refused (allowed only at the top level of a file). A trailing run of fewer than
// 8 bytes, or a 32-bit zero terminator, is tolerated as QuickTime writers leave them.
Result<std::vector<Atom>> ParseAtoms(Bytes data);

// The first child of the given type, or null.
const Atom* FindAtom(const std::vector<Atom>& atoms, uint32_t type);

// The top-level atoms of a file (payloads are not read).
Result<std::vector<Atom>> ScanTopLevel(const FileHandle& file);

// A full atom's version and flags.
struct FullHeader {
    uint8_t version = 0;
    uint32_t flags = 0;
};
inline FullHeader ReadFullHeader(ByteReader& r) {
    FullHeader h;
    h.version = r.U8();
    h.flags = r.U24();
    return h;
}

}  // namespace brevio::engine
