// Assembling a Brevio movie from clips: units, lossless samples, chapters and refusals.
#include <gtest/gtest.h>

#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/CVarnoMovie.h"
#include "engine/MovieAssembler.h"
#include "testmovies/AtomBytes.h"
#include "testmovies/TestMovies.h"

using namespace brevio::testmovies;
using namespace brevio::engine;
namespace fs = std::filesystem;

namespace {

std::string Output(const std::string& cmd) {
    std::string out;
    RunShell(cmd, &out);
    return out;
}

class EngineAssemblerFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir("assemble");
        for (int frames : {30, 18, 45}) {
            MovieOptions o = SmallMovie({frames});
            o.plain = true;
            clips_.push_back(MakeMovie(o));
        }
    }
    static void TearDownTestSuite() {
        clips_.clear();
        delete dir_;
    }
    static TempDir* dir_;
    static std::vector<fs::path> clips_;
};
TempDir* EngineAssemblerFixture::dir_ = nullptr;
std::vector<fs::path> EngineAssemblerFixture::clips_;

TEST_F(EngineAssemblerFixture, UnitsFromClips) {
    fs::path out = *dir_ / "units.mov";
    AssembleResult r = AssembleMovie(clips_, out, {});
    ASSERT_EQ(r.code, CREATEMOVFILE_OK) << r.error;
    std::string errors;
    EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i " + Quote(out) + " -f null -", &errors), 0);
    EXPECT_EQ(errors, "");

    CVarnoMovFile file(FileLocator{out});
    ASSERT_TRUE(file.IsValid()) << file.GetError();
    CBrevioMovie movie(&file);
    ASSERT_TRUE(movie.IsValid()) << movie.GetError();
    ASSERT_EQ(movie.GetShootingUnitCount(), 3u);
    EXPECT_EQ(movie.GetShootingUnit(1).GetOriginalStartTime(), 1000);
    EXPECT_EQ(movie.GetShootingUnit(2).GetOriginalStartTime(), 1600);
    EXPECT_EQ(movie.GetTotalDuration(), 3100);
    EXPECT_FALSE(file.GetVarnoMovie()->HasChapter());

    // Frames and audio are the clips', unchanged and in order.
    std::vector<std::string> frames;
    std::vector<int16_t> audio;
    for (const auto& c : clips_) {
        auto f = FrameMd5(c);
        frames.insert(frames.end(), f.begin(), f.end());
        auto a = PcmS16(c);
        audio.insert(audio.end(), a.begin(), a.end());
    }
    EXPECT_EQ(FrameMd5(out), frames);
    EXPECT_TRUE(PcmS16(out) == audio);
}

TEST_F(EngineAssemblerFixture, ChapterMovie) {
    fs::path out = *dir_ / "chapters.mov";
    AssembleOptions options;
    options.chapters = true;
    options.titles = {"Start", "", "结束"};
    AssembleResult r = AssembleMovie(clips_, out, options);
    ASSERT_EQ(r.code, CREATEMOVFILE_OK) << r.error;
    CVarnoMovFile file(FileLocator{out});
    ASSERT_TRUE(file.IsValid()) << file.GetError();
    ASSERT_TRUE(file.GetVarnoMovie()->HasChapter());
    EXPECT_EQ(file.GetVarnoMovie()->GetChapterTitles(),
              (std::vector<std::string>{"Start", "Chapter 2", "结束"}));
    CBrevioMovie movie(&file);
    ASSERT_TRUE(movie.IsValid()) << movie.GetError();
    EXPECT_EQ(movie.GetShootingUnit(2).GetOriginalStartTime(), 1600);
    EXPECT_EQ(
        Output("ffprobe -v error -show_entries chapter=start_time:chapter_tags=title -of csv=p=0 " +
               Quote(out)),
        "0.000000,Start\n1.000000,Chapter 2\n1.600000,结束\n");
}

TEST_F(EngineAssemblerFixture, Refusals) {
    fs::path out = *dir_ / "refused.mov";
    EXPECT_NE(AssembleMovie({}, out, {}).code, CREATEMOVFILE_OK);
    // A clip with another picture size.
    MovieOptions other = SmallMovie({30});
    other.plain = true;
    other.width = 80;
    AssembleResult r = AssembleMovie({clips_[0], MakeMovie(other)}, out, {});
    EXPECT_EQ(r.code, CREATEMOVFILE_UNSUPPORTED);
    EXPECT_NE(r.error.find("clip 2"), std::string::npos) << r.error;
    EXPECT_FALSE(fs::exists(out));
    // A missing clip.
    r = AssembleMovie({clips_[0], *dir_ / "missing.mov"}, out, {});
    EXPECT_NE(r.code, CREATEMOVFILE_OK);
    EXPECT_FALSE(fs::exists(out));
    // An existing destination stays as it is.
    WriteFile(out, {'x'});
    EXPECT_EQ(AssembleMovie(clips_, out, {}).code, CREATEMOVFILE_DESTINATION_EXISTS);
    EXPECT_EQ(ReadFile(out), (std::vector<uint8_t>{'x'}));
}

TEST(EngineAssembler, AacClipsStayInStep) {
    TempDir dir("assemble");
    std::vector<fs::path> clips;
    for (int i = 0; i < 4; ++i) {
        MovieOptions o = SmallMovie({30 + 3 * i});
        o.plain = true;
        o.audio = Audio::Aac;
        clips.push_back(MakeMovie(o));
    }
    fs::path out = dir / "aac.mov";
    AssembleResult r = AssembleMovie(clips, out, {});
    ASSERT_EQ(r.code, CREATEMOVFILE_OK) << r.error;
    std::string errors;
    EXPECT_EQ(RunShell("ffmpeg -nostdin -v error -i " + Quote(out) + " -f null -", &errors), 0);
    EXPECT_EQ(errors, "");
    CVarnoMovFile file(FileLocator{out});
    CBrevioMovie movie(&file);
    ASSERT_TRUE(movie.IsValid()) << movie.GetError();
    EXPECT_EQ(movie.GetTotalDuration(), 4600);
    // Audio reaches each unit boundary within half an AAC frame.
    for (const auto& t : file.GetSamples().tracks) {
        if (t.kind != TrackKind::Audio) continue;
        for (unsigned u = 1; u < movie.GetShootingUnitCount(); ++u) {
            int64_t boundary =
                t.editMediaTime + int64_t(movie.GetShootingUnit(u).GetOriginalStartTime()) * 48;
            auto it =
                std::lower_bound(t.samples.begin(), t.samples.end(), boundary,
                                 [](const SampleRef& s, int64_t x) { return s.decodeTime < x; });
            ASSERT_NE(it, t.samples.end());
            EXPECT_LE(std::llabs(it->decodeTime - boundary), 512) << "unit " << u;
        }
    }
}

}  // namespace
