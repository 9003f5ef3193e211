// The audio path of the player: decoded samples against the ffmpeg tool's decoding.
#include <gtest/gtest.h>

#include <cstdlib>

#include "media/AudioDecoder.h"
#include "media/MediaFile.h"
#include "testmovies/TestMovies.h"

namespace {

namespace tm = brevio::testmovies;
using brevio::media::AudioDecoder;
using brevio::media::MediaFile;

std::vector<int16_t> DecodeAll(AudioDecoder& decoder, int64_t* firstStart) {
    std::vector<int16_t> all, block;
    int64_t start = 0;
    bool first = true;
    while (decoder.Next(block, &start)) {
        if (first) *firstStart = start;
        first = false;
        all.insert(all.end(), block.begin(), block.end());
    }
    return all;
}

std::filesystem::path Movie(tm::Audio audio, int sampleRate) {
    tm::MovieOptions options;
    options.units = 2;
    options.framesPerUnit = 30;
    options.audio = audio;
    options.sampleRate = sampleRate;
    return tm::MakeMovie(options);
}

TEST(AudioDecoder, PcmIsExactFromTheStartAndFromAnyPosition) {
    const auto movie = Movie(tm::Audio::Pcm, 48000);
    const auto oracle = tm::PcmS16(movie);
    ASSERT_FALSE(oracle.empty());
    auto file = MediaFile::Open(movie);
    ASSERT_TRUE(file);
    std::string error;
    auto decoder = AudioDecoder::Create(file, 48000, 2, &error);
    ASSERT_TRUE(decoder) << error;
    int64_t start = -1;
    auto all = DecodeAll(*decoder, &start);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(all, oracle);

    // From 0.75 s (frame 36000), from odd frames and after going back.
    for (int64_t frame : {36000, 1234, 0, 90000}) {
        SCOPED_TRACE(frame);
        // The first position inside audio frame `frame`; the block starts where that frame does.
        decoder->Seek((frame * 10'000'000 + 47999) / 48000);
        auto rest = DecodeAll(*decoder, &start);
        EXPECT_EQ(start, frame * 10'000'000 / 48000);
        ASSERT_EQ(rest.size(), oracle.size() - 2 * static_cast<size_t>(frame));
        EXPECT_TRUE(std::equal(rest.begin(), rest.end(), oracle.begin() + 2 * frame));
    }
}

TEST(AudioDecoder, AacStaysInStepWithTheTool) {
    const auto movie = Movie(tm::Audio::Aac, 48000);
    const auto oracle = tm::PcmS16(movie);
    ASSERT_FALSE(oracle.empty());
    auto decoder = AudioDecoder::Create(MediaFile::Open(movie), 48000, 2);
    ASSERT_TRUE(decoder);
    int64_t start = -1;
    auto all = DecodeAll(*decoder, &start);
    EXPECT_EQ(start, 0);  // the encoder's priming is trimmed
    ASSERT_NEAR(static_cast<double>(all.size()), static_cast<double>(oracle.size()), 2 * 1024.0);
    // Same decoder, same trimming: the samples agree closely where both have them.
    const size_t n = std::min(all.size(), oracle.size());
    double error = 0;
    for (size_t i = 0; i < n; ++i) error += std::abs(all[i] - oracle[i]);
    EXPECT_LT(error / static_cast<double>(n), 64.0);

    decoder->Seek(10'000'000);  // 1 s: audio frame 48000 of the tool's decoding
    std::vector<int16_t> block;
    ASSERT_TRUE(decoder->Next(block, &start));
    EXPECT_EQ(start, 10'000'000);
    const size_t m = std::min<size_t>(block.size(), 2048);
    double seekError = 0;
    for (size_t i = 0; i < m; ++i) seekError += std::abs(block[i] - oracle[96000 + i]);
    EXPECT_LT(seekError / static_cast<double>(m), 64.0);
}

TEST(AudioDecoder, ResamplesToTheDeviceRateAndChannels) {
    const auto movie = Movie(tm::Audio::Pcm, 32000);
    auto decoder = AudioDecoder::Create(MediaFile::Open(movie), 48000, 1);
    ASSERT_TRUE(decoder);
    int64_t start = 0;
    const auto all = DecodeAll(*decoder, &start);
    // 2.002 s of audio at 48 kHz, one channel.
    EXPECT_NEAR(static_cast<double>(all.size()), 2.002 * 48000, 48000 * 0.02);
    EXPECT_FALSE(AudioDecoder::Create(MediaFile::Open(movie), 0, 2));
    tm::MovieOptions silent;
    silent.units = 1;
    silent.framesPerUnit = 10;
    silent.audio = tm::Audio::None;
    EXPECT_FALSE(AudioDecoder::Create(MediaFile::Open(tm::MakeMovie(silent)), 48000, 2));
}

}  // namespace
