// `brevio make`: synthetic movies and movies assembled from clips, through the real binary.
#include <gtest/gtest.h>

#include <fstream>

#include "ToolTestSupport.h"
#include "generator/ClipEncoder.h"
#include "generator/ToneSource.h"

namespace brevio::tooltest {
namespace {

using namespace brevio::testmovies;
namespace fs = std::filesystem;

std::vector<std::string> Slice(const std::vector<std::string>& v, size_t from, size_t count) {
    if (from >= v.size()) return {};
    return std::vector<std::string>(v.begin() + std::ptrdiff_t(from),
                                    v.begin() + std::ptrdiff_t(std::min(v.size(), from + count)));
}

void ExpectUnitsEvery(const MovieInfo& info, size_t units, int64_t unitTicks) {
    ASSERT_EQ(info.units.size(), units);
    for (size_t i = 0; i < units; ++i) {
        EXPECT_EQ(info.units[i].number, i + 1);
        EXPECT_EQ(info.units[i].start, int64_t(i) * unitTicks) << "unit " << i + 1;
        EXPECT_EQ(info.units[i].originalStart, int64_t(i) * unitTicks);
        EXPECT_EQ(info.units[i].duration, unitTicks);
    }
    EXPECT_EQ(info.totalTicks, int64_t(units) * unitTicks);
    EXPECT_EQ(info.unitDurationTicks, unitTicks);
}

TEST(MakeCommand, SyntheticMovieCopiesEveryClipLosslessly) {
    TempDir dir("make");
    auto r = Brevio({"make", "--synthetic", "4", "--size", "320x240", (dir / "m.mov").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FfprobeErrors(dir / "m.mov"), "");
    auto info = Info(dir / "m.mov");
    ASSERT_EQ(info.result, 0);
    EXPECT_FALSE(info.chapterMovie);
    ExpectUnitsEvery(info, 4, FrameTicks(120));
    // No clip folder is left beside the movie.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // Each unit holds exactly the frames and sound that the generator encodes for it.
    auto frames = FrameMd5(dir / "m.mov");
    ASSERT_EQ(frames.size(), 480u);
    auto pcm = PcmS16(dir / "m.mov");
    ASSERT_EQ(pcm.size(), 4u * 2u * 192192u);
    generator::SyntheticOptions o;
    o.width = 320;
    o.height = 240;
    for (int unit : {0, 3}) {
        generator::EncodeClip(o, unit, dir / "clip.mov");
        EXPECT_EQ(Slice(frames, size_t(unit) * 120, 120), FrameMd5(dir / "clip.mov")) << unit;
        std::vector<int16_t> tone(2 * 192192);
        generator::ToneSource(unit, 48000, 2).Fill(tone.data(), 192192);
        EXPECT_TRUE(std::equal(tone.begin(), tone.end(), pcm.begin() + unit * 2 * 192192)) << unit;
    }
}

TEST(MakeCommand, SyntheticVariants) {
    TempDir dir("make");
    // Motion JPEG, short units, no sound.
    auto r = Brevio({"make", "--synthetic", "3", "--mjpeg", "--size", "160x120", "--unit-seconds",
                     "2.002", "--audio", "none", (dir / "j.mov").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FfprobeErrors(dir / "j.mov"), "");
    EXPECT_EQ(ProbeStreamEntry(dir / "j.mov", "v:0", "codec_name"), "mjpeg");
    EXPECT_EQ(ProbeStreamEntry(dir / "j.mov", "a:0", "codec_name"), "");
    ExpectUnitsEvery(Info(dir / "j.mov"), 3, FrameTicks(60));
    EXPECT_EQ(FrameMd5(dir / "j.mov").size(), 180u);

    // H.264 with B-frames and AAC.
    r = Brevio({"make", "--synthetic", "3", "--bframes", "--audio", "aac", "--size", "160x120",
                (dir / "b.mov").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FfprobeErrors(dir / "b.mov"), "");
    EXPECT_EQ(ProbeStreamEntry(dir / "b.mov", "a:0", "codec_name"), "aac");
    EXPECT_EQ(ProbeStreamEntry(dir / "b.mov", "v:0", "has_b_frames"), "2");
    ExpectUnitsEvery(Info(dir / "b.mov"), 3, FrameTicks(120));
    EXPECT_EQ(FrameMd5(dir / "b.mov").size(), 360u);

    // A chapter movie: titles given for the first two chapters.
    r = Brevio({"make", "--synthetic", "3", "--chapters", "--title", "Morning", "--title", "Noon",
                "--size", "160x120", "--unit-seconds", "1.001", (dir / "c.mov").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FfprobeErrors(dir / "c.mov"), "");
    auto info = Info(dir / "c.mov");
    ASSERT_EQ(info.result, 0);
    EXPECT_TRUE(info.chapterMovie);
    ASSERT_EQ(info.units.size(), 3u);
    EXPECT_EQ(info.units[0].title, "Morning");
    EXPECT_EQ(info.units[1].title, "Noon");
    EXPECT_EQ(info.units[2].title, "Chapter 3");
    EXPECT_EQ(info.units[2].start, 2 * FrameTicks(30));
    EXPECT_EQ(ProbeChapterTitles(dir / "c.mov"),
              (std::vector<std::string>{"Morning", "Noon", "Chapter 3"}));
}

TEST(MakeCommand, AssemblesClipsMadeByFfmpeg) {
    TempDir dir("make");
    std::vector<std::string> args = {"make", (dir / "m.mov").string()};
    std::vector<std::string> expected;
    const int frames[] = {90, 150, 60};
    for (int i = 0; i < 3; ++i) {
        auto clip = dir / ("c" + std::to_string(i) + ".mov");
        auto r = RunCommand(
            {"ffmpeg",     "-nostdin",
             "-v",         "error",
             "-f",         "lavfi",
             "-i",         "testsrc2=s=192x108:r=30000/1001,hue=h=" + std::to_string(60 * i),
             "-f",         "lavfi",
             "-i",         "sine=f=" + std::to_string(300 + 100 * i) + ":r=48000",
             "-frames:v",  std::to_string(frames[i]),
             "-t",         std::to_string(frames[i] * 1001 / 30000.0),
             "-c:v",       "libx264",
             "-preset",    "ultrafast",
             "-pix_fmt",   "yuv420p",
             "-c:a",       "pcm_s16le",
             "-f",         "mov",
             clip.string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        args.push_back(clip.string());
        auto f = FrameMd5(clip);
        expected.insert(expected.end(), f.begin(), f.end());
    }
    auto r = Brevio(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FfprobeErrors(dir / "m.mov"), "");
    EXPECT_EQ(FrameMd5(dir / "m.mov"), expected);
    auto info = Info(dir / "m.mov");
    ASSERT_EQ(info.result, 0);
    ASSERT_EQ(info.units.size(), 3u);
    EXPECT_EQ(info.units[1].start, FrameTicks(90));
    EXPECT_EQ(info.units[2].start, FrameTicks(240));
    EXPECT_EQ(info.totalTicks, FrameTicks(300));

    // The same clips as chapters.
    std::vector<std::string> chapterArgs = {"make",    "--chapters", "--title",
                                            "Eins",    "--title",    "Zwei",
                                            "--title", "Drei",       (dir / "c.mov").string()};
    chapterArgs.insert(chapterArgs.end(), args.begin() + 2, args.end());
    r = Brevio(chapterArgs);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FfprobeErrors(dir / "c.mov"), "");
    EXPECT_EQ(FrameMd5(dir / "c.mov"), expected);
    info = Info(dir / "c.mov");
    ASSERT_EQ(info.result, 0);
    EXPECT_TRUE(info.chapterMovie);
    ASSERT_EQ(info.units.size(), 3u);
    EXPECT_EQ(info.units[2].title, "Drei");
    EXPECT_EQ(info.units[2].start, FrameTicks(240));
}

TEST(MakeCommand, RefusesBadArgumentsAndLeavesNothing) {
    TempDir dir("make");
    const auto out = (dir / "m.mov").string();
    EXPECT_EQ(Brevio({"make"}).exitCode, 2);
    EXPECT_EQ(Brevio({"make", "--synthetic", "0", out}).exitCode, 2);
    EXPECT_EQ(Brevio({"make", "--synthetic", "x", out}).exitCode, 2);
    EXPECT_EQ(Brevio({"make", "--synthetic", "2", "--size", "15x9", out}).exitCode, 2);
    EXPECT_EQ(Brevio({"make", "--synthetic", "2", "--unit-seconds", "-1", out}).exitCode, 2);
    EXPECT_EQ(Brevio({"make", "--synthetic", "2", "--audio", "mp3", out}).exitCode, 2);
    EXPECT_EQ(Brevio({"make", "--synthetic", "2", "--frobnicate", out}).exitCode, 2);
    EXPECT_EQ(Brevio({"make", out, (dir / "missing.mov").string()}).exitCode, 2);
    EXPECT_FALSE(fs::exists(out));

    // An existing output is refused and left exactly as it was.
    { std::ofstream(out) << "precious"; }
    EXPECT_EQ(Brevio({"make", "--synthetic", "2", out}).exitCode, 2);
    EXPECT_EQ(ReadAll(out), "precious");

    // A clip that is not a movie fails the assembly, and no output remains.
    { std::ofstream(dir / "junk.mov") << "not a movie at all"; }
    const auto out2 = (dir / "m2.mov").string();
    auto r = Brevio({"make", out2, (dir / "junk.mov").string(), (dir / "junk.mov").string()});
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_NE(r.err, "");
    EXPECT_FALSE(fs::exists(out2));
}

}  // namespace
}  // namespace brevio::tooltest
