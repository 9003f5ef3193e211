#include "engine/impl/AtomParsers.h"

namespace brevio::engine::atoms {

namespace {
// Reads the entry count and checks that `count` entries of `entrySize` bytes are present.
bool ReadCount(ByteReader& r, size_t entrySize, uint32_t& count) {
    count = r.U32();
    return r.ok() && uint64_t(count) * entrySize <= r.remaining();
}
}  // namespace

Status ParseStts(const Atom& atom, SampleTables& t) {
    ByteReader r(atom.payload);
    ReadFullHeader(r);
    uint32_t count = 0;
    if (!ReadCount(r, 8, count)) return Fail("truncated stts");
    t.stts.resize(count);
    for (auto& e : t.stts) {
        e.count = r.U32();
        e.delta = r.U32();
    }
    return {};
}

Status ParseCtts(const Atom& atom, SampleTables& t) {
    ByteReader r(atom.payload);
    FullHeader h = ReadFullHeader(r);
    if (h.version > 1) return Fail("unknown ctts version");
    uint32_t count = 0;
    if (!ReadCount(r, 8, count)) return Fail("truncated ctts");
    t.hasCtts = true;
    t.cttsVersion = h.version;
    t.ctts.resize(count);
    for (auto& e : t.ctts) {
        e.count = r.U32();
        // Version 0 offsets are unsigned by definition, but writers store negative values there
        // too; both read as signed 32-bit.
        e.offset = r.I32();
    }
    return {};
}

Status ParseStss(const Atom& atom, SampleTables& t) {
    ByteReader r(atom.payload);
    ReadFullHeader(r);
    uint32_t count = 0;
    if (!ReadCount(r, 4, count)) return Fail("truncated stss");
    t.hasStss = true;
    t.stss.resize(count);
    for (auto& s : t.stss) s = r.U32();
    return {};
}

Status ParseStsc(const Atom& atom, SampleTables& t) {
    ByteReader r(atom.payload);
    ReadFullHeader(r);
    uint32_t count = 0;
    if (!ReadCount(r, 12, count)) return Fail("truncated stsc");
    t.stsc.resize(count);
    for (auto& e : t.stsc) {
        e.firstChunk = r.U32();
        e.samplesPerChunk = r.U32();
        e.descriptionIndex = r.U32();
    }
    return {};
}

Status ParseStsz(const Atom& atom, SampleTables& t) {
    ByteReader r(atom.payload);
    ReadFullHeader(r);
    t.fixedSampleSize = r.U32();
    t.sampleCount = r.U32();
    if (!r.ok()) return Fail("truncated stsz");
    t.sampleSizes.clear();
    if (t.fixedSampleSize == 0) {
        if (uint64_t(t.sampleCount) * 4 > r.remaining()) return Fail("truncated stsz");
        t.sampleSizes.resize(t.sampleCount);
        for (auto& s : t.sampleSizes) s = r.U32();
    }
    return {};
}

Status ParseChunkOffsets(const Atom& atom, SampleTables& t) {
    ByteReader r(atom.payload);
    ReadFullHeader(r);
    const bool wide = atom.type == FourCC("co64");
    uint32_t count = 0;
    if (!ReadCount(r, wide ? 8 : 4, count)) return Fail(wide ? "truncated co64" : "truncated stco");
    t.co64 = wide;
    t.chunkOffsets32.clear();
    t.chunkOffsets64.clear();
    if (wide) {
        t.chunkOffsets64.resize(count);
        for (auto& o : t.chunkOffsets64) o = r.U64();
    } else {
        t.chunkOffsets32.resize(count);
        for (auto& o : t.chunkOffsets32) o = r.U32();
    }
    return {};
}

}  // namespace brevio::engine::atoms
