#pragma once
// The order in which the thumbnail worker makes its thumbnails: every index once, in index order,
// except that every third step it looks at the index the view wants first (in the chapter strip,
// the left edge of what is on screen) and, when that lies ahead of its scan, makes the thumbnails
// from there to the end before it returns to where the plain scan stopped; when the wish lies
// behind both the run it is working on and the previous wish, it returns at once to the plain
// scan. A view that never wishes (always 0) gets plain index order: the shooting-unit strip.
//
// Made runs are skipped through `nextLink` (one entry per index, -1 while not made: the first
// index of a made run holds the index just after the run, the others lead back to it), and
// `limit`, the start of the made run that reaches the end, keeps the scan out of that run.
//
// No Qt, no threads: the worker supplies what the loop asks through ThumbnailScanHooks, which are
// all called on the worker's thread.
#include <cstdint>
#include <functional>

#include "platform/HResult.h"

namespace brevio {

struct ThumbnailScanHooks {
    // False once the view asked the worker to stop; read before every thumbnail.
    std::function<bool()> keepRunning;
    // The index the view wants first; read every third step.
    std::function<uint32_t()> priorityStart;
    // Makes thumbnail `index`; a failure ends the scan with that result.
    std::function<HRESULT(uint32_t index)> make;
    // The strip should be repainted: after every even step and the last.
    std::function<void()> invalidate;
};

// Runs the scan over `count` thumbnails. S_OK when every one was made or a stop was seen,
// otherwise the first failure of `make`.
HRESULT MakeThumbnailsInOrder(uint32_t count, const ThumbnailScanHooks& hooks);

}  // namespace brevio
