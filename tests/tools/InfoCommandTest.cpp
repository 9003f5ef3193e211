// `brevio info`: the unit table and the result codes of opening.
#include <gtest/gtest.h>

#include <fstream>

#include "ToolTestSupport.h"

namespace brevio::tooltest {
namespace {

using namespace brevio::testmovies;

MovieOptions Small(int units, int frames) {
    MovieOptions o;
    o.units = units;
    o.framesPerUnit = frames;
    o.width = 160;
    o.height = 120;
    o.audio = Audio::None;
    return o;
}

TEST(InfoCommand, ConvertsTimesToTicksByTruncation) {
    // At 600 units per second a unit of 4.004 s starts at 2402 (rounded from 2402.4), which is
    // 40,033,333.33 ticks, truncated.
    auto o = Small(3, 120);
    o.movieTimeScale = 600;
    auto info = Info(MakeMovie(o));
    ASSERT_EQ(info.result, 0);
    EXPECT_EQ(info.timeScale, 600);
    ASSERT_EQ(info.units.size(), 3u);
    EXPECT_EQ(info.units[1].start, 40'033'333);
    EXPECT_EQ(info.units[2].start, 80'083'333);  // 4805 / 600 s
    EXPECT_EQ(info.unitDurationTicks, 40'033'333);
    // 360 frames last 7207.2 / 600 s; the movie header may hold 7207 or 7208.
    EXPECT_TRUE(info.totalTicks == 120'116'666 || info.totalTicks == 120'133'333)
        << info.totalTicks;

    // Text output names the kind and lists every unit.
    auto r = Brevio({"info", MakeMovie(o).string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("shooting-unit movie"), std::string::npos);
    EXPECT_NE(r.out.find("40033333"), std::string::npos);
    EXPECT_NE(r.out.find("80083333"), std::string::npos);
}

TEST(InfoCommand, UnevenUnitsAndTheFirstUnitsLength) {
    auto o = Small(0, 0);
    o.unitFrames = {90, 30, 150};
    o.movieTimeScale = 30000;
    auto info = Info(MakeMovie(o));
    ASSERT_EQ(info.result, 0);
    ASSERT_EQ(info.units.size(), 3u);
    EXPECT_EQ(info.unitDurationTicks, FrameTicks(90));
    EXPECT_EQ(info.units[1].start, FrameTicks(90));
    EXPECT_EQ(info.units[1].duration, FrameTicks(30));
    EXPECT_EQ(info.units[2].start, FrameTicks(120));
    EXPECT_EQ(info.units[2].duration, FrameTicks(150));
    EXPECT_EQ(info.totalTicks, FrameTicks(270));
}

TEST(InfoCommand, LengthLimits) {
    // Without chapters a movie must be longer than 4.004 s; one frame more is enough.
    EXPECT_EQ(Info(MakeMovie(Small(1, 120))).result, 4);
    auto info = Info(MakeMovie(Small(1, 121)));
    EXPECT_EQ(info.result, 0);
    EXPECT_EQ(info.unitDurationTicks, info.totalTicks);
    EXPECT_EQ(Info(MakeMovie(Small(2, 60))).result, 4);  // 4.004 s in two units
    // Chapter movies need two chapters, whatever their length.
    auto chapters = Small(1, 300);
    chapters.chapters = true;
    EXPECT_EQ(Info(MakeMovie(chapters)).result, 4);
    chapters.units = 2;
    chapters.framesPerUnit = 15;
    EXPECT_EQ(Info(MakeMovie(chapters)).result, 0);
}

TEST(InfoCommand, ResultCodesForFilesThatDoNotOpen) {
    TempDir dir("info");
    { std::ofstream(dir / "junk.mov", std::ios::binary) << std::string(100, 'j'); }
    { std::ofstream(dir / "empty.mov", std::ios::binary); }
    auto plain = Small(3, 60);
    plain.plain = true;
    for (auto [path, expected] : {std::pair{(dir / "junk.mov").string(), 5},
                                  {(dir / "empty.mov").string(), 5},
                                  {(dir / "missing.mov").string(), 5},
                                  {MakeMovie(plain).string(), 3}}) {
        auto r = Brevio({"info", "--json", path});
        EXPECT_EQ(r.exitCode, expected) << path;
        EXPECT_NE(r.err, "") << path;
        EXPECT_NE(r.out.find("\"result\": " + std::to_string(expected)), std::string::npos);
    }
    EXPECT_EQ(Brevio({"info"}).exitCode, 2);
    EXPECT_EQ(Brevio({"info", "--frobnicate", "x.mov"}).exitCode, 2);
    EXPECT_EQ(Brevio({"info", "a.mov", "b.mov"}).exitCode, 2);
}

TEST(InfoCommand, UnitNotOnASyncSampleIsNotABrevioMovie) {
    // Starts that do not fall on key frames: the file is a movie, but not a Brevio movie.
    auto o = Small(3, 60);
    o.plain = true;
    TempDir dir("info");
    auto copy = CopyMovie(MakeMovie(o), dir / "shifted.mov");
    AddBrevioUnits(copy, {0, 1000, 3000});  // 1 s and 3 s: mid-GOP frames
    EXPECT_EQ(Info(copy).result, 3);
    auto good = CopyMovie(MakeMovie(o), dir / "good.mov");
    AddBrevioUnits(good, {0, 2002, 4004});
    EXPECT_EQ(Info(good).result, 0);
}

}  // namespace
}  // namespace brevio::tooltest
