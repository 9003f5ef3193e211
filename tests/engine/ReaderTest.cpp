// Reading real movies made by ffmpeg: tracks, sample tables, audio description, edit lists.
#include <gtest/gtest.h>

#include "engine/CVarnoMovFile.h"
#include "engine/CVarnoMovie.h"
#include "testmovies/AtomBytes.h"
#include "testmovies/TestMovies.h"

using namespace brevio::engine;
using namespace brevio::testmovies;
using brevio::engine::FourCC;
using brevio::engine::TrackKind;
using brevio::engine::TrackSamples;
namespace fs = std::filesystem;

namespace {

const TrackSamples* FindTrack(const brevio::engine::MovieSamples& s, TrackKind kind) {
    for (const auto& t : s.tracks)
        if (t.kind == kind) return &t;
    return nullptr;
}

TEST(EngineReader, PcmMovieTracksAndSamples) {
    const fs::path movie = MakeMovie(SmallMovie({30, 45}));
    CVarnoMovFile file(FileLocator{movie});
    ASSERT_TRUE(file.IsValid()) << file.GetError();
    const auto& s = file.GetSamples();
    EXPECT_EQ(s.movieTimeScale, 1000u);
    EXPECT_EQ(s.movieDuration, 2500);
    ASSERT_EQ(s.files.size(), 1u);

    const TrackSamples* v = FindTrack(s, TrackKind::Video);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->format, FourCC("avc1"));
    EXPECT_EQ(v->width, 64);
    EXPECT_EQ(v->height, 48);
    ASSERT_GE(v->codecConfig.size(), 7u);
    EXPECT_EQ(v->codecConfig[0], 1);  // avcC configurationVersion
    EXPECT_EQ(v->samples.size(), 75u);
    EXPECT_TRUE(v->samples[0].sync);
    EXPECT_GT(v->editMediaTime, 0);  // B-frames delay presentation
    int syncs = 0;
    for (size_t i = 0; i < v->samples.size(); ++i) {
        syncs += v->samples[i].sync;
        if (i) {
            EXPECT_EQ(v->samples[i].decodeTime,
                      v->samples[i - 1].decodeTime + v->samples[i - 1].duration);
        }
    }
    EXPECT_GE(syncs, 2);
    EXPECT_TRUE(v->samples[30].sync);  // forced key frame at the second unit

    const TrackSamples* a = FindTrack(s, TrackKind::Audio);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->format, FourCC("sowt"));
    EXPECT_EQ(a->channels, 1);
    EXPECT_EQ(a->sampleRate, 48000u);
    EXPECT_EQ(a->bitsPerSample, 16);
    EXPECT_FALSE(a->bigEndian);
    EXPECT_EQ(a->bytesPerFrame, 2u);
    // One reference per chunk; together they cover every frame once, back to back in time.
    uint64_t frames = 0;
    for (const auto& c : a->samples) {
        EXPECT_EQ(c.size % a->bytesPerFrame, 0u);
        EXPECT_EQ(c.decodeTime, int64_t(frames));
        EXPECT_EQ(c.duration, c.size / a->bytesPerFrame);
        frames += c.duration;
    }
    EXPECT_EQ(frames, 48000u * 5 / 2);
    EXPECT_LT(a->samples.size(), 200u);

    // Sample bytes lie inside the file.
    auto size = std::filesystem::file_size(movie);
    for (const auto& t : s.tracks)
        for (const auto& r : t.samples) EXPECT_LE(r.offset + r.size, size);
}

TEST(EngineReader, AacMovieWithMoovFirst) {
    MovieOptions o = SmallMovie({60, 60, 60});
    o.audio = Audio::Aac;
    o.moovFirst = true;
    const fs::path movie = MakeMovie(o);
    CVarnoMovFile file(FileLocator{movie});
    ASSERT_TRUE(file.IsValid()) << file.GetError();
    const TrackSamples* a = FindTrack(file.GetSamples(), TrackKind::Audio);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->format, FourCC("mp4a"));
    EXPECT_EQ(a->bytesPerFrame, 0u);
    EXPECT_EQ(a->bitsPerSample, 0);
    // AudioSpecificConfig: AAC LC (object type 2), 48 kHz (index 3), mono.
    ASSERT_GE(a->codecConfig.size(), 2u);
    EXPECT_EQ(a->codecConfig[0] >> 3, 2);
    EXPECT_EQ(((a->codecConfig[0] & 7) << 1) | (a->codecConfig[1] >> 7), 3);
    ASSERT_GT(a->samples.size(), 2u);
    for (size_t i = 0; i + 1 < a->samples.size(); ++i) EXPECT_EQ(a->samples[i].duration, 1024u);
    EXPECT_EQ(a->editMediaTime, 1024);  // encoder priming
    // The first chunk follows the movie atom.
    auto bytes = ReadFile(movie);
    EXPECT_GT(a->samples.front().offset, FindAtomOffset(bytes, "moov"));
}

