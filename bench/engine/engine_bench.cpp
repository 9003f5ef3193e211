// Times the engine against baselines measured in the same run:
//   engine_bench open FILE [REPS]        opening (file + units) vs libavformat opening the file
//   engine_bench reference FILE [REPS]   reference movie of the movie less its second unit, vs the
//                                        same libavformat opening
//   engine_bench write FILE BREVIO [REPS] `brevio cut FILE --remove 2` vs `cp` and vs
//                                        `ffmpeg -c copy`, plus the peak memory of brevio cut and
//                                        of engine_cut (the same write linking only the engine)
// Every input is read once before timing so that all candidates find it in the page cache.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"

extern "C" {
#include <libavformat/avformat.h>
}

extern char** environ;

using namespace brevio::engine;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double TimeMedian(int reps, const std::function<void()>& body) {
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
        auto start = Clock::now();
        body();
        times.push_back(Milliseconds(Clock::now() - start));
    }
    return Median(times);
}

void Warm(const fs::path& file) {
    int fd = open(file.c_str(), O_RDONLY);
    if (fd < 0) return;
    std::vector<char> buffer(1 << 20);
    while (read(fd, buffer.data(), buffer.size()) > 0) {
    }
    close(fd);
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "engine_bench: %s\n", what.c_str());
    std::exit(1);
}

struct Opened {
    std::unique_ptr<CVarnoMovFile> file;
    std::unique_ptr<CBrevioMovie> movie;
};

Opened OpenMovie(const fs::path& path) {
    Opened o;
    o.file = std::make_unique<CVarnoMovFile>(FileLocator(path));
    if (!o.file->IsValid()) Fail(path.string() + ": " + o.file->GetError());
    o.movie = std::make_unique<CBrevioMovie>(o.file.get());
    if (!o.movie->IsValid()) Fail(path.string() + ": " + o.movie->GetError());
    return o;
}

size_t SampleCount(const CVarnoMovFile& file) {
    size_t n = 0;
    for (const auto& t : file.GetSamples().tracks) n += t.samples.size();
    return n;
}

double LibavformatOpen(const fs::path& path, int reps) {
    av_log_set_level(AV_LOG_ERROR);
    return TimeMedian(reps, [&] {
        AVFormatContext* context = nullptr;
        if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
            Fail("libavformat cannot open " + path.string());
        avformat_close_input(&context);
    });
}

std::string Size(const fs::path& path) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(fs::file_size(path)) / 1e6);
    return text;
}

int BenchOpen(const fs::path& path, int reps) {
    Warm(path);
    size_t units = 0, samples = 0;
    const double engine = TimeMedian(reps, [&] {
        auto o = OpenMovie(path);
        units = o.movie->GetShootingUnitCount();
        samples = SampleCount(*o.file);
    });
    const double baseline = LibavformatOpen(path, reps);
    std::printf(
        "| open | %s | %zu units, %zu samples | %.2f ms | libavformat open %.2f ms | %.2f |\n",
        Size(path).c_str(), units, samples, engine, baseline, engine / baseline);
    return 0;
}

int BenchReference(const fs::path& path, int reps) {
    Warm(path);
    auto o = OpenMovie(path);
    if (!o.movie->RemoveShootingUnit(1)) Fail("cannot remove unit 2");
    const fs::path out = path.parent_path() / (path.stem().string() + "-reference.mov");
    CBrevioMovFileEditor editor(*o.file);
    const double engine = TimeMedian(reps, [&] {
        if (editor.CreateReferenceMovFile(FileLocator(out), o.movie.get()) != CREATEMOVFILE_OK)
            Fail("reference movie failed");
    });
    const auto referenceSize = fs::file_size(out);
    fs::remove(out);
    const double baseline = LibavformatOpen(path, reps);
    std::printf(
        "| reference movie | %s | %u units, %zu samples, %.1f kB written | %.2f ms | "
        "libavformat open %.2f ms | %.2f |\n",
        Size(path).c_str(), o.movie->GetShootingUnitCount() + 1, SampleCount(*o.file),
        double(referenceSize) / 1e3, engine, baseline, engine / baseline);
    return 0;
}

