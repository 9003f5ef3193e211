// The frame source against frames that the ffmpeg tool decodes from the same movies.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QImage>
#include <fstream>
#include <iterator>
#include <sstream>

#include "MediaReference.h"
#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "framesource/BmpWriter.h"
#include "framesource/FrameSource.h"
#include "framesource/JpegPicker.h"
#include "testmovies/TestMovies.h"

namespace {

using brevio::FrameSource;
using brevio::IFrameData;
using namespace brevio::engine;
using namespace brevio::mediatest;
namespace tm = brevio::testmovies;

constexpr int64_t kFrameTicks = 333'667;    // 1001/30000 s, rounded up

// The MD5 of every stored video packet, as `ffmpeg -c copy -f framemd5` lists them.
std::vector<std::string> PacketMd5(const std::filesystem::path& movie) {
    auto r = tm::RunCommand({"ffmpeg", "-v", "error", "-nostdin", "-i", movie.string(), "-map",
                             "0:v:0", "-c", "copy", "-f", "framemd5", "pipe:1"});
    std::vector<std::string> hashes;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto comma = line.rfind(',');
        if (comma == std::string::npos) continue;
        std::string hash = line.substr(comma + 1);
        hash.erase(0, hash.find_first_not_of(' '));
        hashes.push_back(hash);
    }
    return hashes;
}

QImage FrameImage(FrameSource& source, int64_t position) {
    std::unique_ptr<IFrameData> data;
    if (FAILED(source.GetFrame(position, 0, &data)) || !data) return {};
    std::vector<uint8_t> bytes;
    if (FAILED(data->GetImageBytes(&bytes))) return {};
    QImage image;
    image.loadFromData(bytes.data(), static_cast<int>(bytes.size()));
    return image;
}

class FrameSourceH264 : public ::testing::TestWithParam<bool> {};

TEST_P(FrameSourceH264, FramesMatchTheToolAtEveryKindOfPosition) {
    tm::MovieOptions options;
    options.units = 3;
    options.framesPerUnit = 30;
    options.bframes = GetParam();
    const auto movie = tm::MakeMovie(options);
    FrameSource source;
    ASSERT_EQ(source.Open(QString::fromStdString(movie.string()), 1), S_OK);
    const int64_t unit = 10'010'000;  // 30 frames: 1.001 s
    const int lastFrame = 89;
    struct Case {
        int64_t position;
        int frame;
    };
    const Case cases[] = {
        {0, 0},
        {-5'000'000, 0},                      // before the start: the first frame
        {unit, 30},                           // a unit start (sync sample)
        {unit + 5 * kFrameTicks + 1000, 35},  // inside a frame in the middle of a unit
        {2 * unit - 1000, 59},                // the last frame before a sync sample
        {3 * unit + 50'000'000, lastFrame},   // beyond the end: the last frame
        {7 * kFrameTicks + 100, 7},           // going back after later frames
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        const QImage got = FrameImage(source, c.position);
        ASSERT_EQ(got.size(), QSize(320, 240));
        const QImage want = FfmpegFrameRgb(movie, c.frame, 320, 240);
        ASSERT_FALSE(want.isNull());
        EXPECT_GE(Psnr(got, want), 40.0);
    }
    // The comparison tells neighbouring frames apart.
    const QImage at35 = FrameImage(source, unit + 5 * kFrameTicks + 1000);
    EXPECT_LT(Psnr(at35, FfmpegFrameRgb(movie, 36, 320, 240)), 40.0);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutBFrames, FrameSourceH264, ::testing::Bool());

TEST(FrameSource, BitmapViewReadsExactlyWhatQtReads) {
    tm::MovieOptions options;
    options.units = 1;
    options.framesPerUnit = 10;
    options.width = 176;
    options.height = 144;
    FrameSource source;
    ASSERT_EQ(source.Open(QString::fromStdString(tm::MakeMovie(options).string()), 1), S_OK);
    std::unique_ptr<IFrameData> data;
    ASSERT_EQ(source.GetFrame(4 * kFrameTicks, 0, &data), S_OK);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(data->GetImageBytes(&bytes), S_OK);
    QImage qt;
    ASSERT_TRUE(qt.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "BMP"));
    brevio::framesource::BmpView view;
    ASSERT_TRUE(brevio::framesource::PlainBmpView(bytes.data(), bytes.size(), view));
    const QImage direct(view.pixels, view.width, view.height, view.stride, QImage::Format_RGB32);
    EXPECT_EQ(direct, qt.convertToFormat(QImage::Format_RGB32));

    // Anything else is left to Qt: cut short, bottom-up rows, another depth.
    EXPECT_FALSE(brevio::framesource::PlainBmpView(bytes.data(), bytes.size() - 1, view));
    std::vector<uint8_t> other = bytes;
    other[22] = 144;  // height +144: bottom-up
    other[23] = other[24] = other[25] = 0;
    EXPECT_FALSE(brevio::framesource::PlainBmpView(other.data(), other.size(), view));
    other = bytes;
    other[28] = 24;
    EXPECT_FALSE(brevio::framesource::PlainBmpView(other.data(), other.size(), view));
    EXPECT_FALSE(brevio::framesource::PlainBmpView(bytes.data(), 20, view));
}

