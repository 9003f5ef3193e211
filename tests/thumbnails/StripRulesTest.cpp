// The strip's rules as tables: the window of units around a position, the run a click selects, and
// the scenes an undo or a redo brings back into view.
#include <gtest/gtest.h>

#include "thumbnails/StripRules.h"

namespace brevio {
namespace {

TEST(StripRules, SixteenUnitsFromFourBeforeClampedToTheMovie) {
    const int64_t d = 1000;
    struct Case {
        int64_t unitStart, total;
        TickSpan expected;
    } cases[] = {
        {100 * d, 200 * d, {96 * d, 112 * d}},         // unit 100 of 200
        {199 * d, 200 * d, {184 * d, 200 * d}},        // the last unit
        {2 * d, 10 * d + d / 2, {0, 10 * d + d / 2}},  // 10.5 units: all of it
        {0, 200 * d, {0, 16 * d}},                     // the first unit
        {3 * d, 200 * d, {0, 16 * d}},                 // fewer than 4 before it
        {190 * d, 200 * d, {184 * d, 200 * d}},        // pushed back from the end
        {int64_t{1} << 40,
         int64_t{1} << 41,
         {(int64_t{1} << 40) - 4 * d, (int64_t{1} << 40) + 12 * d}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StripWindow(c.unitStart, d, c.total, 4, 16), c.expected) << c.unitStart;
    }
}

TEST(StripRules, HalfRunRuleAndClamping) {
    constexpr int kNone = -1;
    struct Case {
        int count;
        unsigned length;
        int current;  // start of the run selected now, kNone for none
        int click;
        SceneRun expected;
    } cases[] = {
        {16, 8, kNone, 3, {3, 11}},
        {16, 8, 3, 7, {0, 8}},  // right half of 3..10: 7 becomes the last
        {16, 8, 3, 6, {6, 14}},
        {16, 8, 3, 12, {5, 13}},
        {16, 8, 3, 15, {8, 16}},
        {16, 8, kNone, 10, {8, 16}},  // would pass the end: pushed back
        {16, 8, kNone, 8, {8, 16}},   // ends exactly at the end
        {16, 8, 0, 4, {0, 8}},        // right half of a run at the start: not before 0
        // A run longer than the strip selects the whole strip (no unsigned wrap).
        {6, 8, kNone, 2, {0, 6}},
        {6, 8, 0, 5, {0, 6}},
        {5, 4294967295u, kNone, 0, {0, 5}},
        // Four scenes or fewer: nothing can be selected.
        {4, 8, kNone, 1, {}},
        {0, 8, kNone, 0, {}},
        // A length change re-selects at the run's own start: kept, or shifted left to fit.
        {16, 4, 3, 3, {3, 7}},
        {16, 8, 12, 12, {8, 16}},
        // A run of one never moves by the half-run rule.
        {10, 1, 4, 7, {7, 8}},
    };
    for (const Case& c : cases) {
        const std::optional<int> current =
            c.current == kNone ? std::nullopt : std::optional(c.current);
        EXPECT_EQ(SelectedRun(c.click, c.count, c.length, current, 4), c.expected)
            << c.count << " scenes, length " << c.length << ", run " << c.current << ", click "
            << c.click;
    }
    EXPECT_EQ(SelectedRun(0, 2, 1, std::nullopt, 1), (SceneRun{0, 1}));  // one chapter of two
    EXPECT_TRUE(SelectedRun(0, 1, 1, std::nullopt, 1).empty());
}

TEST(StripRules, MoveKeysKeepTheRunWholeInTheMovie) {
    struct Case {
        int start;
        unsigned length;
        int scenes;
        RunMove move;
        int expected;
    } cases[] = {
        {3, 4, 20, RunMove::Forward, 4},
        {16, 4, 20, RunMove::Forward, 16},  // at the end
        {0, 4, 20, RunMove::Back, 0},
        {5, 4, 20, RunMove::Back, 4},
        {9, 4, 20, RunMove::First, 0},
        {2, 4, 20, RunMove::Last, 16},
        {0, 8, 6, RunMove::Forward, 0},
        {0, 8, 6, RunMove::Last, 0},  // longer than the movie
        {0, 4294967295u, 5, RunMove::Last, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MovedRunStart(c.start, c.length, c.scenes, c.move), c.expected)
            << c.start << " " << c.length << " of " << c.scenes << " move "
            << static_cast<int>(c.move);
    }
}

TEST(StripRules, ScenesBroughtBackByUndoAndRedo) {
    using State = std::vector<unsigned>;
    struct UndoCase {
        State before, after;
        std::optional<RestoredScenes> expected;
    } undos[] = {
        {{0, 1, 7, 8}, {0, 1, 2, 3, 4, 5, 6, 7, 8}, RestoredScenes{2, 5}},  // 5 from the middle
        {{3, 4}, {0, 1, 2, 3, 4}, RestoredScenes{0, 3}},                    // from the start
        {{0, 1}, {0, 1, 2, 3}, RestoredScenes{2, 2}},                       // from the end
        {{}, {0, 1, 2}, RestoredScenes{0, 3}},
        {{0, 9}, {0, 1, 2}, RestoredScenes{1, 8}},  // 9 never comes back: the default run
        {{0, 1, 2}, {0, 1, 2}, std::nullopt},       // nothing restored
        {{0, 1, 2}, {0, 2}, std::nullopt},
    };
    for (const UndoCase& c : undos) {
        EXPECT_EQ(FindRestoredScenes(c.before, c.after, 8), c.expected)
            << c.before.size() << " -> " << c.after.size();
    }
    struct RedoCase {
        State before, after;
        std::optional<size_t> expected;
    } redos[] = {
        {{0, 1, 2, 3, 4, 5, 6, 7, 8}, {0, 1, 7, 8}, 2},  // the scene after the removed run
        {{0, 1, 2, 3, 4}, {3, 4}, 0},
        {{0, 1, 2, 3}, {0, 1}, 1},  // removed from the end: the last scene left
        {{0, 1}, {}, 0},
        {{}, {}, std::nullopt},
        {{0, 1}, {0, 1}, std::nullopt},
        {{0}, {0, 1}, std::nullopt},
    };
    for (const RedoCase& c : redos) {
        EXPECT_EQ(FindSceneAfterRemoved(c.before, c.after), c.expected)
            << c.before.size() << " -> " << c.after.size();
    }
}

}  // namespace
}  // namespace brevio
