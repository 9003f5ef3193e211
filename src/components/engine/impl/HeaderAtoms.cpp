#include <algorithm>

#include "engine/impl/AtomParsers.h"

namespace brevio::engine::atoms {

namespace {
std::vector<uint8_t> Copy(Bytes b) {
    return std::vector<uint8_t>(b.begin(), b.end());
}
// mvhd, tkhd and mdhd open alike: creation and modification times (skipped), a 32-bit field (time
// scale or track id), `gap` reserved bytes, then the duration; times and duration are 64-bit in
// version 1 and 32-bit in version 0. False for another version.
bool ReadTimedHeader(ByteReader& r, uint8_t version, uint32_t& field, uint64_t& duration,
                     size_t gap = 0) {
    if (version > 1) return false;
    const bool wide = version == 1;
    r.Skip(wide ? 16 : 8);
    field = r.U32();
    r.Skip(gap);
    duration = wide ? r.U64() : r.U32();
    return true;
}
}  // namespace

Status ParseMvhd(const Atom& atom, MovieModel& movie) {
    ByteReader r(atom.payload);
    FullHeader h = ReadFullHeader(r);
    if (!ReadTimedHeader(r, h.version, movie.timeScale, movie.duration))
        return Fail("unknown mvhd version");
    if (!r.ok()) return Fail("truncated mvhd");
    if (movie.timeScale == 0) return Fail("movie time scale is 0");
    movie.mvhdVersion = h.version;
    movie.mvhd = Copy(atom.whole);
    return {};
}

Status ParseTkhd(const Atom& atom, TrackModel& track) {
    ByteReader r(atom.payload);
    FullHeader h = ReadFullHeader(r);
    if (!ReadTimedHeader(r, h.version, track.trackId, track.tkhdDuration, 4))
        return Fail("unknown tkhd version");
    // The rest: reserved, layer, group, volume, matrix, width, height.
    r.Skip(8 + 2 + 2 + 2 + 2 + 36 + 4 + 4);
    if (!r.ok()) return Fail("truncated tkhd");
    track.tkhdVersion = h.version;
    track.tkhdFlags = h.flags;
    track.tkhd = Copy(atom.whole);
    return {};
}

Status ParseMdhd(const Atom& atom, TrackModel& track) {
    ByteReader r(atom.payload);
    FullHeader h = ReadFullHeader(r);
    if (!ReadTimedHeader(r, h.version, track.mediaTimeScale, track.mediaDuration))
        return Fail("unknown mdhd version");
    r.Skip(4);  // language, quality
    if (!r.ok()) return Fail("truncated mdhd");
    if (track.mediaTimeScale == 0) return Fail("media time scale is 0");
    track.mdhdVersion = h.version;
    track.mdhd = Copy(atom.whole);
    return {};
}

Status ParseHdlr(const Atom& atom, uint32_t& handler) {
    ByteReader r(atom.payload);
    ReadFullHeader(r);
    r.U32();  // component type ('mhlr', 'dhlr' or 0)
    handler = r.U32();
    if (!r.ok()) return Fail("truncated hdlr");
    return {};
}

Status ParseElst(const Atom& atom, TrackModel& track) {
    ByteReader r(atom.payload);
    FullHeader h = ReadFullHeader(r);
    if (h.version > 1) return Fail("unknown elst version");
    uint32_t count = r.U32();
    const size_t entrySize = h.version == 1 ? 20 : 12;
    if (!r.ok() || uint64_t(count) * entrySize > r.remaining()) return Fail("truncated elst");
    track.edits.clear();
    track.edits.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        EditEntry e;
        if (h.version == 1) {
            e.segmentDuration = r.U64();
            e.mediaTime = r.I64();
        } else {
            e.segmentDuration = r.U32();
            e.mediaTime = r.I32();
        }
        e.rate = r.I32();
        if (e.mediaTime < -1) return Fail("negative edit media time");
        track.edits.push_back(e);
    }
    track.hasEdits = true;
    return {};
}

Status ParseTref(const Atom& atom, TrackModel& track) {
    auto children = ParseAtoms(atom.payload);
    if (!children) return Fail("tref: " + children.error());
    for (const Atom& c : *children) {
        if (c.type != FourCC("chap")) continue;
        ByteReader r(c.payload);
        while (r.remaining() >= 4) track.chapterTrackIds.push_back(r.U32());
    }
    track.tref = Copy(atom.whole);
    return {};
}

namespace {
// Decodes the %XX escapes of a URL path.
std::string PercentDecode(const std::string& s) {
    std::string out;
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
            out.push_back(char(hex(s[i + 1]) * 16 + hex(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}
}  // namespace

Status ParseDref(const Atom& atom, std::vector<DataRef>& refs) {
    ByteReader r(atom.payload);
    ReadFullHeader(r);
    uint32_t count = r.U32();
    if (!r.ok()) return Fail("truncated dref");
    auto entries = ParseAtoms(r.Rest());
    if (!entries) return Fail("dref: " + entries.error());
    if (entries->size() < count) return Fail("dref holds fewer entries than it counts");
    refs.clear();
    for (uint32_t i = 0; i < count; ++i) {
        const Atom& e = (*entries)[i];
        ByteReader er(e.payload);
        FullHeader eh = ReadFullHeader(er);
        if (!er.ok()) return Fail("truncated data reference");
        DataRef ref;
        ref.type = e.type;
        ref.flags = eh.flags;
        if (e.type == FourCC("url ") && !(eh.flags & 1)) {
            Bytes text = er.Rest();
            std::string url(text.begin(), text.end());
            if (auto nul = url.find('\0'); nul != std::string::npos) url.resize(nul);
            ref.location = url;
        }
        refs.push_back(std::move(ref));
    }
    return {};
}

// Turns a file:// URL into a local path; empty for any other URL.
std::string FileUrlToPath(const std::string& url) {
    const std::string prefix = "file://";
    if (url.compare(0, prefix.size(), prefix) != 0) return {};
    std::string rest = url.substr(prefix.size());
    // file://host/path: only the local host (empty or "localhost") is followed.
    if (rest.compare(0, 9, "localhost") == 0) rest = rest.substr(9);
    if (rest.empty() || rest[0] != '/') return {};
    return PercentDecode(rest);
}

Status ParseBrvu(const Atom& atom, std::vector<uint32_t>& starts) {
    ByteReader r(atom.payload);
    FullHeader h = ReadFullHeader(r);
    uint32_t count = r.U32();
    if (!r.ok()) return Fail("truncated BRVU atom");
    if (h.version != 0) return Fail("unknown BRVU version");
    if (count == 0) return Fail("BRVU atom without units");
    if (uint64_t(count) * 4 > r.remaining())
        return Fail("BRVU atom holds fewer units than it counts");
    starts.resize(count);
    for (uint32_t& s : starts) s = r.U32();
    return {};
}

}  // namespace brevio::engine::atoms
