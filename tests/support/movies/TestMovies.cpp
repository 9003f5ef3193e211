#include "testmovies/TestMovies.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

namespace brevio::testmovies {

namespace fs = std::filesystem;

namespace {

std::vector<int> UnitStartFrames(const std::vector<int>& frames) {
    std::vector<int> starts;
    int at = 0;
    for (int f : frames) {
        starts.push_back(at);
        at += f;
    }
    return starts;
}

bool Uniform(const std::vector<int>& frames) {
    for (int f : frames)
        if (f != frames.front()) return false;
    return true;
}

// An expression of the frame (or sample) index `n` that counts the unit boundaries passed.
std::string UnitIndexExpr(const std::vector<int64_t>& starts, bool uniform) {
    if (starts.size() < 2) return "0";
    if (uniform) return "floor(n/" + std::to_string(starts[1]) + ")";
    std::string e;
    for (size_t i = 1; i < starts.size(); ++i)
        e += (i > 1 ? "+" : "") + std::string("gte(n,") + std::to_string(starts[i]) + ")";
    return e;
}

std::string Hex(size_t v) {
    std::ostringstream s;
    s << std::hex << v;
    return s.str();
}

// Builds into a private folder of the cache and links it into place, so that parallel tests see
// either no file or a complete one. A movie another test put there first stays: replacing it would
// look to that test like its source movie changing on disk.
fs::path Cached(const std::string& key, const std::function<void(const fs::path&)>& build) {
    fs::path cache = TestTmpRoot() / "movies-cache";
    fs::create_directories(cache);
    fs::path target = cache / ("m-" + Hex(std::hash<std::string>{}(key)) + ".mov");
    if (fs::exists(target)) return target;
    TempDir work("movie-build");
    fs::path built = work / "movie.mov";
    build(built);
    std::error_code error;
    fs::create_hard_link(built, target, error);  // same file system: atomic, never replaces
    if (error && !fs::exists(target)) throw std::runtime_error("cannot cache " + target.string());
    return target;
}

void Run(const std::vector<std::string>& argv) {
    auto r = RunCommand(argv);
    if (r.exitCode != 0) {
        std::string line;
        for (const auto& a : argv) line += a + " ";
        throw std::runtime_error("command failed (" + std::to_string(r.exitCode) + "): " + line +
                                 "\n" + r.err);
    }
}

}  // namespace

std::vector<int> MovieOptions::Frames() const {
    if (!unitFrames.empty()) return unitFrames;
    return std::vector<int>(size_t(units > 0 ? units : 0), framesPerUnit);
}

std::string MovieOptions::Key() const {
    std::ostringstream k;
    k << "v4";
    for (int f : Frames()) k << "," << f;
    k << ";" << width << "x" << height << ";b" << bframes << ";a" << int(audio) << "/" << sampleRate
      << "/" << channels << ";j" << mjpeg << ";c" << chapters << ";f" << moovFirst << ";ts"
      << movieTimeScale << ";p" << plain;
    // Options added later change the key only when used, so cached movies stay valid.
    if (frameRate) k << ";r" << frameRate;
    if (secondVideoGop) k << ";g2=" << secondVideoGop;
    if (audioDelayMs) k << ";ad" << audioDelayMs;
    if (hevc) k << ";hevc";
    for (const auto& t : titles) k << ";t=" << t;
    return k.str();
}

MovieOptions SmallMovie(std::vector<int> unitFrames) {
    MovieOptions o;
    o.unitFrames = std::move(unitFrames);
    o.width = 64;
    o.height = 48;
    o.bframes = true;
    o.channels = 1;
    o.frameRate = 30;
    return o;
}

fs::path TestTmpRoot() {
    const char* dir = std::getenv("BREVIO_TEST_TMP");
    fs::path root = dir && *dir ? fs::path(dir) : fs::path(BREVIO_DEFAULT_TEST_TMP);
    fs::create_directories(root);
    return root;
}

TempDir::TempDir(const std::string& prefix) {
    std::string pattern = (TestTmpRoot() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<uint32_t> UnitStarts(const MovieOptions& options) {
    std::vector<uint32_t> starts;
    const int64_t num = options.FrameNum(), den = options.FrameDen();
    for (int frame : UnitStartFrames(options.Frames())) {
        int64_t scaled = frame * num * options.movieTimeScale;
        starts.push_back(uint32_t((scaled + den / 2) / den));
    }
    return starts;
}

fs::path CopyMovie(const fs::path& source, const fs::path& destination) {
    fs::copy_file(source, destination, fs::copy_options::overwrite_existing);
    fs::permissions(destination, fs::perms::owner_write, fs::perm_options::add);
    return destination;
}

fs::path MakeMovie(const MovieOptions& options) {
    const auto frames = options.Frames();
    if (frames.empty()) throw std::invalid_argument("a movie needs at least one unit");
    return Cached(options.Key(), [&](const fs::path& out) {
        const int64_t frameNum = options.FrameNum(), frameDen = options.FrameDen();
        const auto startFrames = UnitStartFrames(frames);
        int64_t totalFrames = 0;
        for (int f : frames) totalFrames += f;
        const bool uniform = Uniform(frames);

        std::vector<int64_t> frameStarts(startFrames.begin(), startFrames.end());
        std::vector<int64_t> sampleStarts;
        for (int64_t f : frameStarts)
            sampleStarts.push_back(f * frameNum * options.sampleRate / frameDen);
        const int64_t delaySamples = int64_t(options.audioDelayMs) * options.sampleRate / 1000;
        const int64_t totalSamples =
            totalFrames * frameNum * options.sampleRate / frameDen - delaySamples;
        const bool sampleUniform =
            uniform && (int64_t(frames[0]) * frameNum * options.sampleRate) % frameDen == 0;

        const std::string size =
            std::to_string(options.width) + "x" + std::to_string(options.height);
        const std::string rate =
            options.frameRate > 0 ? std::to_string(options.frameRate) : std::string("30000/1001");
        std::string video = "testsrc2=s=" + size + ":r=" + rate + ",hue=h='(" +
                            UnitIndexExpr(frameStarts, uniform) +
                            ")*47',trim=end_frame=" + std::to_string(totalFrames);
        std::vector<std::string> args = {"ffmpeg", "-nostdin", "-v", "error", "-y",
                                         "-f",     "lavfi",    "-i", video};
        if (options.audio != Audio::None) {
            std::string pitch = "(330+55*(" + UnitIndexExpr(sampleStarts, sampleUniform) + "))";
            std::string expr = "0.5*sin(2*PI*" + pitch + "*t)";
            std::string all = expr;
            for (int c = 1; c < options.channels; ++c) all += "|" + expr;
            if (options.audioDelayMs)
                args.insert(args.end(),
                            {"-itsoffset", std::to_string(options.audioDelayMs) + "ms"});
            args.insert(args.end(),
                        {"-f", "lavfi", "-i",
                         "aevalsrc='" + all + "':s=" + std::to_string(options.sampleRate) +
                             ",atrim=end_sample=" + std::to_string(totalSamples)});
        }
        fs::path meta = out.parent_path() / "chapters.txt";
        if (options.chapters) {
            std::ofstream m(meta);
            m << ";FFMETADATA1\n";
            for (size_t i = 0; i < frames.size(); ++i) {
                std::string title = i < options.titles.size() ? options.titles[i]
                                                              : "Chapter " + std::to_string(i + 1);
                m << "[CHAPTER]\nTIMEBASE=1/" << frameDen << "\nSTART=" << frameStarts[i] * frameNum
                  << "\nEND=" << (frameStarts[i] + frames[i]) * frameNum << "\ntitle=" << title
                  << "\n";
            }
            args.insert(args.end(), {"-i", meta.string()});
        }
        args.insert(args.end(), {"-map", "0:v"});
        if (options.secondVideoGop > 0) args.insert(args.end(), {"-map", "0:v"});
        if (options.audio != Audio::None) args.insert(args.end(), {"-map", "1:a"});
        if (options.chapters)
            args.insert(args.end(), {"-map_chapters", options.audio != Audio::None ? "2" : "1"});
        else
            args.insert(args.end(), {"-map_chapters", "-1"});
        if (options.mjpeg) {
            args.insert(args.end(), {"-c:v", "mjpeg", "-q:v", "4", "-pix_fmt", "yuvj420p"});
        } else if (options.hevc) {
            std::string keys = "expr:";
            for (size_t i = 0; i < frameStarts.size(); ++i)
                keys +=
                    (i ? "+" : "") + std::string("eq(n,") + std::to_string(frameStarts[i]) + ")";
            args.insert(args.end(),
                        {"-c:v", "libx265", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-tag:v",
                         "hvc1", "-forced-idr", "1", "-x265-params", "log-level=error:open-gop=0",
                         "-force_key_frames:v", keys});
        } else {
            std::string keys = "expr:";
            if (uniform)
                keys += "eq(mod(n," + std::to_string(frames[0]) + "),0)";
            else
                for (size_t i = 0; i < frameStarts.size(); ++i)
                    keys += (i ? "+" : "") + std::string("eq(n,") + std::to_string(frameStarts[i]) +
                            ")";
            args.insert(args.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                                     "yuv420p", "-bf", options.bframes ? "2" : "0", "-g:v:0",
                                     "100000", "-force_key_frames:v:0", keys});
            if (options.secondVideoGop > 0)
                args.insert(args.end(), {"-g:v:1", std::to_string(options.secondVideoGop),
                                         "-sc_threshold:v:1", "0"});
        }
        if (options.audio == Audio::Pcm) args.insert(args.end(), {"-c:a", "pcm_s16le"});
        if (options.audio == Audio::Aac) args.insert(args.end(), {"-c:a", "aac", "-b:a", "128k"});
        args.insert(args.end(), {"-movie_timescale", std::to_string(options.movieTimeScale)});
        if (options.moovFirst) args.insert(args.end(), {"-movflags", "+faststart"});
        args.insert(args.end(), {"-f", "mov", out.string()});
        Run(args);
        if (!options.chapters && !options.plain) AddBrevioUnits(out, UnitStarts(options));
    });
}

fs::path MakeMovieWithBrevio(const MovieOptions& options) {
    if (!options.unitFrames.empty() || options.moovFirst || options.plain ||
        options.movieTimeScale != 1000 || options.frameRate || options.secondVideoGop ||
        options.audioDelayMs)
        throw std::invalid_argument("option not supported by brevio make");
    const std::string binary = BrevioBinary();
    struct stat st {};
    if (stat(binary.c_str(), &st) != 0) throw std::runtime_error("no brevio tool at " + binary);
    std::string key = "brevio;" + options.Key() + ";bin" + std::to_string(st.st_mtim.tv_sec) + "." +
                      std::to_string(st.st_mtim.tv_nsec);
    return Cached(key, [&](const fs::path& out) {
        std::ostringstream seconds;
        seconds.precision(12);
        seconds << double(options.framesPerUnit) * double(options.FrameNum()) /
                       double(options.FrameDen());
        std::vector<std::string> args = {
            binary,
            "make",
            "--synthetic",
            std::to_string(options.units),
            "--size",
            std::to_string(options.width) + "x" + std::to_string(options.height),
            "--unit-seconds",
            seconds.str(),
            "--audio",
            options.audio == Audio::None  ? "none"
            : options.audio == Audio::Aac ? "aac"
                                          : "pcm"};
        if (options.bframes) args.push_back("--bframes");
        if (options.mjpeg) args.push_back("--mjpeg");
        if (options.chapters) args.push_back("--chapters");
        for (const auto& t : options.titles) args.insert(args.end(), {"--title", t});
        args.push_back(out.string());
        Run(args);
    });
}

}  // namespace brevio::testmovies
