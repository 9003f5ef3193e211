#include "engine/impl/MoovBuilder.h"

#include <algorithm>

#include "engine/EngineTypes.h"
#include "engine/impl/AtomBuilder.h"

namespace brevio::engine {

namespace {

// Duration field offsets inside the payloads of mvhd/mdhd (same layout) and tkhd.
size_t HeaderDurationOffset(uint8_t version) {
    return version == 1 ? 24 : 16;
}
size_t TkhdDurationOffset(uint8_t version) {
    return version == 1 ? 28 : 20;
}

void PatchDuration(std::vector<uint8_t>& payload, size_t offset, uint8_t version, uint64_t value) {
    if (version == 1)
        PatchBE(payload, offset, value, 8);
    else
        PatchBE(payload, offset, std::min<uint64_t>(value, UINT32_MAX), 4);
}

void WriteElst(AtomBuilder& b, const OutTrack& t) {
    std::vector<EditEntry> edits = t.edits;
    if (edits.empty()) {
        if (t.emptyEdit) edits.push_back(EditEntry{t.emptyEdit, -1, 0x10000});
        edits.push_back(EditEntry{t.trackDuration - std::min(t.trackDuration, t.emptyEdit),
                                  t.editMediaTime, t.editRate});
    }
    bool wide = false;
    for (const EditEntry& e : edits)
        wide = wide || e.segmentDuration > UINT32_MAX || e.mediaTime > INT32_MAX;
    b.Begin(FourCC("edts"));
    b.BeginFull(FourCC("elst"), wide ? 1 : 0, 0);
    b.U32(uint32_t(edits.size()));
    auto entry = [&](uint64_t duration, int64_t mediaTime, int32_t rate) {
        if (wide) {
            b.U64(duration);
            b.U64(uint64_t(mediaTime));
        } else {
            b.U32(uint32_t(duration));
            b.U32(uint32_t(int32_t(mediaTime)));
        }
        b.U32(uint32_t(rate));
    };
    for (const EditEntry& e : edits) entry(e.segmentDuration, e.mediaTime, e.rate);
    b.End();
    b.End();
}

void WriteDinf(AtomBuilder& b, const TrackModel& src, const std::string& url) {
    const size_t count = std::max<size_t>(1, src.dataRefs.size());
    b.Begin(FourCC("dinf"));
    b.BeginFull(FourCC("dref"), 0, 0);
    b.U32(uint32_t(count));
    for (size_t i = 0; i < count; ++i) {
        if (url.empty()) {
            b.BeginFull(FourCC("url "), 0, 1);
        } else {
            b.BeginFull(FourCC("url "), 0, 0);
            b.Append(
                std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(url.data()), url.size()));
            b.U8(0);
        }
        b.End();
    }
    b.End();
    b.End();
}

template <typename T, typename F>
void RunLength(const std::vector<T>& values, F&& emit) {
    size_t i = 0;
    while (i < values.size()) {
        size_t j = i + 1;
        while (j < values.size() && values[j] == values[i] && j - i < UINT32_MAX) ++j;
        emit(uint32_t(j - i), values[i]);
        i = j;
    }
}

void WriteStbl(AtomBuilder& b, const OutTrack& t, const std::vector<uint64_t>& offsets) {
    const TrackModel& src = *t.source;
    b.Begin(FourCC("stbl"));
    b.AppendAtom(src.stsd);

    // stts
    b.BeginFull(FourCC("stts"), 0, 0);
    if (t.frameSamples) {
        b.U32(t.frameCount ? 1 : 0);
        if (t.frameCount) {
            b.U32(uint32_t(t.frameCount));
            b.U32(t.frameDelta);
        }
    } else {
        size_t countAt = b.size();
        b.U32(0);
        uint32_t entries = 0;
        RunLength(t.durations, [&](uint32_t n, uint32_t d) {
            b.U32(n);
            b.U32(d);
            ++entries;
        });
        PatchBE(b.bytes(), countAt, entries, 4);
    }
    b.End();

    if (t.writeCtts) {
        b.BeginFull(FourCC("ctts"), t.cttsVersion, 0);
        size_t countAt = b.size();
        b.U32(0);
        uint32_t entries = 0;
        RunLength(t.compositionOffsets, [&](uint32_t n, int32_t o) {
            b.U32(n);
            b.U32(uint32_t(o));
            ++entries;
        });
        PatchBE(b.bytes(), countAt, entries, 4);
        b.End();
    }
    if (t.writeStss) {
        b.BeginFull(FourCC("stss"), 0, 0);
        b.U32(uint32_t(t.syncSamples.size()));
        for (uint32_t s : t.syncSamples) b.U32(s);
        b.End();
    }

    // stsc: runs of chunks with the same number of samples and the same sample description.
    b.BeginFull(FourCC("stsc"), 0, 0);
    {
        size_t countAt = b.size();
        b.U32(0);
        uint32_t entries = 0;
        for (size_t i = 0; i < t.chunks.size(); ++i) {
            const OutChunk& c = t.chunks[i];
            if (i == 0 || c.samples != t.chunks[i - 1].samples ||
                c.description != t.chunks[i - 1].description) {
                b.U32(uint32_t(i + 1));
                b.U32(c.samples);
                b.U32(c.description);
                ++entries;
            }
        }
        PatchBE(b.bytes(), countAt, entries, 4);
    }
    b.End();

    b.BeginFull(FourCC("stsz"), 0, 0);
    if (t.frameSamples) {
        b.U32(t.fixedSize);
        b.U32(uint32_t(t.frameCount));
    } else {
        const bool same =
            !t.sizes.empty() && std::all_of(t.sizes.begin(), t.sizes.end(),
                                            [&](uint32_t s) { return s == t.sizes[0]; });
        if (same && src.tables.fixedSampleSize != 0) {
            b.U32(t.sizes[0]);
            b.U32(uint32_t(t.sizes.size()));
        } else {
            b.U32(0);
            b.U32(uint32_t(t.sizes.size()));
            for (uint32_t s : t.sizes) b.U32(s);
        }
    }
    b.End();

    const bool wide =
        std::any_of(offsets.begin(), offsets.end(), [](uint64_t o) { return o > UINT32_MAX; });
    b.BeginFull(wide ? FourCC("co64") : FourCC("stco"), 0, 0);
    b.U32(uint32_t(offsets.size()));
    for (uint64_t o : offsets) {
        if (wide)
            b.U64(o);
        else
            b.U32(uint32_t(o));
    }
    b.End();
    b.End();  // stbl
}

void WriteTrack(AtomBuilder& b, const OutTrack& t, const std::vector<uint64_t>& offsets,
                const std::string& url) {
    const TrackModel& src = *t.source;
    b.Begin(FourCC("trak"));
    b.AppendPatched(src.tkhd, [&](std::vector<uint8_t>& p) {
        PatchDuration(p, TkhdDurationOffset(src.tkhdVersion), src.tkhdVersion, t.trackDuration);
    });
    if (t.writeEdits) WriteElst(b, t);
    if (!t.dropTref) {
        if (!t.tref.empty())
            b.AppendAtom(t.tref);
        else if (!src.tref.empty())
            b.AppendAtom(src.tref);
    }
    for (const RawAtom& a : src.trakOther) b.AppendAtom(a.bytes);
    b.Begin(FourCC("mdia"));
    b.AppendPatched(src.mdhd, [&](std::vector<uint8_t>& p) {
        PatchDuration(p, HeaderDurationOffset(src.mdhdVersion), src.mdhdVersion, t.mediaDuration);
    });
    b.AppendAtom(src.hdlr);
    for (const RawAtom& a : src.mdiaOther) b.AppendAtom(a.bytes);
    b.Begin(FourCC("minf"));
    for (const RawAtom& a : src.minfOther) b.AppendAtom(a.bytes);
    WriteDinf(b, src, url);
    WriteStbl(b, t, offsets);
    b.End();  // minf
    b.End();  // mdia
    b.End();  // trak
}

}  // namespace