TEST(EngineReader, ChapterMovieTitles) {
    MovieOptions o = SmallMovie({60, 60, 60});
    o.chapters = true;
    o.titles = {"Morning", "Über den Fluss", "晚上"};
    CVarnoMovFile file(FileLocator{MakeMovie(o)});
    ASSERT_TRUE(file.IsValid()) << file.GetError();
    const CVarnoMovie* movie = file.GetVarnoMovie();
    ASSERT_NE(movie, nullptr);
    EXPECT_TRUE(movie->HasChapter());
    EXPECT_EQ(movie->GetChapterCount(), 3u);
    EXPECT_EQ(movie->GetChapterTitles(), o.titles);
}

TEST(EngineReader, PlainMovieHasNoChapters) {
    MovieOptions o = SmallMovie({60, 60, 60});
    o.plain = true;
    o.audio = Audio::None;
    CVarnoMovFile file(FileLocator{MakeMovie(o)});
    ASSERT_TRUE(file.IsValid()) << file.GetError();
    EXPECT_FALSE(file.GetVarnoMovie()->HasChapter());
    EXPECT_EQ(file.GetVarnoMovie()->GetChapterCount(), 0u);
    EXPECT_TRUE(file.GetVarnoMovie()->GetChapterTitles().empty());
}

}  // namespace

namespace {

struct PcmCase {
    const char* codec;
    const char* format;
    uint16_t bits;
    bool bigEndian;
    bool floating;
};

TEST(EngineReader, UncompressedAudioDescriptions) {
    TempDir dir("reader");
    const PcmCase cases[] = {
        {"pcm_s16be", "twos", 16, true, false},  {"pcm_s16le", "sowt", 16, false, false},
        {"pcm_s24le", "in24", 24, false, false}, {"pcm_s24be", "in24", 24, true, false},
        {"pcm_s32be", "in32", 32, true, false},  {"pcm_f32le", "fl32", 32, false, true},
        {"pcm_f64be", "fl64", 64, true, true},   {"pcm_u8", "raw ", 8, true, false},
    };
    for (const PcmCase& c : cases) {
        SCOPED_TRACE(c.codec);
        fs::path p = dir / (std::string(c.codec) + ".mov");
        std::string out;
        ASSERT_EQ(RunShell("ffmpeg -nostdin -v error -y -f lavfi -i "
                           "sine=sample_rate=44100:duration=0.5 -ac 2 -c:a " +
                               std::string(c.codec) + " -f mov " + Quote(p),
                           &out),
                  0)
            << out;
        CVarnoMovFile file(FileLocator{p});
        ASSERT_TRUE(file.IsValid()) << file.GetError();
        const TrackSamples* a = FindTrack(file.GetSamples(), TrackKind::Audio);
        ASSERT_NE(a, nullptr);
        char fmt[5] = {char(a->format >> 24), char(a->format >> 16), char(a->format >> 8),
                       char(a->format), 0};
        EXPECT_STREQ(fmt, c.format);
        EXPECT_EQ(a->channels, 2);
        EXPECT_EQ(a->sampleRate, 44100u);
        EXPECT_EQ(a->bitsPerSample, c.bits);
        EXPECT_EQ(a->bigEndian, c.bigEndian);
        EXPECT_EQ(a->floatingPoint, c.floating);
        EXPECT_EQ(a->bytesPerFrame, 2u * c.bits / 8);
        uint64_t frames = 0;
        for (const auto& s : a->samples) frames += s.size / a->bytesPerFrame;
        EXPECT_EQ(frames, 22050u);
    }
}

}  // namespace
