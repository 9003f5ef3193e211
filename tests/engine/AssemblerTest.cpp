// Assembling a Brevio movie from clips: units, lossless samples, chapters and refusals.
#include <gtest/gtest.h>

#include <sstream>

#include "TestMovies.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/CVarnoMovie.h"
#include "engine/MovieAssembler.h"

using namespace brevio::enginetest;
using namespace brevio::engine;
namespace fs = std::filesystem;

namespace {

std::string Output(const std::string& cmd) {
    std::string out;
    RunCommand(cmd, &out);
    return out;
}

std::vector<std::string> FrameHashes(const fs::path& p) {
    std::vector<std::string> hashes;
    std::istringstream in(
        Output("ffmpeg -nostdin -v error -i " + Quote(p) + " -map 0:v -f framemd5 -"));
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.rfind(',') + 1));
    return hashes;
}

class EngineAssemblerFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir("assemble");
        const double lengths[] = {1.0, 0.6, 1.5};
        for (int i = 0; i < 3; ++i) {
            MovieSpec spec;
            spec.unitSeconds = {lengths[i]};
            spec.brvu = false;
            auto p = *dir_ / ("clip" + std::to_string(i) + ".mov");
            ASSERT_TRUE(MakeMovie(spec, p));
            clips_.push_back(p);
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
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + Quote(out) + " -f null -", &errors), 0);
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
    std::vector<uint8_t> audio;
    for (const auto& c : clips_) {
        auto f = FrameHashes(c);
        frames.insert(frames.end(), f.begin(), f.end());
        auto a = DecodePcmS16(c);
        audio.insert(audio.end(), a.begin(), a.end());
    }
    EXPECT_EQ(FrameHashes(out), frames);
    EXPECT_TRUE(DecodePcmS16(out) == audio);
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
    MovieSpec other;
    other.unitSeconds = {1.0};
    other.brvu = false;
    other.width = 80;
    ASSERT_TRUE(MakeMovie(other, *dir_ / "other.mov"));
    AssembleResult r = AssembleMovie({clips_[0], *dir_ / "other.mov"}, out, {});
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
        MovieSpec spec;
        spec.unitSeconds = {1.0 + 0.1 * i};
        spec.brvu = false;
        spec.audio = MovieSpec::Audio::Aac;
        clips.push_back(dir / ("c" + std::to_string(i) + ".mov"));
        ASSERT_TRUE(MakeMovie(spec, clips.back()));
    }
    fs::path out = dir / "aac.mov";
    AssembleResult r = AssembleMovie(clips, out, {});
    ASSERT_EQ(r.code, CREATEMOVFILE_OK) << r.error;
    std::string errors;
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + Quote(out) + " -f null -", &errors), 0);
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
