// `brevio cut` saves that are killed, that meet unusual names or a full disk: afterwards the
// folder holds either nothing new or the whole movie under the name exactly as given, never a
// hidden file, and a failure says the system's reason.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "ToolTestSupport.h"
#include "testmovies/Oracles.h"
#include "testmovies/Process.h"

namespace brevio::tooltest {
namespace {

namespace fs = std::filesystem;
using namespace testmovies;

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename() != "lost+found") names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The error text of reading every packet of every stream (hashed, without decoding: fast on
// large movies); empty when all read cleanly.
std::string PacketErrors(const fs::path& movie) {
    auto r = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", movie.string(), "-map", "0",
                         "-c", "copy", "-f", "framemd5", "-"});
    return r.exitCode == 0 ? r.err : "ffmpeg failed: " + r.err;
}

// A file system mounted on a folder of the test while it lives: `mount ARGS... DIR`.
class Mount {
public:
    Mount(const fs::path& dir, std::vector<std::string> args) : dir_(dir) {
        fs::create_directories(dir);
        args.insert(args.begin(), "mount");
        args.push_back(dir.string());
        auto r = RunCommand(args);
        mounted_ = r.exitCode == 0;
        why_ = r.err;
    }
    ~Mount() {
        if (mounted_) RunCommand({"umount", dir_.string()});
    }
    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }

private:
    fs::path dir_;
    bool mounted_ = false;
    std::string why_;
};

