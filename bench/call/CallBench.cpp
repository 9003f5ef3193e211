// call_bench: how long a photo browser waits from calling BREditDialog on a 1080p H.264 movie of
// 20 units until the dialog shows the movie's first frame and the strip's thumbnails with their
// selection (the frame appears once all 16 thumbnails are made), and how much memory the call
// takes. Each measurement runs in a fresh child process (this program with --child), as a host
// that calls the library once; the same run times the ffmpeg tool showing the movie's first frame
// as the baseline.
//   usage: call_bench [RUNS]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "brevioedit/BREditDialog.h"
#include "testmovies/TestMovies.h"

namespace {

namespace tm = brevio::testmovies;
constexpr int kUnits = 20;
constexpr double kLimitMs = 600;
constexpr double kMemoryLimitMb = 150;

std::filesystem::path Movie() {
    tm::MovieOptions options;
    options.units = kUnits;
    options.framesPerUnit = 30;
    options.width = 1920;
    options.height = 1080;
    return tm::MakeMovie(options);
}

// Resident set size now, in kB (VmRSS).
long CurrentRssKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

bool ShowsPicture(QWidget* widget) {
    if (widget == nullptr || !widget->isVisible()) return false;
    const QImage image = widget->grab().toImage();
    const QRgb centre = image.pixel(image.width() / 2, image.height() / 3);
    return qGray(centre) > 16;  // the movie's first frame, not the empty black picture
}

// The child: one call, measured. Prints "milliseconds peak_kb before_kb".
int Child(const char* movie) {
    int argc = 1;
    char name[] = "call_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    const long before = CurrentRssKb();
    QElapsedTimer clock;
    double shownMs = -1;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QDialog* dialog = brevio::driver::FindEditDialog();
        if (dialog == nullptr) return;
        brevio::driver::DialogDriver driver(dialog);
        QWidget* picture =
            brevio::driver::FindByClass(driver.Player(), "brevio::player::CPictureView");
        if (!ShowsPicture(picture) || !driver.HasSelectionFrame()) return;
        shownMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        poll.stop();
        driver.ClickButton(1006);
    });
    poll.start();
    const std::u16string path = std::filesystem::path(movie).u16string();
    std::vector<char16_t> saved(1024);
    clock.start();
    const int32_t result =
        BREditDialog(path.c_str(), nullptr, saved.data(), 1024, 0, nullptr, 0, nullptr);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.1f %ld %ld %d\n", shownMs, usage.ru_maxrss, before, result);
    return result == 1 && shownMs >= 0 ? 0 : 1;
}

struct Sample {
    double ms = -1;
    long peakKb = 0;
    long beforeKb = 0;
};

bool RunChild(const std::string& self, const std::filesystem::path& movie, Sample& sample) {
    const tm::CommandResult r = tm::RunCommand({self, "--child", movie.string()});
    if (r.exitCode != 0) {
        std::fprintf(stderr, "call_bench: child failed (%d): %s%s\n", r.exitCode, r.out.c_str(),
                     r.err.c_str());
        return false;
    }
    int result = 0;
    return std::sscanf(r.out.c_str(), "%lf %ld %ld %d", &sample.ms, &sample.peakKb,
                       &sample.beforeKb, &result) == 4;
}

double BaselineMs(const std::filesystem::path& movie) {
    const auto start = std::chrono::steady_clock::now();
    tm::RunCommand(
        {"ffmpeg", "-v", "error", "-i", movie.string(), "-frames:v", "1", "-f", "null", "-"});
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

template <class T>
T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--child") return Child(argv[2]);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::filesystem::path movie = Movie();
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();

    std::vector<double> times;
    std::vector<double> baselines;
    long peak = 0;
    long before = 0;
    for (int i = 0; i < runs; ++i) {
        Sample sample;
        if (!RunChild(self, movie, sample)) return 1;
        times.push_back(sample.ms);
        peak = std::max(peak, sample.peakKb);
        before = std::max(before, sample.beforeKb);
        baselines.push_back(BaselineMs(movie));
    }
    const double ms = Median(times);
    const double baseline = Median(baselines);
    const double peakMb = static_cast<double>(peak) / 1024.0;
    std::printf("movie: %s (%.1f MB, %d units, 1920x1080 H.264)\n", movie.c_str(),
                static_cast<double>(std::filesystem::file_size(movie)) / 1e6, kUnits);
    std::printf("| measurement | result | baseline | ratio | limit | ratio to limit |\n");
    std::printf("|---|---|---|---|---|---|\n");
    std::printf(
        "| call to first frame and 16 thumbnails shown, median of %d | %.0f ms | ffmpeg "
        "first frame %.0f ms | %.2f | %.0f ms | %.2f |\n",
        runs, ms, baseline, ms / baseline, kLimitMs, ms / kLimitMs);
    std::printf(
        "| peak memory of the host process (ru_maxrss, largest of %d) | %.1f MB | "
        "before the call %.1f MB | %.2f | %.0f MB | %.2f |\n",
        runs, peakMb, static_cast<double>(before) / 1024.0,
        peakMb / (static_cast<double>(before) / 1024.0), kMemoryLimitMb, peakMb / kMemoryLimitMb);
    return ms <= kLimitMs && peakMb <= kMemoryLimitMb ? 0 : 3;
}