Result<std::vector<uint8_t>> BuildMoov(const OutputMovie& movie, const MoovLayout& layout) {
    AtomBuilder b;
    const MovieModel& src = *movie.source;
    b.Begin(FourCC("moov"));
    b.AppendPatched(src.mvhd, [&](std::vector<uint8_t>& p) {
        PatchDuration(p, HeaderDurationOffset(src.mvhdVersion), src.mvhdVersion, movie.duration);
        if (src.mvhdVersion == 0)
            PatchBE(p, 12, movie.timeScale, 4);
        else
            PatchBE(p, 20, movie.timeScale, 4);
    });
    for (size_t i = 0; i < movie.tracks.size(); ++i)
        WriteTrack(b, movie.tracks[i], layout.chunkOffsets[i], layout.dataUrls[i]);
    for (const RawAtom& a : src.moovOther) b.AppendAtom(a.bytes);
    if (src.hasUdta || movie.brvu) {
        b.Begin(FourCC("udta"));
        for (const RawAtom& a : src.udta) {
            // Units are rewritten below; Nero chapter lists would describe the uncut movie.
            if (a.type == FourCC("BRVU") || a.type == FourCC("chpl")) continue;
            b.AppendAtom(a.bytes);
        }
        if (movie.brvu) {
            b.BeginFull(FourCC("BRVU"), 0, 0);
            b.U32(uint32_t(movie.brvu->size()));
            for (uint32_t s : *movie.brvu) b.U32(s);
            b.End();
        }
        b.End();
    }
    if (!b.End()) return Fail("movie atom larger than 4 GB");
    return std::move(b.bytes());
}

std::vector<uint8_t> BuildFtyp() {
    AtomBuilder b;
    b.Begin(FourCC("ftyp"));
    b.U32(FourCC("qt  "));
    b.U32(0x20050300);
    b.U32(FourCC("qt  "));
    b.End();
    return std::move(b.bytes());
}

std::string FileUrl(const std::string& absolutePath) {
    static const char* hex = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : absolutePath) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            url.push_back(char(c));
        } else {
            url.push_back('%');
            url.push_back(hex[c >> 4]);
            url.push_back(hex[c & 15]);
        }
    }
    return url;
}

}  // namespace brevio::engine
