// `brevio cut` on movies made with the ffmpeg tool: the frames and the sound of the kept units,
// the unit table of the result, exit codes, and interruption.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>
#include <thread>

#include "ToolTestSupport.h"

extern char** environ;

namespace brevio::tooltest {
namespace {

using namespace brevio::testmovies;
namespace fs = std::filesystem;

struct CutCase {
    const char* remove;
    std::set<int> removed;  // 0-based
};

void PrintTo(const CutCase& c, std::ostream* os) {
    *os << "--remove " << c.remove;
}

class CutMovie : public ::testing::TestWithParam<CutCase> {};

// Frames and sound of the kept units of `source`, in order.
template <typename T>
std::vector<T> Kept(const std::vector<T>& all, const std::vector<int64_t>& unitStarts, int64_t end,
                    const std::set<int>& removed) {
    std::vector<T> kept;
    for (size_t u = 0; u < unitStarts.size(); ++u) {
        if (removed.count(int(u))) continue;
        const int64_t to = u + 1 < unitStarts.size() ? unitStarts[u + 1] : end;
        kept.insert(kept.end(), all.begin() + unitStarts[u], all.begin() + to);
    }
    return kept;
}

void CheckCut(const MovieOptions& options, const CutCase& c) {
    const auto source = MakeMovie(options);
    TempDir dir("cut");
    const auto out = dir / "cut.mov";
    auto r = Brevio({"cut", source.string(), "--remove", c.remove, "-o", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");  // quiet when standard error is not a terminal
    EXPECT_EQ(FfprobeErrors(out), "");

    const auto frames = options.Frames();
    std::vector<int64_t> frameStarts, sampleStarts;
    int64_t totalFrames = 0;
    for (int f : frames) {
        frameStarts.push_back(totalFrames);
        sampleStarts.push_back(totalFrames * 1001 * options.sampleRate / 30000 * options.channels);
        totalFrames += f;
    }
    const int64_t totalSamples = totalFrames * 1001 * options.sampleRate / 30000 * options.channels;

    // Video: exactly the kept units' frames.
    const auto written = FrameMd5(out);
    const auto kept = Kept(FrameMd5(source), frameStarts, totalFrames, c.removed);
    EXPECT_EQ(written.size(), kept.size())
        << "frames lost or added; with B-frames, check that the video edit still spans the whole "
           "media (its media time shifts the start, it does not shorten the duration)";
    EXPECT_EQ(written, kept);

    // The unit table: the kept units follow one another without gaps. Starts that are whole movie
    // time units stay exact; others must stay within half a frame of their first picture, the
    // limit within which a unit start finds its sync sample.
    bool exactTimes = true;
    for (int64_t f : frameStarts) exactTimes &= f * 1001 * options.movieTimeScale % 30000 == 0;
    const double tolerance = exactTimes ? 0.0 : double(FrameTicks(1)) / 2;
    auto info = Info(out);
    ASSERT_EQ(info.result, 0);
    ASSERT_EQ(info.units.size(), frames.size() - c.removed.size());
    int64_t at = 0;
    size_t row = 0;
    for (size_t u = 0; u < frames.size(); ++u) {
        if (c.removed.count(int(u))) continue;
        EXPECT_EQ(info.units[row].number, row + 1);
        EXPECT_NEAR(double(info.units[row].start), double(FrameTicks(at)), tolerance)
            << "unit " << u + 1;
        at += frames[u];
        ++row;
    }
    EXPECT_NEAR(double(info.totalTicks), double(FrameTicks(at)), tolerance);

    // Sound: PCM is cut sample-exactly, so every kept unit's sound starts with its pictures.
    if (options.audio == Audio::Pcm) {
        const auto pcm = PcmS16(out);
        const auto all = PcmS16(source);
        // Unit starts that fall on whole audio samples and whole movie time units are cut
        // exactly; elsewhere the writer may place a boundary anywhere within one movie time
        // unit, but the sound of every kept unit (less that margin at each end) must still
        // appear where the unit starts.
        bool exactGrid = true;
        for (int64_t f : frameStarts)
            exactGrid &= f * 1001 * options.sampleRate % 30000 == 0 &&
                         f * 1001 * options.movieTimeScale % 30000 == 0;
        if (exactGrid) {
            auto expected = Kept(all, sampleStarts, totalSamples, c.removed);
            ASSERT_EQ(pcm.size(), expected.size());
            EXPECT_TRUE(pcm == expected);
        } else {
            const int64_t ch = options.channels;
            const int64_t slack = options.sampleRate / options.movieTimeScale + 2;
            int64_t outAt = 0;
            for (size_t u = 0; u < frames.size(); ++u) {
                if (c.removed.count(int(u))) continue;
                const int64_t a = sampleStarts[u] / ch;
                const int64_t b =
                    u + 1 < frames.size() ? sampleStarts[u + 1] / ch : totalSamples / ch;
                const int64_t len = (b - a - 2 * slack) * ch;
                bool found = false;
                for (int64_t d = -slack; d <= slack && !found; ++d) {
                    const int64_t from = (outAt + slack + d) * ch;
                    if (from < 0 || from + len > int64_t(pcm.size())) continue;
                    found = std::equal(pcm.begin() + from, pcm.begin() + from + len,
                                       all.begin() + (a + slack) * ch);
                }
                EXPECT_TRUE(found) << "sound of unit " << u + 1 << " not where it starts";
                outAt += b - a;
            }
            EXPECT_NEAR(double(pcm.size()) / double(ch), double(outAt),
                        double(slack * int64_t(frames.size())));
        }
    }
}

TEST_P(CutMovie, H264WithPcm) {
    MovieOptions o;
    o.units = 5;
    o.framesPerUnit = 90;
    o.width = 192;
    o.height = 108;
    CheckCut(o, GetParam());
}

TEST_P(CutMovie, H264WithBFramesMoovFirst) {
    MovieOptions o;
    o.units = 5;
    o.framesPerUnit = 75;
    o.width = 192;
    o.height = 108;
    o.bframes = true;
    o.moovFirst = true;
    CheckCut(o, GetParam());
}

TEST_P(CutMovie, MotionJpegUnevenUnitsMonoAt44100) {
    MovieOptions o;
    o.unitFrames = {75, 105, 90, 120, 60};
    o.width = 160;
    o.height = 120;
    o.mjpeg = true;
    o.sampleRate = 44100;
    o.channels = 1;
    o.movieTimeScale = 600;
    CheckCut(o, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Removals, CutMovie,
                         ::testing::Values(CutCase{"1", {0}}, CutCase{"3", {2}}, CutCase{"5", {4}},
                                           CutCase{"1-2", {0, 1}}, CutCase{"2-4", {1, 2, 3}},
                                           CutCase{"4,5", {3, 4}}, CutCase{"1,3,5", {0, 2, 4}},
                                           CutCase{"4,2", {1, 3}}),
                         [](const ::testing::TestParamInfo<CutCase>& info) {
                             std::string name = "Remove_";
                             for (const char* c = info.param.remove; *c; ++c)
                                 name += *c == ',' ? '_' : *c == '-' ? 't' : *c;
                             return name;
                         });

TEST(CutCommand, AacKeepsItsFramesInStep) {
    MovieOptions o;
    o.units = 4;
    o.framesPerUnit = 90;
    o.width = 160;
    o.height = 120;
    o.audio = Audio::Aac;
    o.bframes = true;
    const auto source = MakeMovie(o);
    TempDir dir("cut");
    auto r = Brevio({"cut", source.string(), "--remove", "2", "-o", (dir / "o.mov").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FfprobeErrors(dir / "o.mov"), "");
    auto all = FrameMd5(source);
    std::vector<std::string> kept(all.begin(), all.begin() + 90);
    kept.insert(kept.end(), all.begin() + 180, all.end());
    EXPECT_EQ(FrameMd5(dir / "o.mov"), kept);
    // The sound lasts as long as the pictures, give or take an AAC frame or two.
    const double seconds = 270 * 1001 / 30000.0;
    EXPECT_NEAR(double(PcmS16(dir / "o.mov").size()) / 2 / 48000, seconds, 0.05);
    auto info = Info(dir / "o.mov");
    ASSERT_EQ(info.units.size(), 3u);
    EXPECT_EQ(info.units[1].start, FrameTicks(90));
}

TEST(CutCommand, ChapterMovieKeepsTheRemainingTitles) {
    MovieOptions o;
    o.units = 4;
    o.framesPerUnit = 45;
    o.width = 160;
    o.height = 120;
    o.chapters = true;
    o.titles = {"Arrival", "Beach", "Café", "Dinner"};
    const auto source = MakeMovie(o);
    auto before = Info(source);
    ASSERT_EQ(before.result, 0);
    ASSERT_TRUE(before.chapterMovie);
    TempDir dir("cut");
    auto r = Brevio({"cut", source.string(), "--remove", "2", "-o", (dir / "o.mov").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FfprobeErrors(dir / "o.mov"), "");
    auto info = Info(dir / "o.mov");
    ASSERT_EQ(info.result, 0);
    EXPECT_TRUE(info.chapterMovie);
    ASSERT_EQ(info.units.size(), 3u);
    EXPECT_EQ(info.units[0].title, "Arrival");
    EXPECT_EQ(info.units[1].title, "Café");
    EXPECT_EQ(info.units[2].title, "Dinner");
    EXPECT_NEAR(double(info.units[2].start), double(FrameTicks(90)), 10000.0);
    EXPECT_EQ(ProbeChapterTitles(dir / "o.mov"),
              (std::vector<std::string>{"Arrival", "Café", "Dinner"}));
    auto all = FrameMd5(source);
    std::vector<std::string> kept(all.begin(), all.begin() + 45);
    kept.insert(kept.end(), all.begin() + 90, all.end());
    EXPECT_EQ(FrameMd5(dir / "o.mov"), kept);
}

TEST(CutCommand, ResultCanBeCutAgain) {
    MovieOptions o;
    o.units = 6;
    o.framesPerUnit = 45;
    o.width = 160;
    o.height = 120;
    const auto source = MakeMovie(o);
    TempDir dir("cut");
    ASSERT_EQ(
        Brevio({"cut", source.string(), "--remove", "2", "-o", (dir / "a.mov").string()}).exitCode,
        0);
    // Units 3 and 5 of the cut movie were 4 and 6 of the source.
    auto r = Brevio(
        {"cut", (dir / "a.mov").string(), "--remove", "3,5", "-o", (dir / "b.mov").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto all = FrameMd5(source);
    std::vector<std::string> kept;
    for (int u : {0, 2, 4})
        kept.insert(kept.end(), all.begin() + u * 45, all.begin() + u * 45 + 45);
    EXPECT_EQ(FrameMd5(dir / "b.mov"), kept);
    EXPECT_EQ(Info(dir / "b.mov").units.size(), 3u);
}

TEST(CutCommand, BadArgumentsAndMoviesThatDoNotOpen) {
    MovieOptions o;
    o.units = 3;
    o.framesPerUnit = 60;
    o.width = 160;
    o.height = 120;
    const auto source = MakeMovie(o).string();
    TempDir dir("cut");
    const auto out = (dir / "o.mov").string();
    auto code = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "cut");
        return Brevio(args).exitCode;
    };
    EXPECT_EQ(code({source, "-o", out}), 2);                      // no list
    EXPECT_EQ(code({source, "--remove", "1"}), 2);                // no output
    EXPECT_EQ(code({"--remove", "1", "-o", out}), 2);             // no input
    EXPECT_EQ(code({source, "--remove", "0", "-o", out}), 2);     // units count from 1
    EXPECT_EQ(code({source, "--remove", "3-2", "-o", out}), 2);   // backwards
    EXPECT_EQ(code({source, "--remove", "1,,2", "-o", out}), 2);  // junk
    EXPECT_EQ(code({source, "--remove", "x", "-o", out}), 2);
    EXPECT_EQ(code({source, "--remove", "4", "-o", out}), 2);  // no such unit
    EXPECT_EQ(code({source, "--remove", "2-9", "-o", out}), 2);
    EXPECT_EQ(code({source, "--remove", "1-3", "-o", out}), 2);  // every unit
    EXPECT_EQ(code({source, "--remove", "1", "-o", out, "--bogus"}), 2);
    EXPECT_FALSE(fs::exists(out));
    const auto unnamed = Brevio({"cut", source, "--remove", "1", "-o", ""});
    EXPECT_EQ(unnamed.exitCode, 2);
    EXPECT_NE(unnamed.err.find("no output name"), std::string::npos) << unnamed.err;

    // An existing output is never touched, whatever else is wrong.
    { std::ofstream(out, std::ios::binary) << "keep me\n"; }
    const auto before = fs::last_write_time(out);
    EXPECT_EQ(code({source, "--remove", "1", "-o", out}), 2);
    EXPECT_EQ(ReadAll(out), "keep me\n");
    EXPECT_EQ(fs::last_write_time(out), before);
    EXPECT_EQ(code({source, "--remove", "1", "-o", source}), 2);  // the source itself

    const auto out2 = (dir / "o2.mov").string();
    { std::ofstream(dir / "junk.mov", std::ios::binary) << std::string(5000, '\x07'); }
    EXPECT_EQ(code({(dir / "junk.mov").string(), "--remove", "1", "-o", out2}), 5);
    EXPECT_EQ(code({(dir / "missing.mov").string(), "--remove", "1", "-o", out2}), 5);
    MovieOptions plain = o;
    plain.plain = true;
    EXPECT_EQ(code({MakeMovie(plain).string(), "--remove", "1", "-o", out2}), 3);
    MovieOptions shortMovie = o;
    shortMovie.units = 1;
    shortMovie.framesPerUnit = 120;  // exactly 4.004 s
    EXPECT_EQ(code({MakeMovie(shortMovie).string(), "--remove", "1", "-o", out2}), 4);
    EXPECT_FALSE(fs::exists(out2));
}

TEST(CutCommand, ShowsProgressOnATerminal) {
    MovieOptions o;
    o.units = 3;
    o.framesPerUnit = 90;
    o.width = 160;
    o.height = 120;
    const auto source = MakeMovie(o);
    TempDir dir("cut");
    // `script` runs the tool with a pseudo-terminal as its standard error.
    const std::string command = BrevioBinary() + " cut '" + source.string() + "' --remove 2 -o '" +
                                (dir / "o.mov").string() + "'";
    auto r = RunCommand({"script", "-qec", command, "/dev/null"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("100%"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find('\r'), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "o.mov"));
}

TEST(CutCommand, FailedWriteReportsSevenAndRemovesThePartialFile) {
    MovieOptions o;
    o.units = 3;
    o.framesPerUnit = 90;
    o.width = 320;
    o.height = 240;
    const auto source = MakeMovie(o);
    ASSERT_GT(fs::file_size(source), 1'000'000u);
    TempDir dir("cut");
    // The file size limit makes the write fail part way (with SIGXFSZ ignored, write() fails).
    const auto out = dir / "o.mov";
    auto r = RunCommand({"sh", "-c",
                         "ulimit -f 200; trap '' XFSZ; exec \"$0\" cut \"$1\" --remove 2 -o \"$2\"",
                         BrevioBinary(), source.string(), out.string()});
    EXPECT_EQ(r.exitCode, 7) << r.err;
    EXPECT_NE(r.err, "");
    EXPECT_FALSE(fs::exists(out));
    // A folder that does not exist.
    r = Brevio({"cut", source.string(), "--remove", "2", "-o", (dir / "no" / "o.mov").string()});
    EXPECT_EQ(r.exitCode, 7) << r.err;
}

// Starts `brevio cut` with standard error in a file, interrupts it once the output file appears,
// and returns its exit status.
TEST(CutCommand, InterruptRemovesThePartialFile) {
    const auto source = MakeMovie(LargeMovie());
    TempDir dir("cut");
    const auto out = dir / "o.mov";
    const std::string binary = BrevioBinary();
    std::vector<std::string> argv = {binary, "cut", source.string(), "--remove",
                                     "2",    "-o",  out.string()};

    int interrupted = 0, completed = 0;
    for (int attempt = 0; attempt < 5 && interrupted == 0; ++attempt) {
        pid_t pid = Spawn(argv);
        ASSERT_GT(pid, 0);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        // The movie is written into an unnamed file and named only when it is whole.
        const auto writing = [&] { return WritingSize(pid, dir.path()) >= 0; };
        while (!writing() && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = 0;
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (pid != 0) {
            kill(pid, SIGINT);
            int status = 0;
            waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal instead of handling it";
            if (WEXITSTATUS(status) == 130) {
                ++interrupted;
                EXPECT_FALSE(fs::exists(out)) << "output named although interrupted";
                EXPECT_TRUE(fs::is_empty(dir.path())) << "file left behind";
            } else {
                // Finished before the signal arrived: a complete, valid movie.
                ASSERT_EQ(WEXITSTATUS(status), 0);
                ++completed;
            }
        }
        std::error_code ec;
        fs::remove(out, ec);
    }
    EXPECT_EQ(interrupted, 1) << "the write always finished before the interrupt (" << completed
                              << " times)";
}

}  // namespace
}  // namespace brevio::tooltest
