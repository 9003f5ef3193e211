// strip_bench: how long the strip takes to show 16 thumbnails of a 1080p H.264 movie after
// ShowScenesAt, and a cut until the reference movie is written and the rebuilt strip complete,
// each against the thumbnail maker alone making the same 16 thumbnails in the same run. A plain
// timing program: medians of several runs, printed as a table.
#include <QApplication>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "framesource/CThumbnailMaker.h"
#include "framesource/IFrameSource.h"
#include "testmovies/TestMovies.h"
#include "thumbnails/CThumbnailWnd.h"
#include "window/WindowBase.h"

namespace {

using brevio::CThumbnailMaker;
using Clock = std::chrono::steady_clock;
constexpr int kRuns = 15;
constexpr int kUnits = 40;  // room for 15 windows of 16
constexpr int kFramesPerUnit = 30;
constexpr int64_t kUnit = 10'010'000;  // 30 frames at 30000/1001: 1.001 s

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs the event loop until the strip's worker has completed its pass. The worker posts to the
// view when it clears `busy`, so waiting for events (not spinning) sees the end at once.
bool WaitComplete(const brevio::CThumbnailWnd& view) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    QTimer wake;  // a bound on each wait, should a message never come
    wake.start(50);
    while (view.IsBusy()) {
        if (Clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QCoreApplication::processEvents();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    brevio::RegisterFrameSourceComponent();

    brevio::testmovies::MovieOptions options;
    options.units = kUnits;
    options.framesPerUnit = kFramesPerUnit;
    options.width = 1920;
    options.height = 1080;
    const std::filesystem::path movie = brevio::testmovies::MakeMovie(options);
    const QString path = QString::fromStdString(movie.string());
    std::printf("movie: %s, %d units of 1.001 s, 1920x1080 H.264, %.1f MB\n", movie.c_str(), kUnits,
                double(std::filesystem::file_size(movie)) / 1e6);

    brevio::WindowBase parent;
    parent.Create(nullptr, QRect(0, 0, 720, 200));
    brevio::CThumbnailWnd view;
    if (view.OpenDocument(path) != 0) return 1;
    if (!view.Create(&parent, QRect(0, 0, 10, 10))) return 1;
    view.setGeometry(4, 36, 690, 64 + view.horizontalScrollBar()->sizeHint().height());
    view.SetSelectionLength(8);

    std::vector<double> maker, strip, cut;
    for (int run = 0; run < kRuns; ++run) {
        // The strip around unit 8 + run shows units 4 + run .. 19 + run.
        const int first = 4 + run;
        // The maker alone on the same 16 units, timed before and after the strip's two runs.
        const auto makerAlone = [&] {
            const auto start = Clock::now();
            CThumbnailMaker alone;
            QImage image;
            bool ok = SUCCEEDED(alone.Open(path));
            for (int i = 0; ok && i < 16; ++i) {
                ok = SUCCEEDED(alone.RenderThumbnail((first + i) * kUnit, &image));
            }
            maker.push_back(Ms(Clock::now() - start));
            return ok;
        };
        if (!makerAlone()) return 1;
        auto t0 = Clock::now();
        if (view.ShowScenesAt((first + 4) * kUnit) != S_OK || !WaitComplete(view)) return 1;
        strip.push_back(Ms(Clock::now() - t0));

        t0 = Clock::now();
        if (view.CutSelection() != S_OK || !WaitComplete(view)) return 1;
        cut.push_back(Ms(Clock::now() - t0));
        if (FAILED(view.UndoEdit()) || !WaitComplete(view)) return 1;
        view.SetSelectionLength(8);
        if (!makerAlone()) return 1;
    }
    const double m = Median(maker), s = Median(strip), c = Median(cut);
    std::printf("| measurement | median of %d | thumbnail maker alone | ratio | limit |\n", kRuns);
    std::printf("|---|---|---|---|---|\n");
    std::printf("| strip complete after ShowScenesAt | %.0f ms | %.0f ms | %.2f | 400 ms |\n", s, m,
                s / m);
    std::printf(
        "| cut: reference movie written, strip complete | %.0f ms | %.0f ms | %.2f | 500 ms |\n", c,
        m, c / m);
    view.DestroyWindow();
    parent.DestroyWindow();
    return 0;
}
