// media_bench: how fast the player's decode-and-scale path and the strip thumbnails run on a
// 1080p H.264 movie of 16 one-second units (IDR frame at every unit start, B-frames, CABAC),
// against the ffmpeg tool extracting the same 16 frames. The movie is made once with the ffmpeg
// tool and kept under the test temporary folder.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "framesource/CThumbnailMaker.h"
#include "framesource/IFrameSource.h"
#include "media/FrameScaler.h"
#include "media/VideoDecoder.h"
#include "testmovies/TestMovies.h"

namespace {

using brevio::CThumbnailMaker;
namespace tm = brevio::testmovies;
constexpr int kUnits = 16;
constexpr int kFramesPerUnit = 30;

const std::filesystem::path& Movie() {
    static const std::filesystem::path path = [] {
        const auto dir = tm::TestTmpRoot() / "bench-movies";
        std::filesystem::create_directories(dir);
        const auto file = dir / "media-1080p-h264.mov";
        if (!std::filesystem::exists(file)) {
            const auto partial =
                dir / ("media-1080p-h264.partial." + std::to_string(::getpid()) + ".mov");
            auto r = tm::RunCommand({"ffmpeg",
                                     "-v",
                                     "error",
                                     "-y",
                                     "-f",
                                     "lavfi",
                                     "-i",
                                     "testsrc2=s=1920x1080:r=30000/1001:d=" +
                                         std::to_string(kUnits * kFramesPerUnit * 1001.0 / 30000.0),
                                     "-c:v",
                                     "libx264",
                                     "-preset",
                                     "veryfast",
                                     "-pix_fmt",
                                     "yuv420p",
                                     "-bf",
                                     "3",
                                     "-g",
                                     "1000",
                                     "-forced-idr",
                                     "1",
                                     "-force_key_frames",
                                     "expr:eq(mod(n," + std::to_string(kFramesPerUnit) + "),0)",
                                     "-frames:v",
                                     std::to_string(kUnits * kFramesPerUnit),
                                     "-f",
                                     "mov",
                                     partial.string()});
            if (r.exitCode != 0) {
                std::fprintf(stderr, "ffmpeg failed: %s\n", r.err.c_str());
                std::exit(1);
            }
            std::filesystem::rename(partial, file);
        }
        return file;
    }();
    return path;
}

int64_t UnitStart(int unit) {
    return unit * kFramesPerUnit * 10'010'000LL / 30;
}

// Decoding every frame in order and scaling it into the 320 x 240 picture on one thread, as the
// player's worker does while playing.
void BM_DecodeAndScale1080p(benchmark::State& state) {
    auto file = brevio::media::MediaFile::Open(Movie());
    if (!file) {
        state.SkipWithError("the engine cannot open the movie");
        return;
    }
    int64_t frames = 0;
    for (auto _ : state) {
        auto decoder = brevio::media::VideoDecoder::Create(file, 1);
        brevio::media::FrameScaler scaler;
        for (int i = 0; i < decoder->FrameCount(); ++i) {
            const AVFrame* frame = decoder->DecodeFrame(i, nullptr, true);
            QImage picture = scaler.Letterbox(frame, QSize(320, 240));
            benchmark::DoNotOptimize(picture.constBits());
            ++frames;
        }
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeAndScale1080p)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// 16 thumbnails at the unit starts through the frame source, as a strip fills.
void BM_SixteenThumbnails(benchmark::State& state) {
    brevio::RegisterFrameSourceComponent();
    const QString path = QString::fromStdString(Movie().string());
    for (auto _ : state) {
        CThumbnailMaker maker;
        if (FAILED(maker.Open(path))) {
            state.SkipWithError("open failed");
            return;
        }
        for (int unit = 0; unit < kUnits; ++unit) {
            QImage thumbnail;
            if (FAILED(maker.RenderThumbnail(UnitStart(unit), &thumbnail))) {
                state.SkipWithError("thumbnail failed");
                return;
            }
        }
    }
}
BENCHMARK(BM_SixteenThumbnails)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The parts of a thumbnail: decoding the unit-start frames alone, and the frame source's bytes.
void BM_SixteenUnitStartDecodes(benchmark::State& state) {
    auto file = brevio::media::MediaFile::Open(Movie());
    for (auto _ : state) {
        auto decoder = brevio::media::VideoDecoder::Create(file, 1);
        for (int unit = 0; unit < kUnits; ++unit) {
            benchmark::DoNotOptimize(decoder->DecodeAt(UnitStart(unit)));
        }
    }
}
BENCHMARK(BM_SixteenUnitStartDecodes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_SixteenFrameSourceImages(benchmark::State& state) {
    brevio::RegisterFrameSourceComponent();
    for (auto _ : state) {
        std::unique_ptr<brevio::IFrameSource> source;
        brevio::ComponentRegistry::Instance().CreateAs(brevio::kFrameSourceName, source);
        source->Open(QString::fromStdString(Movie().string()), 1);
        for (int unit = 0; unit < kUnits; ++unit) {
            std::unique_ptr<brevio::IFrameData> frame;
            std::vector<uint8_t> bytes;
            source->GetFrame(UnitStart(unit), 0, &frame);
            frame->GetImageBytes(&bytes);
            benchmark::DoNotOptimize(bytes.data());
        }
    }
}
BENCHMARK(BM_SixteenFrameSourceImages)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The ffmpeg tool: one run with input seeking per frame, each writing a PNG.
void BM_FfmpegSixteenFramesBySeeking(benchmark::State& state) {
    const auto dir = tm::TestTmpRoot() / ("bench-ffmpeg-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (auto _ : state) {
        for (int unit = 0; unit < kUnits; ++unit) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.6f", UnitStart(unit) / 1e7);
            tm::RunCommand({"ffmpeg", "-v", "error", "-y", "-ss", seconds, "-i", Movie().string(),
                            "-frames:v", "1",
                            (dir / ("f" + std::to_string(unit) + ".png")).string()});
        }
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FfmpegSixteenFramesBySeeking)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// The ffmpeg tool: one run selecting the 16 frames by number (decodes the whole movie).
void BM_FfmpegSixteenFramesBySelect(benchmark::State& state) {
    const auto dir = tm::TestTmpRoot() / ("bench-ffmpeg-sel-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (auto _ : state) {
        tm::RunCommand({"ffmpeg", "-v", "error", "-y", "-i", Movie().string(), "-vf",
                        "select=not(mod(n\\," + std::to_string(kFramesPerUnit) + "))", "-vsync",
                        "0", (dir / "f%02d.png").string()});
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FfmpegSixteenFramesBySelect)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Movie();  // made before any timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
