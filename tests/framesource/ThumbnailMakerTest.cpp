// Thumbnails: the whole-number scaling and its bands, failures, and real movies.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "MediaReference.h"
#include "framesource/CThumbnailMaker.h"
#include "framesource/IFrameSource.h"
#include "testmovies/TestMovies.h"

namespace {

using brevio::ComponentRegistry;
using brevio::CThumbnailMaker;
using brevio::IComponent;
using brevio::IFrameData;
using brevio::IFrameSource;
using brevio::kFrameSourceName;
namespace tm = brevio::testmovies;

// A frame source that hands out fixed bytes for every position.
class FixedFrameSource : public IFrameSource {
public:
    explicit FixedFrameSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    HRESULT Open(const QString&, int32_t) override { return S_OK; }
    HRESULT GetFrame(int64_t, int32_t, std::unique_ptr<IFrameData>* frame) override {
        struct Data : IFrameData {
            std::vector<uint8_t> bytes;
            HRESULT GetImageBytes(std::vector<uint8_t>* out) override {
                *out = bytes;
                return S_OK;
            }
        };
        auto data = std::make_unique<Data>();
        data->bytes = bytes_;
        *frame = std::move(data);
        return S_OK;
    }

private:
    std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> Png(const QImage& image) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {data.begin(), data.end()};
}

// A red picture whose bottom `blueRows` rows are blue.
QImage Picture(int width, int height, int blueRows = 0) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    QPainter(&image).fillRect(0, height - blueRows, width, blueRows, QColor(0, 0, 255));
    return image;
}

enum class RowKind { Black, Red, Blue, Mixed };

RowKind Row(const QImage& image, int y) {
    RowKind kind = RowKind::Mixed;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, y);
        RowKind k = RowKind::Mixed;
        if (c == qRgb(0, 0, 0)) k = RowKind::Black;
        if (c == qRgb(255, 0, 0)) k = RowKind::Red;
        if (c == qRgb(0, 0, 255)) k = RowKind::Blue;
        if (x == 0) kind = k;
        if (k != kind) return RowKind::Mixed;
    }
    return kind;
}

class ThumbnailMaker : public ::testing::Test {
protected:
    void TearDown() override { brevio::RegisterFrameSourceComponent(); }
    // Makes a maker whose frame source hands out these bytes.
    void Serve(std::vector<uint8_t> bytes) {
        ComponentRegistry::Instance().Register(kFrameSourceName,
                                               [bytes](std::unique_ptr<IComponent>& out) {
                                                   out = std::make_unique<FixedFrameSource>(bytes);
                                                   return S_OK;
                                               });
        ASSERT_EQ(maker_.Open(QStringLiteral("any.mov")), S_OK);
    }
    QImage Render(HRESULT expected = S_OK) {
        QImage image(10, 10, QImage::Format_ARGB32);
        image.fill(Qt::white);
        EXPECT_EQ(maker_.RenderThumbnail(0, &image), expected);
        EXPECT_EQ(image.size(), QSize(64, 48));
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        return image;
    }
    CThumbnailMaker maker_;
};

TEST_F(ThumbnailMaker, FourByThreeFillsTheThumbnail) {
    Serve(Png(Picture(640, 480)));
    const QImage t = Render();
    for (int y = 0; y < 48; ++y) EXPECT_EQ(Row(t, y), RowKind::Red) << y;
}

TEST_F(ThumbnailMaker, SixteenByNineHasBandsOfSixRows) {
    Serve(Png(Picture(1920, 1080)));
    const QImage t = Render();
    for (int y = 0; y < 48; ++y) {
        const RowKind want = (y < 6 || y >= 42) ? RowKind::Black : RowKind::Red;
        EXPECT_EQ(Row(t, y), want) << y;
    }
}

TEST_F(ThumbnailMaker, AnamorphicPictureLosesItsLastRow) {
    // s = 1440 / 64 = 22, f = 1080 / 22 = 49: the picture is one row taller than the thumbnail,
    // so the blue bottom rows (the 49th thumbnail row) fall outside.
    Serve(Png(Picture(1440, 1080, 20)));
    const QImage t = Render();
    for (int y = 0; y < 48; ++y) EXPECT_EQ(Row(t, y), RowKind::Red) << y;
}

TEST_F(ThumbnailMaker, NarrowPictureFillsTheWidth) {
    Serve(Png(Picture(32, 12)));  // s would be 0: drawn 64 wide, 24 high, centred
    const QImage t = Render();
    for (int y = 0; y < 48; ++y) {
        EXPECT_EQ(Row(t, y), (y < 12 || y >= 36) ? RowKind::Black : RowKind::Red) << y;
    }
    EXPECT_EQ(CThumbnailMaker::PlacementFor(1, 1).height, 64);
    EXPECT_EQ(CThumbnailMaker::PlacementFor(0, 10).height, 0);
}