// `command`, started and watched until the movie it writes in `out` holds `size` bytes, it
// ends, or a minute passes.
struct Started {
    pid_t pid = -1;
    bool ended = false;
    int status = 0;  // when ended
};
Started SpawnUntilWritten(const std::vector<std::string>& command, const fs::path& out,
                          int64_t size) {
    Started started;
    started.pid = Spawn(command);
    if (started.pid <= 0) return started;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (WritingSize(started.pid, out) < size && !started.ended &&
           std::chrono::steady_clock::now() < deadline) {
        started.ended = ::waitpid(started.pid, &started.status, WNOHANG) == started.pid;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return started;
}

TEST(SaveSafety, KilledAtThreePointsOfALargeSaveLeavesNothingOrTheWholeMovie) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the superuser to mount a memory file system";
    const fs::path clip = MakeMovie(LargeMovie());
    TempDir work("kill");
    // Copies of the clip, one unit each, so that the cut (the second copy removed) is over 1 GB.
    const uint64_t clipSize = fs::file_size(clip);
    const uint64_t copies = 1 + ((uint64_t(1) << 30) + clipSize - 1) / clipSize;
    // In memory, so that gigabytes cost a second, not a minute of disk writes.
    const std::string size = std::to_string((3 * copies * clipSize >> 20) + 64) + "m";
    Mount ram(work / "ram", {"-t", "tmpfs", "-o", "size=" + size, "tmpfs"});
    if (!ram.mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << ram.why();
    const fs::path source = work / "ram" / "source.mov";
    const fs::path out = work / "ram" / "out";
    fs::create_directories(out);
    std::vector<std::string> make = {"make", source.string()};
    for (uint64_t i = 0; i < copies; ++i) make.push_back(clip.string());
    ASSERT_EQ(Brevio(make).exitCode, 0);

    const std::vector<std::string> cut = {
        BrevioBinary(), "cut", source.string(), "--remove", "2", "-o", (out / "cut.mov").string()};
    auto complete = RunCommand(cut);
    ASSERT_EQ(complete.exitCode, 0) << complete.err;
    // The whole movie, kept aside: every packet of the copied clips is readable.
    const fs::path whole = work / "ram" / "whole.mov";
    fs::rename(out / "cut.mov", whole);
    const auto wholeSize = int64_t(fs::file_size(whole));
    ASSERT_GT(wholeSize, int64_t(1) << 30);
    ASSERT_EQ(RunCommand({"ffprobe", "-v", "error", whole.string()}).err, "");
    ASSERT_EQ(PacketErrors(whole), "");

    struct Point {
        const char* name;
        int64_t size;  // the written size at which the signal is sent
    };
    const Point points[] = {{"start", 0}, {"middle", wholeSize / 2}, {"end", wholeSize}};
    for (int signal : {SIGKILL, SIGTERM}) {
        for (const Point& point : points) {
            SCOPED_TRACE(std::string(point.name) + (signal == SIGKILL ? " SIGKILL" : " SIGTERM"));
            auto [pid, ended, status] = SpawnUntilWritten(cut, out, point.size);
            ASSERT_GT(pid, 0);
            if (!ended) {
                ::kill(pid, signal);
                ::waitpid(pid, &status, 0);
            }
            const auto names = Names(out);
            if (WIFSIGNALED(status)) {
                EXPECT_EQ(WTERMSIG(status), signal);
            } else {
                EXPECT_EQ(WEXITSTATUS(status), 0) << "finished before the signal, but failed";
            }
            // Nothing, or the whole movie under its name; never a hidden file.
            if (!names.empty()) {
                ASSERT_EQ(names, std::vector<std::string>{"cut.mov"});
                EXPECT_EQ(
                    RunCommand({"cmp", "-s", whole.string(), (out / "cut.mov").string()}).exitCode,
                    0)
                    << "a different or partial movie under the name";
                fs::remove(out / "cut.mov");
            } else {
                EXPECT_TRUE(WIFSIGNALED(status)) << "exited without writing the movie";
            }
        }
    }

    // Another program rewrites 24 MB of the source in place as the copy starts and half-way
    // through: the save fails and names nothing, never a movie of other bytes.
    const uint64_t span = 24u << 20, at = fs::file_size(source) / 3;
    std::string original(span, '\0');
    std::fstream file(source, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(std::streamoff(at));
    ASSERT_TRUE(file.read(original.data(), std::streamsize(span)));
    std::string other = original;
    for (char& c : other) c = char(~c);
    for (const Point& point : {points[0], points[1]}) {
        SCOPED_TRACE(std::string("overwritten at the ") + point.name);
        auto [pid, ended, status] = SpawnUntilWritten(cut, out, point.size);
        ASSERT_GT(pid, 0);
        file.seekp(std::streamoff(at));
        file.write(other.data(), std::streamsize(span)).flush();
        if (!ended) ::waitpid(pid, &status, 0);
        file.seekp(std::streamoff(at));
        file.write(original.data(), std::streamsize(span)).flush();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 7) << "ended before the source was rewritten";
        EXPECT_EQ(Names(out), std::vector<std::string>{});
    }
}

TEST(SaveSafety, NamesAreWrittenExactlyAsGivenOrRefusedWithTheReason) {
    MovieOptions o;
    o.units = 3;
    o.framesPerUnit = 90;
    o.width = 160;
    o.height = 120;
    TempDir dir("names");
    // A source whose own name is not UTF-8 either.
    const fs::path source = CopyMovie(MakeMovie(o), dir / "source \xff.mov");
    ASSERT_EQ(Info(source).units.size(), 3u);
    std::string chinese;
    for (int i = 0; i < 80; ++i) chinese += "\xe7\x89\x87";  // 80 × 片: 240 bytes
    fs::create_symlink(dir / "nowhere", dir / "dangling.mov");

    struct Case {
        std::string name;
        int exitCode;
        std::string message;  // in the error output
    };
    const Case cases[] = {
        {chinese + ".mov", 0, ""},
        {std::string(246, 'a') + ".mov", 0, ""},
        {"bad\xff\xfe.mov", 0, ""},
        {"line\nbreak.mov", 0, ""},
        {"loud.MOV", 0, ""},
        {"a.b", 0, ""},
        {"dangling.mov", 2, "exists already"},
        {std::string(252, 'b') + ".mov", 7, std::strerror(ENAMETOOLONG)},
        {"missing/folder.mov", 7, std::strerror(ENOENT)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = Names(dir.path());
        auto r = Brevio({"cut", source.string(), "--remove", "2", "-o", (dir / c.name).string()});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        auto after = Names(dir.path());
        if (c.exitCode == 0) {
            // Exactly one new entry, with exactly the bytes given.
            ASSERT_EQ(after.size(), before.size() + 1);
            EXPECT_TRUE(fs::is_regular_file(dir / c.name));
            EXPECT_EQ(Info(dir / c.name).units.size(), 2u);
            fs::remove(dir / c.name);
        } else {
            EXPECT_EQ(after, before);
        }
    }
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.mov"));
}

TEST(SaveSafety, AFullDiskReportsItsReasonAndLeavesNothing) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the superuser to mount a file system image";
    MovieOptions o;
    o.units = 3;
    o.framesPerUnit = 90;
    o.width = 640;
    o.height = 480;
    o.mjpeg = true;
    const fs::path source = MakeMovie(o);
    TempDir dir("full");
    const fs::path image = dir / "small.img";
    ASSERT_EQ(RunCommand({"truncate", "-s", "4M", image.string()}).exitCode, 0);
    ASSERT_EQ(RunCommand({"mkfs.ext4", "-q", image.string()}).exitCode, 0);
    Mount small(dir / "mnt", {"-o", "loop", image.string()});
    if (!small.mounted()) GTEST_SKIP() << "loop mounts are not allowed here: " << small.why();
    ASSERT_GT(fs::file_size(source), 6u << 20);  // the cut needs more than the 4 MB disk

    auto r = Brevio({"cut", source.string(), "--remove", "2", "-o", (dir / "mnt/o.mov").string()});
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_NE(r.err.find(std::strerror(ENOSPC)), std::string::npos) << r.err;
    EXPECT_EQ(Names(dir / "mnt"), std::vector<std::string>{});
}

}  // namespace
}  // namespace brevio::tooltest
