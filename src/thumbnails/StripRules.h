#pragma once
// The strip's rules as plain arithmetic, without a window or a document: which units a strip
// shows around a position, which run a click selects, and which scenes an undo or a redo brings
// back into view. The views call these and apply the results to their cache and scroll state.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace brevio {

// A stretch of the movie in ticks: [first, last).
struct TickSpan {
    int64_t first = 0;
    int64_t last = 0;
    bool operator==(const TickSpan&) const = default;
};

// The window of `length` units that starts `before` units ahead of the unit starting at
// `unitStart`, raised to 0 at the movie's start and pulled back to end at `total` when it would
// run past it (and then raised to 0 again for a movie shorter than the window).
TickSpan StripWindow(int64_t unitStart, int64_t unitDuration, int64_t total, int before,
                     int length);

// A run of strip positions: [start, end). Empty when nothing is selected.
struct SceneRun {
    int start = 0;
    int end = 0;
    bool empty() const { return start >= end; }
    bool operator==(const SceneRun&) const = default;
};

// The run of `length` scenes that a click at strip position p selects in a strip of `count`
// scenes (p below count), given the start of the run selected now, if any. A click in the right
// half of the current run or beyond it makes the clicked scene the last of the new run, otherwise
// the first; a run that would pass the end is pushed back to end with the strip (and then starts
// at 0 when it is longer than the strip). With `fewest` scenes or fewer nothing is selected.
SceneRun SelectedRun(int p, int count, unsigned length, std::optional<int> current, int fewest);

// The keys that move a selected run: one scene back or on, or to the movie's first or last scenes.
enum class RunMove { Back, Forward, First, Last };

// The first scene (in the movie, 0-based) of a run of `length` scenes after `move`, from a run
// starting at `start` in a movie of `scenes` scenes. The run stays whole inside the movie: it
// starts at 0 when it is as long as the movie or longer.
int MovedRunStart(int start, unsigned length, int scenes, RunMove move);

// What an undo brought back, in the editing state after it: the first restored scene and how
// many follow it.
struct RestoredScenes {
    size_t first = 0;
    size_t count = 0;
    bool operator==(const RestoredScenes&) const = default;
};

// The scenes an undo restored, comparing the editing states before and after it: from where the
// two first differ until `after` holds again the unit that stood there in `before`, or
// `unknownCount` scenes when it never does; units appended at the end all count. Nothing when
// `after` is not longer than `before` (the undo restored nothing).
std::optional<RestoredScenes> FindRestoredScenes(const std::vector<unsigned>& before,
                                                 const std::vector<unsigned>& after,
                                                 size_t unknownCount);

// The scene a redo leaves in view: in `after`, the first position where the states differ (the
// scene that followed the removed run), or the last scene when the run was removed from the end.
// Nothing when `before` is empty or `after` is not shorter (the redo removed nothing).
std::optional<size_t> FindSceneAfterRemoved(const std::vector<unsigned>& before,
                                            const std::vector<unsigned>& after);

}  // namespace brevio
