#include "engine/impl/ChapterTrack.h"

#include <algorithm>

#include "engine/impl/AtomBuilder.h"
#include "engine/impl/EditPlan.h"

namespace brevio::engine {

namespace {

void Matrix(AtomBuilder& b) {
    const uint32_t m[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
    for (uint32_t v : m) b.U32(v);
}

std::vector<uint8_t> Tkhd(uint32_t trackId) {
    AtomBuilder b;
    b.BeginFull(FourCC("tkhd"), 0, 0);  // not enabled: chapters are not shown as a text track
    b.U32(0);
    b.U32(0);
    b.U32(trackId);
    b.U32(0);
    b.U32(0);  // duration, patched by the writer
    b.U64(0);
    b.U16(0);  // layer
    b.U16(0);  // alternate group
    b.U16(0);  // volume
    b.U16(0);
    Matrix(b);
    b.U32(0);  // width
    b.U32(0);  // height
    b.End();
    return std::move(b.bytes());
}

std::vector<uint8_t> Mdhd(uint32_t scale) {
    AtomBuilder b;
    b.BeginFull(FourCC("mdhd"), 0, 0);
    b.U32(0);
    b.U32(0);
    b.U32(scale);
    b.U32(0);       // duration, patched by the writer
    b.U16(0x55c4);  // language 'und'
    b.U16(0);
    b.End();
    return std::move(b.bytes());
}

std::vector<uint8_t> Hdlr() {
    AtomBuilder b;
    b.BeginFull(FourCC("hdlr"), 0, 0);
    b.U32(FourCC("mhlr"));
    b.U32(FourCC("text"));
    b.U32(0);
    b.U32(0);
    b.U32(0);
    b.U8(0);  // empty name
    b.End();
    return std::move(b.bytes());
}

std::vector<uint8_t> Gmhd() {
    AtomBuilder b;
    b.Begin(FourCC("gmhd"));
    b.BeginFull(FourCC("gmin"), 0, 0);
    b.U16(0x40);  // graphics mode: copy
    b.U16(0x8000);
    b.U16(0x8000);
    b.U16(0x8000);
    b.U16(0);  // balance
    b.U16(0);
    b.End();
    b.Begin(FourCC("text"));
    Matrix(b);
    b.End();
    b.End();
    return std::move(b.bytes());
}

std::vector<uint8_t> TextStsd() {
    AtomBuilder b;
    b.BeginFull(FourCC("stsd"), 0, 0);
    b.U32(1);
    b.Begin(FourCC("text"));
    for (int i = 0; i < 6; ++i) b.U8(0);
    b.U16(1);                              // data reference index
    b.U32(0);                              // display flags
    b.U32(0);                              // justification
    for (int i = 0; i < 3; ++i) b.U16(0);  // background colour
    b.U64(0);                              // default text box
    b.U64(0);                              // reserved
    b.U16(0);                              // font number
    b.U16(0);                              // font face
    b.U8(0);
    b.U16(0);
    for (int i = 0; i < 3; ++i) b.U16(0);  // foreground colour
    b.U8(0);                               // empty font name
    b.End();
    b.End();
    return std::move(b.bytes());
}

// Title sample: 16-bit length, UTF-8 text, and an 'encd' atom naming UTF-8.
std::vector<uint8_t> TitleSample(const std::string& title) {
    std::string text = title.substr(0, 65535);
    AtomBuilder b;
    b.U16(uint16_t(text.size()));
    b.Append(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    b.Begin(FourCC("encd"));
    b.U32(0x100);
    b.End();
    return std::move(b.bytes());
}

}  // namespace

void AddChapterTrack(OutputMovie& movie, TrackModel& m, uint32_t trackId,
                     const std::vector<uint32_t>& starts, const std::vector<std::string>& titles) {
    m = TrackModel{};
    m.trackId = trackId;
    m.tkhd = Tkhd(trackId);
    m.mdhd = Mdhd(movie.timeScale);
    m.mediaTimeScale = movie.timeScale;
    m.hdlr = Hdlr();
    m.handler = FourCC("text");
    m.minfOther.push_back(RawAtom{FourCC("gmhd"), Gmhd()});
    m.stsd = TextStsd();

    OutTrack t;
    t.source = &m;
    for (size_t i = 0; i < starts.size(); ++i) {
        uint64_t end = i + 1 < starts.size() ? starts[i + 1] : movie.duration;
        movie.inlineData.push_back(TitleSample(i < titles.size() ? titles[i] : std::string()));
        const auto& bytes = movie.inlineData.back();
        t.sizes.push_back(uint32_t(bytes.size()));
        t.durations.push_back(uint32_t(end - std::min<uint64_t>(end, starts[i])));
        t.chunks.push_back(OutChunk{0, 0, bytes.size(), 1, int32_t(movie.inlineData.size() - 1)});
    }
    FinishTrackTiming(t, movie.timeScale);
    movie.tracks.push_back(std::move(t));
}

std::vector<uint8_t> ChapterReference(uint32_t chapterTrackId) {
    AtomBuilder b;
    b.Begin(FourCC("tref"));
    b.Begin(FourCC("chap"));
    b.U32(chapterTrackId);
    b.End();
    b.End();
    return std::move(b.bytes());
}

void SetNextTrackId(MovieModel& movie, uint32_t nextId) {
    // next_track_ID is the last field of mvhd.
    if (movie.mvhd.size() >= 12) PatchBE(movie.mvhd, movie.mvhd.size() - 4, nextId, 4);
}

}  // namespace brevio::engine
