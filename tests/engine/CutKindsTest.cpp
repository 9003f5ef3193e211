// Cutting less usual movies: a second video track with its own key frames, sound that starts
// late (PCM and AAC), several media edits, several sample descriptions. Every kept frame of
// every video track, every kept PCM sample and the start of the sound must come out as the
// source shows them, in the final movie and the reference movie alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "testmovies/AtomBytes.h"
#include "testmovies/TestMovies.h"

using namespace brevio::engine;
using namespace brevio::testmovies;
namespace fs = std::filesystem;

namespace {

enum class Change { None, SplitEdits, VideoDescriptions, SoundDescriptions };

struct Kind {
    const char* name;
    MovieOptions options;
    Change change = Change::None;
};

MovieOptions Base(Audio audio) {
    MovieOptions o = SmallMovie({60, 45, 75, 60});  // starts 0, 2.0, 3.5, 6.0 s; 8 s in all
    o.audio = audio;
    return o;
}

std::vector<Kind> Kinds() {
    Kind twoVideo{"TwoVideoTracks", Base(Audio::Pcm)};
    twoVideo.options.secondVideoGop = 50;
    Kind delayedPcm{"DelayedPcm", Base(Audio::Pcm)};
    delayedPcm.options.audioDelayMs = 500;
    Kind delayedAac{"DelayedAac", Base(Audio::Aac)};
    delayedAac.options.audioDelayMs = 500;
    Kind severalEdits{"SeveralEdits", Base(Audio::Pcm), Change::SplitEdits};
    Kind videoDescriptions{"SeveralVideoDescriptions", Base(Audio::Pcm), Change::VideoDescriptions};
    Kind pcmDescriptions{"SeveralPcmDescriptions", Base(Audio::Pcm), Change::SoundDescriptions};
    return {twoVideo, delayedPcm, delayedAac, severalEdits, videoDescriptions, pcmDescriptions};
}

void PrintTo(const Kind& kind, std::ostream* out) {
    *out << kind.name;
}

class CutKinds : public ::testing::TestWithParam<Kind> {};

// Source frames of a video stream presented inside the kept units, in order.
std::vector<std::string> KeptFrames(const std::vector<DecodedFrame>& frames,
                                    const std::vector<double>& bounds,
                                    const std::vector<unsigned>& kept) {
    std::vector<std::string> out;
    for (unsigned u : kept)
        for (const DecodedFrame& f : frames)
            if (f.time >= bounds[u] - 1e-4 && f.time < bounds[u + 1] - 1e-4) out.push_back(f.md5);
    return out;
}

uint32_t Word(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// The sample descriptions that the first track's sample-to-chunk table names.
std::vector<uint32_t> FirstTrackDescriptions(const fs::path& movie) {
    const auto bytes = ReadFile(movie);
    const size_t stsc = FindAtomOffset(bytes, "stsc");
    std::vector<uint32_t> used;
    if (stsc == std::string::npos) return used;
    for (uint32_t i = 0; i < Word(bytes, stsc + 12); ++i) {
        const uint32_t d = Word(bytes, stsc + 16 + 12 * i + 8);
        if (std::find(used.begin(), used.end(), d) == used.end()) used.push_back(d);
    }
    return used;
}

std::vector<uint8_t> EditLists(const fs::path& movie) {
    const auto bytes = ReadFile(movie);
    std::vector<uint8_t> all;
    for (size_t n = 0;; ++n) {
        size_t at = FindAtomOffset(bytes, "elst", n);
        if (at == std::string::npos) return all;
        const size_t size = Word(bytes, at);
        all.insert(all.end(), bytes.begin() + std::ptrdiff_t(at),
                   bytes.begin() + std::ptrdiff_t(at + size));
    }
}

TEST_P(CutKinds, KeepsEveryTrackInStep) {
    const Kind& kind = GetParam();
    const MovieOptions& o = kind.options;
    TempDir dir("cutkinds");
    fs::path source = MakeMovie(o);
    if (kind.change != Change::None) {
        source = CopyMovie(source, dir / "source.mov");
        if (kind.change == Change::SplitEdits)
            SplitMediaEdits(source, 2500);  // inside the second unit
        else
            UseSecondSampleDescription(source,
                                       kind.change == Change::VideoDescriptions ? "vide" : "soun");
    }
    CVarnoMovFile file(FileLocator{source});
    if (kind.change == Change::SoundDescriptions) {
        // PCM is cut by its frame size, which only the first description gives: refused at open
        // rather than written wrong.
        EXPECT_FALSE(file.IsValid());
        EXPECT_FALSE(file.GetError().empty());
        return;
    }
    ASSERT_TRUE(file.IsValid()) << file.GetError();

    // What the source shows, read from the movie ffmpeg made: the split edits show the same,
    // but ffmpeg does not decode B-frames across an edit boundary exactly.
    const fs::path shown = MakeMovie(o);
    std::vector<double> bounds{0};
    for (int frames : o.unitFrames) bounds.push_back(bounds.back() + frames / 30.0);
    // Where the sound starts in the source, as its edit list says (ffmpeg shows AAC's priming
    // there instead of hiding it).
    const double delay = std::atof(ProbeStreamEntry(shown, "a:0", "start_time").c_str());
    ASSERT_NEAR(delay, o.audioDelayMs / 1000.0, 0.025);
    const int videoStreams = o.secondVideoGop ? 2 : 1;
    std::vector<std::vector<DecodedFrame>> sourceFrames;
    for (int v = 0; v < videoStreams; ++v)
        sourceFrames.push_back(DecodedFrames(shown, "v:" + std::to_string(v)));
    const std::vector<int16_t> sourcePcm = PcmS16(shown);
    ASSERT_FALSE(sourcePcm.empty());

    for (const std::vector<unsigned>& kept :
         std::vector<std::vector<unsigned>>{{1, 2, 3}, {0, 2, 3}, {0, 3}, {2}}) {
        std::string name;
        for (unsigned u : kept) name += std::to_string(u);
        SCOPED_TRACE("kept units " + name);
        CBrevioMovie movie(&file);
        ASSERT_TRUE(movie.IsValid()) << movie.GetError();
        ASSERT_TRUE(movie.SetEditingState(kept));
        CBrevioMovFileEditor editor(file);
        const fs::path out = dir / ("cut" + name + ".mov"), ref = dir / ("ref" + name + ".mov");
        ASSERT_EQ(editor.CreateNewMovFile(FileLocator{out}, &movie), CREATEMOVFILE_OK);
        ASSERT_EQ(editor.CreateReferenceMovFile(FileLocator{ref}, &movie), CREATEMOVFILE_OK);
        EXPECT_EQ(FfprobeErrors(out), "");

        for (int v = 0; v < videoStreams; ++v) {
            const std::string stream = "v:" + std::to_string(v);
            std::vector<std::string> got;
            for (const auto& f : DecodedFrames(out, stream)) got.push_back(f.md5);
            EXPECT_EQ(got, KeptFrames(sourceFrames[size_t(v)], bounds, kept)) << stream;
        }

        // Where the sound starts, and (PCM) exactly which samples play.
        double expectedStart = -1, at = 0;
        std::vector<int16_t> pcm;
        for (unsigned u : kept) {
            const double a = std::max(bounds[u], delay), b = bounds[u + 1];
            if (b > delay && expectedStart < 0) expectedStart = at + (a - bounds[u]);
            at += bounds[u + 1] - bounds[u];
            if (b <= a) continue;
            const auto first = size_t(std::lround((a - delay) * 48000));
            const auto last = std::min(sourcePcm.size(), size_t(std::lround((b - delay) * 48000)));
            pcm.insert(pcm.end(), sourcePcm.begin() + std::ptrdiff_t(first),
                       sourcePcm.begin() + std::ptrdiff_t(last));
        }
        const double start = std::atof(ProbeStreamEntry(out, "a:0", "start_time").c_str());
        EXPECT_NEAR(start, expectedStart, 0.002);
        if (o.audio == Audio::Pcm) {
            const std::vector<int16_t> got = PcmS16(out);
            EXPECT_EQ(got.size(), pcm.size());
            EXPECT_TRUE(got == pcm) << "the kept sound differs";
        } else {
            const double duration = std::atof(ProbeStreamEntry(out, "a:0", "duration").c_str());
            EXPECT_NEAR(start + duration, at, 1024.0 / 48000 + 0.002);
        }

        // Every kept run reaches past the middle, where the second description begins.
        if (kind.change == Change::VideoDescriptions) {
            const auto used = FirstTrackDescriptions(out);
            EXPECT_NE(std::find(used.begin(), used.end(), 2u), used.end());
        }

        // The reference movie shows the same: same edit lists, same units.
        EXPECT_EQ(EditLists(ref), EditLists(out));
        CVarnoMovFile again(FileLocator{out});
        ASSERT_TRUE(again.IsValid()) << again.GetError();
        CBrevioMovie cut(&again);
        ASSERT_TRUE(cut.IsValid()) << cut.GetError();
        EXPECT_EQ(cut.GetShootingUnitCount(), kept.size());
        EXPECT_EQ(cut.GetTotalDuration(), movie.GetTotalDuration());
    }
}

INSTANTIATE_TEST_SUITE_P(Movies, CutKinds, ::testing::ValuesIn(Kinds()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