struct ChildRun {
    double ms = 0;
    long maxRssKb = 0;
};

ChildRun Run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    sync();  // earlier writes are on disk before the clock starts
    auto start = Clock::now();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) Fail("cannot start " + argv[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Fail(argv[0] + " failed");
    ChildRun r;
    r.ms = Milliseconds(Clock::now() - start);
    r.maxRssKb = usage.ru_maxrss;
    return r;
}

int BenchWrite(const fs::path& path, const std::string& brevio, const std::string& engineCut,
               int reps) {
    Warm(path);
    const fs::path out = path.parent_path() / (path.stem().string() + "-bench-out.mov");
    std::vector<double> engine, copy, copySync, remux;
    long maxRss = 0;
    for (int i = 0; i < reps; ++i) {
        fs::remove(out);
        auto e = Run({brevio, "cut", path.string(), "--remove", "2", "-o", out.string()});
        engine.push_back(e.ms);
        maxRss = std::max(maxRss, e.maxRssKb);
        fs::remove(out);
        copy.push_back(Run({"cp", path.string(), out.string()}).ms);
        fs::remove(out);
        // The engine flushes the finished movie's data to disk before naming it (fdatasync); cp
        // does not, so cp followed by `sync -d` of the copy is the like-for-like baseline.
        copySync.push_back(
            Run({"sh", "-c", "cp \"$0\" \"$1\" && sync -d \"$1\"", path.string(), out.string()})
                .ms);
        fs::remove(out);
        remux.push_back(Run({"ffmpeg", "-nostdin", "-v", "error", "-i", path.string(), "-map", "0",
                             "-c", "copy", "-f", "mov", out.string()})
                            .ms);
        fs::remove(out);
    }
    const long engineOnlyRss = Run({engineCut, path.string(), out.string()}).maxRssKb;
    fs::remove(out);
    const long idleRss = Run({brevio, "--version"}).maxRssKb;
    const double e = Median(engine);
    const std::string movie = Size(path);
    auto row = [&](const char* baseline, double ms) {
        std::printf(
            "| final write (one unit removed) | %s | brevio cut, median of %d | %.0f ms | "
            "%s %.0f ms | %.2f |\n",
            movie.c_str(), reps, e, baseline, ms, e / ms);
    };
    row("cp", Median(copy));
    row("cp + sync -d of the copy (both flushed)", Median(copySync));
    row("ffmpeg -c copy", Median(remux));
    std::printf(
        "| peak memory, engine only (engine_cut) | %s | ru_maxrss | %.1f MB | limit 32 MB "
        "| %.2f |\n",
        movie.c_str(), double(engineOnlyRss) / 1024, double(engineOnlyRss) / 1024 / 32);
    std::printf(
        "| peak memory, brevio cut | %s | ru_maxrss; brevio --version alone: %.1f MB | "
        "%.1f MB | limit 32 MB | %.2f |\n",
        movie.c_str(), double(idleRss) / 1024, double(maxRss) / 1024, double(maxRss) / 1024 / 32);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: engine_bench open|reference FILE [REPS]\n"
                     "       engine_bench write FILE BREVIO [REPS]\n");
        return 2;
    }
    const std::string what = argv[1];
    const fs::path file = argv[2];
    if (what == "open") return BenchOpen(file, argc > 3 ? std::atoi(argv[3]) : 20);
    if (what == "reference") return BenchReference(file, argc > 3 ? std::atoi(argv[3]) : 20);
    if (what == "write" && argc > 3) {
        const auto engineCut = (fs::path(argv[0]).parent_path() / "engine_cut").string();
        return BenchWrite(file, argv[3], engineCut, argc > 4 ? std::atoi(argv[4]) : 3);
    }
    std::fprintf(stderr, "engine_bench: unknown measurement '%s'\n", what.c_str());
    return 2;
}
