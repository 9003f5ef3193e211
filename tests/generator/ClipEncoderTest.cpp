// Clips encoded by the generator, checked with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <sstream>

#include "generator/ClipEncoder.h"
#include "generator/TestPattern.h"
#include "generator/ToneSource.h"
#include "testmovies/TestMovies.h"

namespace brevio::generator {
namespace {

using namespace brevio::testmovies;

std::vector<std::string> FrameEntries(const std::filesystem::path& clip, const std::string& entry) {
    auto r = RunCommand({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                         "frame=" + entry, "-of", "default=nw=1:nk=1", clip.string()});
    std::vector<std::string> values;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) values.push_back(line);
    return values;
}

// Luma of pixel (x, y) of the first frame.
int FirstFrameLuma(const std::filesystem::path& clip, int x, int y, int width) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", clip.string(), "-frames:v", "1",
                         "-f", "rawvideo", "-pix_fmt", "gray", "-"});
    size_t at = size_t(y) * size_t(width) + size_t(x);
    return at < r.out.size() ? uint8_t(r.out[at]) : -1;
}

SyntheticOptions Small() {
    SyntheticOptions o;
    o.width = 320;
    o.height = 240;
    return o;
}

TEST(ClipEncoder, H264ClipIsOneClosedGopWithExactPcm) {
    TempDir dir("clip");
    auto o = Small();
    EncodeClip(o, 2, dir / "c.mov");
    EXPECT_EQ(FfprobeErrors(dir / "c.mov"), "");
    EXPECT_EQ(ProbeStreamEntry(dir / "c.mov", "v:0", "codec_name"), "h264");
    auto keys = FrameEntries(dir / "c.mov", "key_frame");
    ASSERT_EQ(keys.size(), 120u);
    EXPECT_EQ(keys[0], "1");
    for (size_t i = 1; i < keys.size(); ++i) EXPECT_EQ(keys[i], "0") << "frame " << i;
    EXPECT_EQ(FrameEntries(dir / "c.mov", "pict_type").size(), 120u);

    EXPECT_EQ(ProbeStreamEntry(dir / "c.mov", "a:0", "codec_name"), "pcm_s16le");
    auto pcm = PcmS16(dir / "c.mov");
    ASSERT_EQ(pcm.size(), 2u * 192192u);  // 4.004 s at 48 kHz, stereo
    std::vector<int16_t> expected(pcm.size());
    ToneSource(2, 48000, 2).Fill(expected.data(), 192192);
    EXPECT_EQ(pcm, expected);

    // The background carries the unit's colour (gray output is full range).
    EXPECT_NEAR(FirstFrameLuma(dir / "c.mov", 4, 4, 320), (UnitColor(2).y - 16) * 255.0 / 219, 3);
}

TEST(ClipEncoder, BFramesOnlyWhenAsked) {
    TempDir dir("clip");
    auto o = Small();
    o.audio = AudioCodec::None;
    o.unitSeconds = 2.002;
    EncodeClip(o, 0, dir / "plain.mov");
    o.bframes = true;
    EncodeClip(o, 0, dir / "b.mov");
    auto count = [](const std::vector<std::string>& v, const std::string& what) {
        return std::count(v.begin(), v.end(), what);
    };
    EXPECT_EQ(count(FrameEntries(dir / "plain.mov", "pict_type"), "B"), 0);
    auto types = FrameEntries(dir / "b.mov", "pict_type");
    ASSERT_EQ(types.size(), 60u);
    EXPECT_GT(count(types, "B"), 10);
    EXPECT_EQ(types[0], "I");
    EXPECT_EQ(count(FrameEntries(dir / "b.mov", "key_frame"), "1"), 1);
    EXPECT_EQ(ProbeStreamEntry(dir / "b.mov", "a:0", "codec_name"), "");
    EXPECT_EQ(FfprobeErrors(dir / "b.mov"), "");
}

TEST(ClipEncoder, MotionJpegAndAacAndUnitsLookDifferent) {
    TempDir dir("clip");
    auto o = Small();
    o.mjpeg = true;
    o.audio = AudioCodec::Aac;
    o.unitSeconds = 1.001;
    EncodeClip(o, 0, dir / "u0.mov");
    EncodeClip(o, 1, dir / "u1.mov");
    EXPECT_EQ(FfprobeErrors(dir / "u0.mov"), "");
    EXPECT_EQ(ProbeStreamEntry(dir / "u0.mov", "v:0", "codec_name"), "mjpeg");
    EXPECT_EQ(ProbeStreamEntry(dir / "u0.mov", "a:0", "codec_name"), "aac");
    auto f0 = FrameMd5(dir / "u0.mov"), f1 = FrameMd5(dir / "u1.mov");
    ASSERT_EQ(f0.size(), 30u);
    ASSERT_EQ(f1.size(), 30u);
    for (size_t i = 0; i < f0.size(); ++i) EXPECT_NE(f0[i], f1[i]);
    EXPECT_NE(f0[0], f0[1]);  // frames within a unit differ too
    // Every frame has its duration, the last one included.
    EXPECT_EQ(ProbeStreamEntry(dir / "u0.mov", "v:0", "duration"), "1.001000");
    // The AAC track holds about the unit's length of sound (priming aside).
    auto pcm = PcmS16(dir / "u0.mov");
    EXPECT_NEAR(double(pcm.size()) / 2 / 48000, 1.001, 0.03);
}

TEST(ClipEncoder, RefusesBadOptionsWithoutWriting) {
    TempDir dir("clip");
    auto o = Small();
    o.width = 321;
    EXPECT_NE(CheckOptions(o), "");
    EXPECT_THROW(EncodeClip(o, 0, dir / "odd.mov"), std::invalid_argument);
    EXPECT_FALSE(std::filesystem::exists(dir / "odd.mov"));
    o = Small();
    o.unitSeconds = 0;
    EXPECT_NE(CheckOptions(o), "");
    o = Small();
    o.units = 0;
    EXPECT_NE(CheckOptions(o), "");
    EXPECT_EQ(CheckOptions(Small()), "");
    EXPECT_EQ(FramesPerUnit(Small()), 120);
    EXPECT_EQ(AudioSamplesPerUnit(Small()), 192192);
}

}  // namespace
}  // namespace brevio::generator
