// `brevio frame` and `brevio thumb` on generated movies.
#include <gtest/gtest.h>

#include <QImage>

#include "MediaReference.h"
#include "framesource/CThumbnailMaker.h"
#include "framesource/IFrameSource.h"
#include "testmovies/TestMovies.h"

namespace {

using brevio::CThumbnailMaker;
namespace tm = brevio::testmovies;

TEST(FrameCommands, WriteTheFrameAndTheThumbnailOfAPosition) {
    tm::MovieOptions options;
    options.units = 2;
    options.framesPerUnit = 30;
    options.width = 640;
    options.height = 360;
    const auto movie = tm::MakeMovie(options);
    tm::TempDir dir("framecmd");
    const auto framePng = dir / "frame.png";
    const auto thumbPng = dir / "thumb.png";

    auto r = tm::RunCommand(
        {tm::BrevioBinary(), "frame", movie.string(), "--at", "1.5", "-o", framePng.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QImage frame(QString::fromStdString(framePng.string()));
    ASSERT_EQ(frame.size(), QSize(640, 360));
    // 1.5 s lies in frame 44 (44 * 1001 / 30000 = 1.468 s).
    EXPECT_GE(
        brevio::mediatest::Psnr(frame, brevio::mediatest::FfmpegFrameRgb(movie, 44, 640, 360)),
        40.0);

    r = tm::RunCommand(
        {tm::BrevioBinary(), "thumb", movie.string(), "--at", "1.5", "-o", thumbPng.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QImage thumb(QString::fromStdString(thumbPng.string()));
    ASSERT_EQ(thumb.size(), QSize(64, 48));
    brevio::RegisterFrameSourceComponent();
    CThumbnailMaker maker;
    ASSERT_EQ(maker.Open(QString::fromStdString(movie.string())), S_OK);
    QImage direct;
    ASSERT_EQ(maker.RenderThumbnail(15'000'000, &direct), S_OK);
    EXPECT_EQ(thumb.convertToFormat(QImage::Format_RGB32), direct);
}

TEST(FrameCommands, RefuseBadArgumentsAndMissingMovies) {
    tm::TempDir dir("framecmdbad");
    const auto out = (dir / "x.png").string();
    for (const char* command : {"frame", "thumb"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(tm::RunCommand({tm::BrevioBinary(), command, "m.mov", "--at", "-1", "-o", out})
                      .exitCode,
                  2);
        EXPECT_EQ(tm::RunCommand({tm::BrevioBinary(), command, "m.mov", "-o", out}).exitCode, 2);
        EXPECT_EQ(
            tm::RunCommand({tm::BrevioBinary(), command, "m.mov", "--at", "x", "-o", out}).exitCode,
            2);
        EXPECT_EQ(tm::RunCommand({tm::BrevioBinary(), command, (dir / "none.mov").string(), "--at",
                                  "1", "-o", out})
                      .exitCode,
                  7);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

}  // namespace
