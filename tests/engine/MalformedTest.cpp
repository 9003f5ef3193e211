// Damaged and hostile files: every one must give IsValid() == false (or a non-Brevio movie),
// never a crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include "TestMovies.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"

using namespace brevio::enginetest;

namespace {

TEST(Malformed, EmptyAndMissingFiles) {
    TempDir dir("malformed");
    WriteFile(dir / "empty.mov", {});
    CVarnoMovFile empty(FileLocator(dir / "empty.mov"));
    EXPECT_FALSE(empty.IsValid());
    EXPECT_FALSE(empty.GetError().empty());
    EXPECT_EQ(empty.GetVarnoMovie(), nullptr);
    EXPECT_TRUE(empty.GetSamples().tracks.empty());
    CVarnoMovFile missing(FileLocator(dir / "nope.mov"));
    EXPECT_FALSE(missing.IsValid());
    CVarnoMovFile folder(FileLocator(dir.path()));
    EXPECT_FALSE(folder.IsValid());
}

}  // namespace
