// The edit history: cuts remove units last first, undo and redo move through the recorded states.
#include <gtest/gtest.h>

#include <numeric>

#include "DocumentTestSupport.h"
#include "document/CBRVWrapper.h"

namespace brevio {
namespace {

using State = std::vector<unsigned>;

class History : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(document.Open(test::Q(testmovies::MakeMovie(test::TenUnits()))), 0);
    }
    State Current() {
        State state{42};  // must be cleared by the read
        EXPECT_EQ(document.ReadEditingState(state), S_OK);
        return state;
    }
    static State Without(std::initializer_list<unsigned> removed) {
        State state;
        for (unsigned i = 0; i < 10; ++i)
            if (std::find(removed.begin(), removed.end(), i) == removed.end()) state.push_back(i);
        return state;
    }
    CBRVWrapper document;
};

TEST_F(History, FreshDocumentHasNothingToUndoOrRedo) {
    EXPECT_EQ(Current(), Without({}));
    EXPECT_FALSE(document.CanUndo());
    EXPECT_FALSE(document.CanRedo());
    EXPECT_EQ(document.Undo(), E_FAIL);
    EXPECT_EQ(document.Redo(), E_FAIL);
    EXPECT_EQ(Current(), Without({}));
}

TEST_F(History, CutRemovesTheLastIndexFirst) {
    ASSERT_EQ(document.CutUnits({2, 5, 7}), S_OK);
    // Removing 2 first would have removed the original units 2, 6 and 9.
    EXPECT_EQ(Current(), Without({2, 5, 7}));
    EXPECT_EQ(document.GetUnitCount(), 7u);
    EXPECT_TRUE(document.IsEdited());
    EXPECT_TRUE(document.CanUndo());
    EXPECT_FALSE(document.CanRedo());
    EXPECT_EQ(document.GetHistorySize(), 2u);

    // Start times follow the edit: unit 2 now is the original unit 3, starting where unit 2 did.
    int64_t start = 0;
    ASSERT_EQ(document.GetUnitStartTime(2, &start), S_OK);
    EXPECT_EQ(start, 2 * document.GetUnitDuration());
    int64_t total = 0;
    ASSERT_EQ(document.GetTotalTime(&total), S_OK);
    EXPECT_EQ(total, 70'070'000);
}

TEST_F(History, RefusedCutsChangeNothing) {
    EXPECT_EQ(document.CutUnits({}), E_INVALIDARG);
    EXPECT_EQ(document.CutUnits({3, 10}), E_INVALIDARG);  // last index equals the count
    EXPECT_EQ(Current(), Without({}));
    EXPECT_EQ(document.GetHistorySize(), 1u);
    EXPECT_FALSE(document.IsEdited());

    // Only the last index is checked: an unsorted list whose last element passes is applied as
    // given (7 first, then 2, which by then is the original unit 2).
    EXPECT_EQ(document.CutUnits({7, 2}), S_OK);
    EXPECT_EQ(Current(), Without({2, 8}));

    CBRVWrapper closed;
    EXPECT_EQ(closed.CutUnits({0}), E_FAIL);
    EXPECT_EQ(closed.CutUnits({}), E_FAIL);
    EXPECT_EQ(closed.Undo(), E_FAIL);
    EXPECT_EQ(closed.Redo(), E_FAIL);
    State state{1, 2};
    EXPECT_EQ(closed.ReadEditingState(state), S_FALSE);
    EXPECT_TRUE(state.empty());
    closed.RecordEditingState();
    EXPECT_EQ(closed.GetHistorySize(), 0u);
}

TEST_F(History, ACutAfterUndoDropsTheRedoTail) {
    ASSERT_EQ(document.CutUnits({1}), S_OK);
    ASSERT_EQ(document.CutUnits({4}), S_OK);  // the original unit 5
    ASSERT_EQ(document.Undo(), S_OK);
    EXPECT_TRUE(document.CanRedo());
    EXPECT_EQ(Current(), Without({1}));
    ASSERT_EQ(document.CutUnits({0}), S_OK);
    EXPECT_FALSE(document.CanRedo());
    EXPECT_EQ(document.GetHistorySize(), 3u);
    EXPECT_EQ(Current(), Without({0, 1}));
    ASSERT_EQ(document.Undo(), S_OK);
    ASSERT_EQ(document.Undo(), S_OK);
    EXPECT_EQ(Current(), Without({}));
    ASSERT_EQ(document.Redo(), S_OK);
    ASSERT_EQ(document.Redo(), S_OK);
    EXPECT_EQ(Current(), Without({0, 1}));  // the undone cut of unit 5 is gone for good
}

TEST_F(History, UndoToTheFirstAndRedoToTheLast) {
    ASSERT_EQ(document.CutUnits({9}), S_OK);
    ASSERT_EQ(document.CutUnits({0, 1}), S_OK);
    ASSERT_EQ(document.CutUnits({3}), S_OK);
    const State last = Current();
    EXPECT_EQ(last, Without({0, 1, 5, 9}));

    ASSERT_EQ(document.Undo(), S_OK);
    ASSERT_EQ(document.Undo(), S_OK);
    ASSERT_EQ(document.Undo(), S_OK);
    EXPECT_EQ(document.Undo(), E_FAIL);
    EXPECT_EQ(Current(), Without({}));
    // Undoing every cut makes the movie unchanged again.
    EXPECT_FALSE(document.IsEdited());
    EXPECT_EQ(document.GetUnitCount(), 10u);

    ASSERT_EQ(document.Redo(), S_OK);
    EXPECT_EQ(Current(), Without({9}));
    ASSERT_EQ(document.Redo(), S_OK);
    ASSERT_EQ(document.Redo(), S_OK);
    EXPECT_EQ(document.Redo(), E_FAIL);
    EXPECT_EQ(Current(), last);
    EXPECT_EQ(document.GetHistoryCursor(), 3u);
    EXPECT_TRUE(document.IsEdited());
}

TEST_F(History, ACutIsWholeOrNothingAndAMarkBringsTheHistoryBack) {
    ASSERT_EQ(document.CutUnits({0}), S_OK);
    // Every remaining unit: refused, the last unit always stays.
    State all(9);
    std::iota(all.begin(), all.end(), 0u);
    EXPECT_EQ(document.CutUnits(all), E_INVALIDARG);
    // A removal the engine refuses half-way (12, after 3 has gone) puts back what went.
    EXPECT_EQ(document.CutUnits({12, 3}), E_FAIL);
    EXPECT_EQ(Current(), Without({0}));
    EXPECT_EQ(document.GetHistorySize(), 2u);
    EXPECT_TRUE(document.CanUndo());

    // A mark taken before an edit restores the state and the history, redo tail included.
    ASSERT_EQ(document.Undo(), S_OK);
    CBRVWrapper::HistoryMark mark = document.MarkHistory();
    ASSERT_EQ(document.CutUnits({1}), S_OK);
    EXPECT_FALSE(document.CanRedo());
    ASSERT_EQ(document.RestoreHistory(std::move(mark)), S_OK);
    EXPECT_EQ(Current(), Without({}));
    EXPECT_FALSE(document.IsEdited());
    ASSERT_EQ(document.Redo(), S_OK);
    EXPECT_EQ(Current(), Without({0}));
    EXPECT_EQ(document.RestoreHistory({}), E_FAIL);
    EXPECT_EQ(Current(), Without({0}));
}

}  // namespace
}  // namespace brevio
