// The movies every test folder builds on: made by the ffmpeg tool with the BRVU atom added here.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

namespace brevio::tooltest {
namespace {

using namespace brevio::testmovies;

TEST(TestMovieFixtures, UnitAtomInsertionKeepsTheMediaIntact) {
    // With the movie atom first, the insertion shifts every chunk offset; the pictures and the
    // sound must decode exactly as from the movie with the atom last.
    MovieOptions last;
    last.units = 3;
    last.framesPerUnit = 60;
    last.width = 160;
    last.height = 120;
    last.bframes = true;
    MovieOptions first = last;
    first.moovFirst = true;
    const auto a = MakeMovie(last), b = MakeMovie(first);
    EXPECT_NE(a, b);
    EXPECT_EQ(FfprobeErrors(a), "");
    EXPECT_EQ(FfprobeErrors(b), "");
    const auto frames = FrameMd5(a);
    EXPECT_EQ(frames.size(), 180u);
    EXPECT_EQ(FrameMd5(b), frames);
    EXPECT_EQ(PcmS16(a), PcmS16(b));
    EXPECT_EQ(PcmS16(a).size(), 2u * 3u * 96096u);
    EXPECT_EQ(UnitStarts(last), (std::vector<uint32_t>{0, 2002, 4004}));
    // The second request is served from the cache.
    EXPECT_EQ(MakeMovie(last), a);
    for (const auto& movie : {a, b}) {
        auto info = Info(movie);
        ASSERT_EQ(info.result, 0);
        ASSERT_EQ(info.units.size(), 3u);
        EXPECT_EQ(info.units[2].start, FrameTicks(120));
    }
}

TEST(TestMovieFixtures, MoviesMadeWithTheBrevioTool) {
    MovieOptions o;
    o.units = 2;
    o.framesPerUnit = 90;
    o.width = 160;
    o.height = 120;
    o.titles = {"First"};
    o.chapters = true;
    const auto movie = MakeMovieWithBrevio(o);
    EXPECT_EQ(MakeMovieWithBrevio(o), movie);
    auto info = Info(movie);
    ASSERT_EQ(info.result, 0);
    EXPECT_TRUE(info.chapterMovie);
    ASSERT_EQ(info.units.size(), 2u);
    EXPECT_EQ(info.units[0].title, "First");
    EXPECT_EQ(info.units[1].start, FrameTicks(90));
    o.plain = true;
    EXPECT_THROW(MakeMovieWithBrevio(o), std::invalid_argument);
}

}  // namespace
}  // namespace brevio::tooltest