TEST(FrameSource, MotionJpegGivesTheStoredJpeg) {
    tm::MovieOptions options;
    options.units = 2;
    options.framesPerUnit = 15;
    options.mjpeg = true;
    options.audio = tm::Audio::None;
    const auto movie = tm::MakeMovie(options);
    FrameSource source;
    ASSERT_EQ(source.Open(QString::fromStdString(movie.string()), 1), S_OK);
    std::unique_ptr<IFrameData> data;
    ASSERT_EQ(source.GetFrame(20 * kFrameTicks - 10, 0, &data), S_OK);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(data->GetImageBytes(&bytes), S_OK);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    QImage image;
    ASSERT_TRUE(image.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "JPEG"));
    EXPECT_EQ(image.size(), QSize(320, 240));
    // The bytes are the stored packet of frame 19, as the tool copies it out.
    const auto packets = PacketMd5(movie);
    ASSERT_GT(packets.size(), 21u);
    const QByteArray md5 =
        QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                 QCryptographicHash::Md5)
            .toHex();
    EXPECT_EQ(md5.toStdString(), packets[19]);
    EXPECT_NE(md5.toStdString(), packets[20]);
}

// Turns the Huffman tables (DHT) of every JPEG image in the file into comments of the same size,
// as Motion JPEG cameras leave them out; returns how many were turned.
int StripHuffmanTables(const std::filesystem::path& movie) {
    std::fstream file(movie, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto at = [&](size_t i) { return static_cast<uint8_t>(b[i]); };
    int turned = 0;
    for (size_t i = 0; i + 3 < b.size(); ++i) {
        if (at(i) != 0xFF || at(i + 1) != 0xD8 || at(i + 2) != 0xFF) continue;
        for (size_t pos = i + 2; pos + 4 <= b.size() && at(pos) == 0xFF && at(pos + 1) != 0xDA;) {
            if (at(pos + 1) == 0xC4) {
                b[pos + 1] = static_cast<char>(0xFE);
                ++turned;
            }
            pos += 2 + ((static_cast<size_t>(at(pos + 2)) << 8) | at(pos + 3));
        }
    }
    file.seekp(0);
    file.write(b.data(), static_cast<std::streamsize>(b.size()));
    return turned;
}

TEST(FrameSource, MotionJpegWithoutHuffmanTablesIsDecoded) {
    tm::TempDir dir("nodht");
    const auto movie = dir / "nodht.mov";
    const auto made = tm::RunCommand({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                      "testsrc=size=320x240:rate=30", "-t", "0.5", "-c:v", "mjpeg",
                                      "-huffman", "default", "-q:v", "3", movie.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ASSERT_GE(StripHuffmanTables(movie), 15);
    FrameSource source;
    ASSERT_EQ(source.Open(QString::fromStdString(movie.string()), 1), S_OK);
    const QImage image = FrameImage(source, 7 * 333'334 + 10);
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(Psnr(image, FfmpegFrameRgb(movie, 7, 320, 240)), 35.0);
}

TEST(FrameSource, RefusesBadRequests) {
    FrameSource source;
    std::unique_ptr<IFrameData> data;
    EXPECT_EQ(source.GetFrame(0, 0, &data), E_FAIL);  // nothing open
    EXPECT_EQ(source.Open(QString(), 1), E_POINTER);
    EXPECT_EQ(source.Open(QStringLiteral("/nonexistent/movie.mov"), 1), E_FAIL);

    tm::TempDir dir("fsbad");
    const auto junk = dir / "junk.mov";
    {
        FILE* f = fopen(junk.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("not a movie at all", f);
        fclose(f);
    }
    EXPECT_EQ(source.Open(QString::fromStdString(junk.string()), 1), E_FAIL);

    tm::MovieOptions options;
    options.units = 1;
    options.framesPerUnit = 10;
    const auto movie = tm::MakeMovie(options);
    const QString path = QString::fromStdString(movie.string());
    EXPECT_EQ(source.Open(path, 2), E_INVALIDARG);
    ASSERT_EQ(source.Open(path, 1), S_OK);
    EXPECT_EQ(source.GetFrame(0, 0, nullptr), E_POINTER);
    EXPECT_EQ(source.GetFrame(0, 1, &data), E_INVALIDARG);
    EXPECT_EQ(source.GetFrame(0, 0, &data), S_OK);
    EXPECT_TRUE(data != nullptr);
}

TEST(FrameSource, DamagedSamplesGiveFramesOrFailuresNeverCrashes) {
    tm::MovieOptions options;
    options.units = 3;
    options.framesPerUnit = 20;
    options.audio = tm::Audio::None;
    tm::TempDir dir("fsdamaged");
    const auto movie = tm::CopyMovie(tm::MakeMovie(options), dir / "damaged.mov");
    const auto size = std::filesystem::file_size(movie);
    {
        // Garbage over the middle of the media data (the movie atom is at the end).
        FILE* f = fopen(movie.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        fseek(f, static_cast<long>(size / 5), SEEK_SET);
        uint32_t x = 12345;
        for (uint64_t i = 0; i < size / 4; ++i) {
            x = x * 1103515245u + 12345u;
            fputc(static_cast<int>(x >> 24), f);
        }
        fclose(f);
    }
    FrameSource source;
    ASSERT_EQ(source.Open(QString::fromStdString(movie.string()), 1), S_OK);
    int frames = 0;
    for (int i = 59; i >= 0; i -= 3) {
        std::unique_ptr<IFrameData> data;
        const HRESULT hr = source.GetFrame(i * kFrameTicks + 100, 0, &data);
        EXPECT_TRUE(hr == S_OK || hr == E_FAIL);
        EXPECT_EQ(hr == S_OK, data != nullptr);
        if (hr == S_OK) ++frames;
    }
    // The undamaged start still decodes.
    EXPECT_FALSE(FrameImage(source, 0).isNull());
    EXPECT_GT(frames, 0);
}

TEST(FrameSource, ReferenceMovieShowsTheKeptUnits) {
    tm::MovieOptions options;
    options.units = 4;
    options.framesPerUnit = 30;
    const auto movie = tm::MakeMovie(options);
    tm::TempDir dir("fsref");
    const auto reference = dir / "ref.mov";
    {
        CVarnoMovFile file{FileLocator(movie)};
        ASSERT_TRUE(file.IsValid()) << file.GetError();
        CBrevioMovie brevio(&file);
        ASSERT_TRUE(brevio.IsValid()) << brevio.GetError();
        ASSERT_TRUE(brevio.SetEditingState({0, 2}));
        CBrevioMovFileEditor editor(file);
        ASSERT_EQ(editor.CreateReferenceMovFile(FileLocator(reference), &brevio), CREATEMOVFILE_OK);
    }
    FrameSource source;
    ASSERT_EQ(source.Open(QString::fromStdString(reference.string()), 1), S_OK);
    const int64_t unit = 10'010'000;
    // The second unit of the reference movie is unit 2 of the source.
    const QImage got = FrameImage(source, unit + 3 * kFrameTicks + 100);
    EXPECT_GE(Psnr(got, FfmpegFrameRgb(movie, 63, 320, 240)), 40.0);
    const QImage first = FrameImage(source, 2 * kFrameTicks + 100);
    EXPECT_GE(Psnr(first, FfmpegFrameRgb(movie, 2, 320, 240)), 40.0);
}

// libjpeg's fatal errors end the picking with no picture; data cut short is padded as Qt's
// reader pads it.
TEST(FrameSource, JpegPickingSurvivesBrokenImages) {
    tm::MovieOptions options;
    options.units = 1;
    options.framesPerUnit = 2;
    options.mjpeg = true;
    options.audio = tm::Audio::None;
    FrameSource source;
    ASSERT_EQ(source.Open(QString::fromStdString(tm::MakeMovie(options).string()), 1), S_OK);
    std::unique_ptr<IFrameData> data;
    ASSERT_EQ(source.GetFrame(0, 0, &data), S_OK);
    std::vector<uint8_t> jpeg;
    ASSERT_EQ(data->GetImageBytes(&jpeg), S_OK);
    using brevio::framesource::PickFromJpeg;
    EXPECT_FALSE(PickFromJpeg(jpeg.data(), jpeg.size(), 64, 48).isNull());

    std::vector<uint8_t> broken(jpeg.begin(), jpeg.begin() + 40);  // inside the headers
    EXPECT_TRUE(PickFromJpeg(broken.data(), broken.size(), 64, 48).isNull());
    broken = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x02};
    EXPECT_TRUE(PickFromJpeg(broken.data(), broken.size(), 64, 48).isNull());

    broken.assign(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() / 2));
    const QImage half = PickFromJpeg(broken.data(), broken.size(), 320, 240);
    QImage qt;
    ASSERT_TRUE(qt.loadFromData(broken.data(), static_cast<int>(broken.size()), "JPEG"));
    EXPECT_EQ(half, qt.convertToFormat(QImage::Format_RGB32));
}

}  // namespace
