#include "engine/impl/MovieParser.h"

#include "engine/impl/AtomParsers.h"

namespace brevio::engine {

namespace {

using namespace atoms;

RawAtom Raw(const Atom& a) {
    return RawAtom{a.type, std::vector<uint8_t>(a.whole.begin(), a.whole.end())};
}

Result<std::vector<Atom>> Children(const Atom& a, const char* where) {
    auto c = ParseAtoms(a.payload);
    if (!c) return Fail(std::string(where) + ": " + c.error());
    return c;
}

Status Require(const Atom* a, const char* name) {
    if (!a) return Fail(std::string("missing ") + name);
    return {};
}

Status ParseStbl(const Atom& stbl, TrackModel& track) {
    auto children = Children(stbl, "stbl");
    if (!children) return Fail(children.error());
    const auto& c = *children;
    const Atom* stsd = FindAtom(c, FourCC("stsd"));
    const Atom* stts = FindAtom(c, FourCC("stts"));
    const Atom* stsc = FindAtom(c, FourCC("stsc"));
    const Atom* stsz = FindAtom(c, FourCC("stsz"));
    const Atom* stco = FindAtom(c, FourCC("stco"));
    const Atom* co64 = FindAtom(c, FourCC("co64"));
    if (auto s = Require(stsd, "stsd"); !s) return s;
    if (auto s = Require(stts, "stts"); !s) return s;
    if (auto s = Require(stsc, "stsc"); !s) return s;
    if (FindAtom(c, FourCC("stz2"))) return Fail("compact sample sizes (stz2) are not supported");
    if (auto s = Require(stsz, "stsz"); !s) return s;
    if (!stco && !co64) return Fail("missing stco/co64");
    if (stco && co64) return Fail("both stco and co64");
    SampleTables& t = track.tables;
    track.stsd.assign(stsd->whole.begin(), stsd->whole.end());
    if (auto s = ParseStsd(*stsd, track.handler, track.description, t.descriptionCount); !s)
        return s;
    if (auto s = ParseStts(*stts, t); !s) return s;
    if (const Atom* ctts = FindAtom(c, FourCC("ctts")))
        if (auto s = ParseCtts(*ctts, t); !s) return s;
    if (const Atom* stss = FindAtom(c, FourCC("stss")))
        if (auto s = ParseStss(*stss, t); !s) return s;
    if (auto s = ParseStsc(*stsc, t); !s) return s;
    if (auto s = ParseStsz(*stsz, t); !s) return s;
    return ParseChunkOffsets(stco ? *stco : *co64, t);
}

Status ParseMinf(const Atom& minf, TrackModel& track) {
    auto children = Children(minf, "minf");
    if (!children) return Fail(children.error());
    const Atom* stbl = nullptr;
    for (const Atom& a : *children) {
        if (a.type == FourCC("stbl")) {
            stbl = &a;
        } else if (a.type == FourCC("dinf")) {
            auto d = Children(a, "dinf");
            if (!d) return Fail(d.error());
            if (const Atom* dref = FindAtom(*d, FourCC("dref")))
                if (auto s = ParseDref(*dref, track.dataRefs); !s) return s;
        } else {
            track.minfOther.push_back(Raw(a));
        }
    }
    if (auto s = Require(stbl, "stbl"); !s) return s;
    return ParseStbl(*stbl, track);
}

Status ParseMdia(const Atom& mdia, TrackModel& track) {
    auto children = Children(mdia, "mdia");
    if (!children) return Fail(children.error());
    const Atom* mdhd = FindAtom(*children, FourCC("mdhd"));
    const Atom* hdlr = FindAtom(*children, FourCC("hdlr"));
    const Atom* minf = FindAtom(*children, FourCC("minf"));
    if (auto s = Require(mdhd, "mdhd"); !s) return s;
    if (auto s = Require(hdlr, "hdlr"); !s) return s;
    if (auto s = Require(minf, "minf"); !s) return s;
    if (auto s = ParseMdhd(*mdhd, track); !s) return s;
    if (auto s = ParseHdlr(*hdlr, track.handler); !s) return s;
    track.hdlr.assign(hdlr->whole.begin(), hdlr->whole.end());
    for (const Atom& a : *children)
        if (a.type != FourCC("mdhd") && a.type != FourCC("hdlr") && a.type != FourCC("minf"))
            track.mdiaOther.push_back(Raw(a));
    return ParseMinf(*minf, track);
}

Status ParseTrak(const Atom& trak, TrackModel& track) {
    auto children = Children(trak, "trak");
    if (!children) return Fail(children.error());
    const Atom* tkhd = FindAtom(*children, FourCC("tkhd"));
    const Atom* mdia = FindAtom(*children, FourCC("mdia"));
    if (auto s = Require(tkhd, "tkhd"); !s) return s;
    if (auto s = Require(mdia, "mdia"); !s) return s;
    if (auto s = ParseTkhd(*tkhd, track); !s) return s;
    for (const Atom& a : *children) {
        if (a.type == FourCC("edts")) {
            auto e = Children(a, "edts");
            if (!e) return Fail(e.error());
            if (const Atom* elst = FindAtom(*e, FourCC("elst")))
                if (auto s = ParseElst(*elst, track); !s) return s;
        } else if (a.type == FourCC("tref")) {
            if (auto s = ParseTref(a, track); !s) return s;
        } else if (a.type != FourCC("tkhd") && a.type != FourCC("mdia")) {
            track.trakOther.push_back(Raw(a));
        }
    }
    return ParseMdia(*mdia, track);
}

}  // namespace

Result<MovieModel> ParseMovie(Bytes moovPayload) {
    auto children = ParseAtoms(moovPayload);
    if (!children) return Fail("moov: " + children.error());
    MovieModel movie;
    const Atom* mvhd = FindAtom(*children, FourCC("mvhd"));
    if (!mvhd) return Fail("missing mvhd");
    if (auto s = ParseMvhd(*mvhd, movie); !s) return Fail(s.error());
    for (const Atom& a : *children) {
        if (a.type == FourCC("trak")) {
            TrackModel track;
            if (auto s = ParseTrak(a, track); !s)
                return Fail("track " + std::to_string(movie.tracks.size() + 1) + ": " + s.error());
            movie.tracks.push_back(std::move(track));
        } else if (a.type == FourCC("udta")) {
            if (movie.hasUdta) continue;  // only the first user data atom counts
            movie.hasUdta = true;
            auto u = ParseAtoms(a.payload);
            if (!u) {
                // User data holds no sample information; unreadable user data is left out.
                continue;
            }
            for (const Atom& c : *u) {
                movie.udta.push_back(Raw(c));
                if (c.type == FourCC("BRVU") && !movie.brvu && movie.brvuError.empty()) {
                    std::vector<uint32_t> starts;
                    if (auto s = ParseBrvu(c, starts); s)
                        movie.brvu = std::move(starts);
                    else
                        movie.brvuError = s.error();
                }
            }
        } else if (a.type != FourCC("mvhd")) {
            movie.moovOther.push_back(Raw(a));
        }
    }
    if (movie.tracks.empty()) return Fail("movie without tracks");
    return movie;
}

TrackKind TrackModel::Kind() const {
    if (handler == FourCC("vide")) return TrackKind::Video;
    if (handler == FourCC("soun")) return TrackKind::Audio;
    if (handler == FourCC("text") || handler == FourCC("sbtl") || handler == FourCC("subt"))
        return TrackKind::Text;
    return TrackKind::Other;
}

int64_t TrackModel::EditMediaTime() const {
    for (const EditEntry& e : edits)
        if (e.mediaTime >= 0) return e.mediaTime;
    return 0;
}

uint64_t TrackModel::EmptyEditDuration() const {
    uint64_t d = 0;
    for (const EditEntry& e : edits) {
        if (e.mediaTime >= 0) break;
        d += e.segmentDuration;
    }
    return d;
}

}  // namespace brevio::engine
