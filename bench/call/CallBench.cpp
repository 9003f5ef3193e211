// call_bench: how long a photo browser waits from calling BREditDialog on a movie until the
// dialog shows the movie's first frame and the strip's thumbnails with their selection (the frame
// appears once all 16 thumbnails are made), and how much memory the call takes. Each measurement
// runs in a fresh child process (this program with --child), as a host that calls the library
// once; in the same round the ffmpeg tool decodes the same movie's first frame
// (`ffmpeg -v error -i MOVIE -frames:v 1 -f null -`), the baseline of both the time and the peak
// memory. With --before LIBDIR every round also runs the child on the library in LIBDIR (an
// earlier build), so that before and after share the machine's load.
//   usage: call_bench [--runs N] [--before LIBDIR] [MOVIE...]
// Without MOVIE it makes and runs three movies: 1080p H.264 of 20 one-second units, 4K Motion
// JPEG and 4K HEVC (x265, a key frame at each unit) of 12 half-second units.
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

std::vector<std::filesystem::path> DefaultMovies() {
    tm::MovieOptions hd;
    hd.units = 20;
    hd.framesPerUnit = 30;
    hd.width = 1920;
    hd.height = 1080;
    tm::MovieOptions mjpeg;
    mjpeg.units = 12;
    mjpeg.framesPerUnit = 15;
    mjpeg.width = 3840;
    mjpeg.height = 2160;
    mjpeg.mjpeg = true;
    tm::MovieOptions hevc = mjpeg;
    hevc.mjpeg = false;
    hevc.hevc = true;
    return {tm::MakeMovie(hd), tm::MakeMovie(mjpeg), tm::MakeMovie(hevc)};
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
            brevio::driver::FindByClass(driver.Player(), "brevio::player::PictureView");
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

struct Run {
    bool ok = false;
    double ms = 0;
    long peakKb = 0;  // the child's ru_maxrss
    std::string out;
};

// Runs argv with LD_LIBRARY_PATH set to libDir when not empty; times it from fork to exit and
// takes its peak memory from wait4.
Run RunMeasured(const std::vector<std::string>& argv, const std::string& libDir) {
    Run run;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return run;
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (!libDir.empty()) setenv("LD_LIBRARY_PATH", libDir.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        run.out.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.peakKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// One child call: its time to the usable dialog, measured inside the host, and its peak memory.
bool RunChild(const std::string& self, const std::filesystem::path& movie,
              const std::string& libDir, double& ms, long& peakKb) {
    const Run r = RunMeasured({self, "--child", movie.string()}, libDir);
    long childPeak = 0, before = 0;
    int result = 0;
    if (!r.ok ||
        std::sscanf(r.out.c_str(), "%lf %ld %ld %d", &ms, &childPeak, &before, &result) != 4) {
        std::fprintf(stderr, "call_bench: child failed on %s: %s\n", movie.c_str(), r.out.c_str());
        return false;
    }
    peakKb = childPeak;
    return true;
}

template <class T>
T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string Describe(const std::filesystem::path& movie) {
    const Run r =
        RunMeasured({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                     "stream=codec_name,width,height,nb_frames", "-of", "csv=p=0", movie.string()},
                    "");
    std::string d = r.out;
    while (!d.empty() && (d.back() == '\n' || d.back() == ',')) d.pop_back();
    return d;
}

struct Row {
    std::vector<double> ms, beforeMs, ffMs;
    std::vector<long> kb, beforeKb, ffKb;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--child") return Child(argv[2]);
    int runs = 5;
    std::string before;
    std::vector<std::filesystem::path> movies;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--before" && i + 1 < argc) {
            before = std::filesystem::absolute(argv[++i]).string();
        } else {
            movies.emplace_back(a);
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (movies.empty()) movies = DefaultMovies();
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();

    std::vector<Row> rows(movies.size());
    // Round by round over all movies, so that a change of load touches every row alike.
    for (int i = 0; i < runs; ++i) {
        for (size_t m = 0; m < movies.size(); ++m) {
            Row& row = rows[m];
            double ms = 0;
            long kb = 0;
            if (!RunChild(self, movies[m], "", ms, kb)) return 1;
            row.ms.push_back(ms);
            row.kb.push_back(kb);
            if (!before.empty()) {
                if (!RunChild(self, movies[m], before, ms, kb)) return 1;
                row.beforeMs.push_back(ms);
                row.beforeKb.push_back(kb);
            }
            const Run ff = RunMeasured({"ffmpeg", "-nostdin", "-v", "error", "-i",
                                        movies[m].string(), "-frames:v", "1", "-f", "null", "-"},
                                       "");
            if (!ff.ok) return 1;
            row.ffMs.push_back(ff.ms);
            row.ffKb.push_back(ff.peakKb);
        }
    }
    auto mb = [](long kb) { return static_cast<double>(kb) / 1024.0; };
    std::printf(
        "medians of %d rounds; time: call to first frame and 16 thumbnails shown; memory: "
        "peak of the host process (ru_maxrss)\n\n",
        runs);
    std::printf(
        "| movie | build | call | ffmpeg first frame | ratio | peak memory | ffmpeg peak "
        "| ratio |\n|---|---|---|---|---|---|---|---|\n");
    for (size_t m = 0; m < movies.size(); ++m) {
        const Row& row = rows[m];
        const double ff = Median(row.ffMs);
        const long ffKb = Median(row.ffKb);
        const std::string name = movies[m].filename().string() + " (" + Describe(movies[m]) + ", " +
                                 std::to_string(std::filesystem::file_size(movies[m]) / 1000000) +
                                 " MB)";
        auto line = [&](const char* build, const std::vector<double>& t,
                        const std::vector<long>& k) {
            const double ms = Median(t);
            const long kb = Median(k);
            std::printf("| %s | %s | %.0f ms | %.0f ms | %.2f | %.1f MB | %.1f MB | %.2f |\n",
                        name.c_str(), build, ms, ff, ms / ff, mb(kb), mb(ffKb),
                        static_cast<double>(kb) / static_cast<double>(ffKb));
        };
        if (!before.empty()) line("before", row.beforeMs, row.beforeKb);
        line(before.empty() ? "this" : "after", row.ms, row.kb);
    }
    return 0;
}
