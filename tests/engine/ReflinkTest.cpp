// Saving on a file system that shares blocks between files (XFS with reflink, on a loop-mounted
// image): the saved movie's media shares the source's extents, and it does not change when the
// source is overwritten afterwards. Needs root, loop devices and mkfs.xfs; skips without them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "testmovies/TestMovies.h"

namespace {

namespace fs = std::filesystem;
using namespace brevio::engine;
using namespace brevio::testmovies;

// An XFS image with reflink mounted on a folder for the test's lifetime.
class XfsMount {
public:
    explicit XfsMount(const fs::path& root) : image_(root / "xfs.img"), mount_(root / "mnt") {
        if (::geteuid() != 0) {
            why_ = "mounting needs root";
            return;
        }
        fs::create_directories(mount_);
        { std::ofstream(image_).close(); }
        fs::resize_file(image_, 600ull << 20);  // sparse
        auto mk = RunCommand({"mkfs.xfs", "-q", "-f", "-m", "reflink=1", image_.string()});
        if (mk.exitCode != 0) {
            why_ = "mkfs.xfs is not available: " + mk.err;
            return;
        }
        auto mount = RunCommand({"mount", "-o", "loop", image_.string(), mount_.string()});
        if (mount.exitCode != 0) {
            why_ = "loop mounting is not available here: " + mount.err;
            return;
        }
        mounted_ = true;
    }
    ~XfsMount() {
        if (mounted_) RunCommand({"umount", mount_.string()});
    }
    bool ok() const { return mounted_; }
    const std::string& why() const { return why_; }
    const fs::path& path() const { return mount_; }

private:
    fs::path image_, mount_;
    bool mounted_ = false;
    std::string why_;
};

// Bytes of the file in extents the file system reports as shared with another file.
uint64_t SharedBytes(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    constexpr unsigned kExtents = 512;
    std::vector<uint8_t> buffer(sizeof(fiemap) + kExtents * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    uint64_t shared = 0, start = 0;
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), 0);
        map->fm_start = start;
        map->fm_length = FIEMAP_MAX_OFFSET;
        map->fm_flags = FIEMAP_FLAG_SYNC;
        map->fm_extent_count = kExtents;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) break;
        bool last = false;
        for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent& e = map->fm_extents[i];
            if (e.fe_flags & FIEMAP_EXTENT_SHARED) shared += e.fe_length;
            last = last || (e.fe_flags & FIEMAP_EXTENT_LAST);
            start = e.fe_logical + e.fe_length;
        }
        if (last) break;
    }
    ::close(fd);
    return shared;
}

TEST(EngineReflink, SavedMovieSharesTheSourceBlocksAndKeepsItsFrames) {
    TempDir dir("reflink");
    XfsMount xfs(dir.path());
    if (!xfs.ok()) GTEST_SKIP() << "no XFS loop mount: " << xfs.why();

    MovieOptions options;
    options.units = 5;
    options.width = 1280;
    options.height = 720;
    const fs::path source = CopyMovie(MakeMovie(options), xfs.path() / "source.mov");
    const fs::path saved = xfs.path() / "saved.mov";
    {
        CVarnoMovFile file{FileLocator(source)};
        CBrevioMovie movie(&file);
        ASSERT_TRUE(movie.IsValid()) << movie.GetError();
        ASSERT_TRUE(movie.RemoveShootingUnit(2));
        // With progress reports, as the edit document saves: pieces end near every percent.
        int reports = 0;
        CBrevioMovFileEditor editor(file);
        editor.SetProgressCallback(
            [](EBrevioMovFileEditorProgressCallbackMessage, double, void* user) {
                ++*static_cast<int*>(user);
                return BrevioMovFileEditorContinue;
            },
            &reports);
        ASSERT_EQ(editor.CreateNewMovFile(FileLocator(saved), &movie), CREATEMOVFILE_OK);
        EXPECT_GT(reports, 50);
    }
    const uint64_t size = fs::file_size(saved);
    const uint64_t shared = SharedBytes(saved);
    // Everything but run heads and tails, the padding and the movie atom is shared.
    EXPECT_GT(shared, size * 8 / 10) << shared << " of " << size << " bytes shared";
    const auto frames = FrameMd5(saved);
    ASSERT_EQ(frames.size(), 4u * 120u);
    EXPECT_EQ(FfprobeErrors(saved), "");

    // Overwriting the source afterwards leaves the saved movie as it was.
    {
        std::fstream f(source, std::ios::in | std::ios::out | std::ios::binary);
        const std::vector<char> noise(fs::file_size(source) / 2, '\x5a');
        f.seekp(4096);
        f.write(noise.data(), std::streamsize(noise.size()));
    }
    EXPECT_EQ(FrameMd5(saved), frames);
}

}  // namespace
