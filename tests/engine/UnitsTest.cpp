// Shooting units from BRVU and from chapter tracks, their checks, and the editing state.
#include <gtest/gtest.h>

#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/CVarnoMovie.h"
#include "testmovies/AtomBytes.h"
#include "testmovies/TestMovies.h"

using namespace brevio::engine;
using namespace brevio::testmovies;

namespace {

std::vector<unsigned> State(const CBrevioMovie& m) {
    std::vector<unsigned> s;
    m.GetEditingState(s);
    return s;
}

class EngineUnitsFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { movie_ = MakeMovie(SmallMovie({30, 15, 45, 30, 60})); }
    static std::filesystem::path movie_;
};
std::filesystem::path EngineUnitsFixture::movie_;

TEST_F(EngineUnitsFixture, UnitsFromBrvu) {
    CVarnoMovFile file(FileLocator{movie_});
    ASSERT_TRUE(file.IsValid()) << file.GetError();
    CBrevioMovie movie(&file);
    ASSERT_TRUE(movie.IsValid()) << movie.GetError();
    EXPECT_EQ(movie.GetTimeScale(), 1000);
    EXPECT_EQ(movie.GetTotalDuration(), 6000);
    ASSERT_EQ(movie.GetShootingUnitCount(), 5u);
    const int32_t starts[] = {0, 1000, 1500, 3000, 4000};
    const int32_t durations[] = {1000, 500, 1500, 1000, 2000};
    for (unsigned i = 0; i < 5; ++i) {
        EXPECT_EQ(movie.GetShootingUnit(i).GetOriginalStartTime(), starts[i]);
        EXPECT_EQ(movie.GetShootingUnit(i).GetCurrentStartTime(), starts[i]);
        EXPECT_EQ(movie.GetShootingUnit(i).GetDuration(), durations[i]);
        EXPECT_EQ(movie.GetShootingUnit(i).GetOriginalIndex(), i);
    }
    EXPECT_FALSE(movie.IsEdited());
    EXPECT_EQ(State(movie), (std::vector<unsigned>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(file.GetVarnoMovie()->HasChapter());
}

TEST_F(EngineUnitsFixture, RemoveAndRestoreUnits) {
    CVarnoMovFile file(FileLocator{movie_});
    CBrevioMovie movie(&file);
    ASSERT_TRUE(movie.IsValid()) << movie.GetError();
    EXPECT_FALSE(movie.RemoveShootingUnit(5));
    ASSERT_TRUE(movie.RemoveShootingUnit(1));
    EXPECT_TRUE(movie.IsEdited());
    EXPECT_EQ(State(movie), (std::vector<unsigned>{0, 2, 3, 4}));
    EXPECT_EQ(movie.GetTotalDuration(), 5500);
    // Kept units follow one another with no gap.
    EXPECT_EQ(movie.GetShootingUnit(1).GetOriginalIndex(), 2u);
    EXPECT_EQ(movie.GetShootingUnit(1).GetOriginalStartTime(), 1500);
    EXPECT_EQ(movie.GetShootingUnit(1).GetCurrentStartTime(), 1000);
    EXPECT_EQ(movie.GetShootingUnit(3).GetCurrentStartTime(), 3500);

    ASSERT_TRUE(movie.RemoveShootingUnit(3));
    ASSERT_TRUE(movie.RemoveShootingUnit(0));
    ASSERT_TRUE(movie.RemoveShootingUnit(0));
    EXPECT_EQ(State(movie), (std::vector<unsigned>{3}));
    EXPECT_EQ(movie.GetShootingUnit(0).GetCurrentStartTime(), 0);
    EXPECT_EQ(movie.GetTotalDuration(), 1000);
    EXPECT_FALSE(movie.RemoveShootingUnit(0)) << "the last unit stays";
    EXPECT_EQ(movie.GetShootingUnitCount(), 1u);

    ASSERT_TRUE(movie.SetEditingState({0, 1, 2, 3, 4}));
    EXPECT_FALSE(movie.IsEdited());
    EXPECT_EQ(movie.GetTotalDuration(), 6000);
    EXPECT_EQ(movie.GetShootingUnit(4).GetCurrentStartTime(), 4000);
}

TEST_F(EngineUnitsFixture, SetEditingStateRefusesBadStates) {
    CVarnoMovFile file(FileLocator{movie_});
    CBrevioMovie movie(&file);
    ASSERT_TRUE(movie.IsValid());
    ASSERT_TRUE(movie.SetEditingState({1, 4}));
    for (const auto& bad : std::vector<std::vector<unsigned>>{{}, {4, 1}, {1, 1}, {0, 5}, {7}}) {
        EXPECT_FALSE(movie.SetEditingState(bad));
        EXPECT_EQ(State(movie), (std::vector<unsigned>{1, 4})) << "a refused state changes nothing";
    }
    EXPECT_EQ(movie.GetShootingUnit(1).GetCurrentStartTime(), 500);
    EXPECT_EQ(movie.GetTotalDuration(), 2500);
    // GetEditingState appends to the caller's vector.
    std::vector<unsigned> s{9};
    movie.GetEditingState(s);
    EXPECT_EQ(s, (std::vector<unsigned>{9, 1, 4}));
}

TEST(EngineUnits, ChapterMovie) {
    TempDir dir("units");
    MovieOptions o = SmallMovie({30, 60, 45});
    o.chapters = true;
    o.titles = {"a", "b", "c"};
    // Both: the chapters count.
    const auto movieFile = CopyMovie(MakeMovie(o), dir / "c.mov");
    AddBrevioUnits(movieFile, {0, 500, 3500});
    CVarnoMovFile file(FileLocator{movieFile});
    ASSERT_TRUE(file.IsValid()) << file.GetError();
    CBrevioMovie movie(&file);
    ASSERT_TRUE(movie.IsValid()) << movie.GetError();
    ASSERT_EQ(movie.GetShootingUnitCount(), 3u);
    EXPECT_EQ(movie.GetShootingUnit(1).GetOriginalStartTime(), 1000);
    EXPECT_EQ(movie.GetShootingUnit(2).GetOriginalStartTime(), 3000);
    EXPECT_TRUE(file.GetVarnoMovie()->HasChapter());
}

TEST(EngineUnits, NotBrevio) {
    TempDir dir("units");
    MovieOptions o = SmallMovie({60, 60, 60});
    o.plain = true;
    const auto plain = MakeMovie(o);
    {
        CVarnoMovFile file(FileLocator{plain});
        ASSERT_TRUE(file.IsValid());
        CBrevioMovie movie(&file);
        EXPECT_FALSE(movie.IsValid());
        EXPECT_FALSE(movie.GetError().empty());
        EXPECT_EQ(movie.GetShootingUnitCount(), 0u);
        EXPECT_FALSE(movie.RemoveShootingUnit(0));
        EXPECT_FALSE(movie.SetEditingState({0}));
    }
    // Starts that do not rise, a first start above 0, a start past the end, a start off key frames.
    const std::vector<std::vector<uint32_t>> bad = {{0, 2000, 2000}, {0, 3000, 2000}, {100, 2000},
                                                    {0, 6000},       {0, 7000},       {0, 1000}};
    for (size_t i = 0; i < bad.size(); ++i) {
        auto p = dir / ("bad" + std::to_string(i) + ".mov");
        CopyMovie(plain, p);
        AddBrevioUnits(p, bad[i]);
        CVarnoMovFile file(FileLocator{p});
        ASSERT_TRUE(file.IsValid()) << file.GetError();
        CBrevioMovie movie(&file);
        EXPECT_FALSE(movie.IsValid()) << "case " << i;
    }
    CBrevioMovie none(nullptr);
    EXPECT_FALSE(none.IsValid());
}

}  // namespace