TEST_F(ThumbnailMaker, BytesThatDoNotDecodeGiveABlackThumbnail) {
    Serve({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    const QImage t = Render(E_FAIL);
    for (int y = 0; y < 48; ++y) EXPECT_EQ(Row(t, y), RowKind::Black) << y;
    Serve({});
    Render(E_FAIL);
}

TEST_F(ThumbnailMaker, RefusesWithoutImageOrSource) {
    CThumbnailMaker fresh;
    QImage image;
    EXPECT_EQ(fresh.RenderThumbnail(0, &image), E_FAIL);
    EXPECT_TRUE(image.isNull());
    Serve(Png(Picture(640, 480)));
    EXPECT_EQ(maker_.RenderThumbnail(0, nullptr), E_POINTER);

    ComponentRegistry::Instance().Unregister(kFrameSourceName);
    EXPECT_EQ(fresh.Open(QStringLiteral("any.mov")), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(fresh.RenderThumbnail(0, &image), E_FAIL);
}

TEST_F(ThumbnailMaker, RealMovieThumbnailsShowTheirFrames) {
    brevio::RegisterFrameSourceComponent();
    tm::MovieOptions options;
    options.units = 3;
    options.framesPerUnit = 20;
    options.width = 640;
    options.height = 360;
    options.audio = tm::Audio::None;
    const auto movie = tm::MakeMovie(options);
    CThumbnailMaker maker;
    EXPECT_EQ(maker.Open(QStringLiteral("/nonexistent.mov")), E_FAIL);
    ASSERT_EQ(maker.Open(QString::fromStdString(movie.string())), S_OK);
    const int64_t unitTicks = 20 * 10'010'000 / 30;  // 20 frames
    for (int unit = 0; unit < 3; ++unit) {
        SCOPED_TRACE(unit);
        QImage thumbnail;
        ASSERT_EQ(maker.RenderThumbnail(unit * unitTicks, &thumbnail), S_OK);
        // 640 x 360: s = 10, f = 36, y = 6.
        EXPECT_TRUE(brevio::mediatest::RowsBlack(thumbnail, 0, 6));
        EXPECT_TRUE(brevio::mediatest::RowsBlack(thumbnail, 42, 48));
        QImage want(64, 48, QImage::Format_RGB32);
        want.fill(Qt::black);
        QPainter(&want).drawImage(QRect(0, 6, 64, 36),
                                  brevio::mediatest::FfmpegFrameRgb(movie, unit * 20, 640, 360));
        EXPECT_GE(brevio::mediatest::Psnr(thumbnail, want), 30.0);

        // At two device pixels per logical pixel: the same placement in device pixels, drawn
        // from the frame itself (not the 64 x 48 picture enlarged), and the ratio carried along.
        maker.SetPixelRatio(2.0);
        QImage sharp;
        ASSERT_EQ(maker.RenderThumbnail(unit * unitTicks, &sharp), S_OK);
        maker.SetPixelRatio(1.0);
        ASSERT_EQ(sharp.size(), QSize(128, 96));
        EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
        EXPECT_TRUE(brevio::mediatest::RowsBlack(sharp, 0, 12));
        EXPECT_TRUE(brevio::mediatest::RowsBlack(sharp, 84, 96));
        QImage sharpWant(128, 96, QImage::Format_RGB32);
        sharpWant.fill(Qt::black);
        QPainter(&sharpWant)
            .drawImage(QRect(0, 12, 128, 72),
                       brevio::mediatest::FfmpegFrameRgb(movie, unit * 20, 640, 360));
        sharp.setDevicePixelRatio(1.0);
        EXPECT_GE(brevio::mediatest::Psnr(sharp, sharpWant), 30.0);
        EXPECT_LT(brevio::mediatest::Psnr(sharp, thumbnail.scaled(128, 96)), 40.0);
    }
}

// Motion JPEG: the thumbnails picked from the decoder's frame look as the stored JPEG does in Qt's
// JPEG reader, drawn scaled without smoothing (the maker's path for images it is handed), at 4K
// and at two device pixels per logical pixel.
TEST_F(ThumbnailMaker, MotionJpegThumbnailsMatchTheStoredJpegsInQtsReader) {
    brevio::RegisterFrameSourceComponent();
    tm::MovieOptions options;
    options.units = 2;
    options.framesPerUnit = 3;
    options.width = 3840;
    options.height = 2160;
    options.mjpeg = true;
    options.audio = tm::Audio::None;
    const QString movie = QString::fromStdString(tm::MakeMovie(options).string());
    std::unique_ptr<IFrameSource> source;
    ASSERT_EQ(ComponentRegistry::Instance().CreateAs(kFrameSourceName, source), S_OK);
    ASSERT_EQ(source->Open(movie, brevio::kFrameSourceOpenMovie), S_OK);
    CThumbnailMaker maker;
    ASSERT_EQ(maker.Open(movie), S_OK);
    const int64_t unitTicks = 3 * 10'010'000 / 30;
    QImage previous;
    for (int unit = 0; unit < 2; ++unit) {
        SCOPED_TRACE(unit);
        std::unique_ptr<IFrameData> frame;
        ASSERT_EQ(source->GetFrame(unit * unitTicks, brevio::kFrameSourceFrameShown, &frame), S_OK);
        std::vector<uint8_t> jpeg;
        ASSERT_EQ(frame->GetImageBytes(&jpeg), S_OK);
        ASSERT_EQ(jpeg.at(1), 0xD8);
        QImage thumbnail, sharp;
        ASSERT_EQ(maker.RenderThumbnail(unit * unitTicks, &thumbnail), S_OK);
        maker.SetPixelRatio(2.0);
        ASSERT_EQ(maker.RenderThumbnail(unit * unitTicks, &sharp), S_OK);
        maker.SetPixelRatio(1.0);

        Serve(jpeg);
        const QImage old = Render();
        EXPECT_GE(brevio::mediatest::Psnr(thumbnail, old), 40.0);
        if (!previous.isNull()) {
            EXPECT_LT(brevio::mediatest::Psnr(thumbnail, previous), 40.0);
        }
        previous = old;

        QImage sharpOld(128, 96, QImage::Format_RGB32);
        sharpOld.fill(Qt::black);
        QPainter(&sharpOld).drawImage(QRect(0, 12, 128, 72),
                                      QImage::fromData(jpeg.data(), static_cast<int>(jpeg.size())));
        sharp.setDevicePixelRatio(1.0);
        EXPECT_GE(brevio::mediatest::Psnr(sharp, sharpOld), 40.0);
    }
}

}  // namespace
