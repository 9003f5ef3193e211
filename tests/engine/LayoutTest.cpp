// The final movie's layout: every run of source bytes longer than a block lands at an offset
// congruent to its source offset modulo the block size (so copy-on-write file systems can share
// the blocks), with less than a block of padding per run, and the movie written that way reads
// back frame for frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/impl/EditPlan.h"
#include "engine/impl/FileImpl.h"
#include "engine/impl/MovieImpl.h"
#include "engine/impl/MovieWriter.h"
#include "testmovies/TestMovies.h"

namespace {

namespace fs = std::filesystem;
using namespace brevio::engine;
using namespace brevio::testmovies;

std::vector<char> ReadAt(const fs::path& path, uint64_t offset, uint64_t length) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(offset));
    std::vector<char> bytes(length);
    in.read(bytes.data(), std::streamsize(length));
    if (uint64_t(in.gcount()) != length) bytes.clear();
    return bytes;
}

struct Cut {
    const char* name;
    std::vector<unsigned> removed;  // original unit indexes
};

TEST(EngineLayout, RunsLandCongruentToTheirSourceAndTheMovieReadsTheSame) {
    MovieOptions options;
    options.units = 6;
    options.width = 640;
    options.height = 480;
    const fs::path source = MakeMovie(options);
    const std::vector<std::string> sourceFrames = FrameMd5(source);
    ASSERT_EQ(sourceFrames.size(), 6u * 120u);
    TempDir dir("layout");
    const uint64_t block = brevio::engine::FileSystemBlockSize(dir.path());

    const Cut cuts[] = {{"first", {0}},        {"middle", {2}},        {"last", {5}},
                        {"first two", {0, 1}}, {"middle two", {2, 3}}, {"two apart", {1, 4}},
                        {"last two", {4, 5}}};
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.name);
        CVarnoMovFile file{FileLocator(source)};
        CBrevioMovie movie(&file);
        ASSERT_TRUE(movie.IsValid()) << movie.GetError();
        for (auto it = cut.removed.rbegin(); it != cut.removed.rend(); ++it)
            ASSERT_TRUE(movie.RemoveShootingUnit(*it));

        auto plan = brevio::engine::PlanEditedMovie(file.GetImpl(), movie.GetImpl());
        ASSERT_TRUE(plan.ok()) << plan.error();
        const auto layout = brevio::engine::LayOutFinalMovie(*plan, block);
        uint64_t end = layout.mdatOffset + (layout.largeMdat ? 16 : 8);
        size_t aligned = 0;
        for (const auto& run : layout.runs) {
            EXPECT_LT(run.destination - end, block) << "padding of a block or more";
            end = run.destination + run.bytes;
            if (run.inlineData >= 0 || run.bytes <= block) continue;
            EXPECT_EQ(run.destination % block, run.offset % block)
                << "run of " << run.bytes << " bytes from " << run.offset;
            ++aligned;
        }
        EXPECT_GT(aligned, 0u);

        const fs::path out = dir / (std::string(cut.name) + ".mov");
        CBrevioMovFileEditor editor(file);
        ASSERT_EQ(editor.CreateNewMovFile(FileLocator(out), &movie), CREATEMOVFILE_OK);
        // The file holds what the layout says, where it says.
        for (const auto& run : layout.runs) {
            if (run.inlineData >= 0) continue;
            ASSERT_EQ(ReadAt(out, run.destination, run.bytes),
                      ReadAt(source, run.offset, run.bytes))
                << "run at " << run.destination;
        }
        EXPECT_EQ(FfprobeErrors(out), "");
        std::vector<std::string> expected;
        for (unsigned u = 0; u < 6; ++u)
            if (std::find(cut.removed.begin(), cut.removed.end(), u) == cut.removed.end())
                expected.insert(expected.end(), sourceFrames.begin() + u * 120,
                                sourceFrames.begin() + (u + 1) * 120);
        EXPECT_EQ(FrameMd5(out), expected);
    }
}

}  // namespace
