#pragma once
// A track's edit list as segments of movie time, each either empty or showing a range of the
// media. Every movie-time to media-time conversion of the engine goes through this one place,
// so an empty edit at the start (sound that begins late) or several media edits are handled the
// same way by the units check and by the cutting plan.
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/impl/MovieModel.h"

namespace brevio::engine {

struct TimelineSegment {
    int64_t movieStart = 0;  // movie time scale
    int64_t movieEnd = 0;
    int64_t mediaStart = -1;  // media time scale; -1: an empty edit
    bool Empty() const { return mediaStart < 0; }
};

class TrackTimeline {
public:
    TrackTimeline(const TrackModel& track, uint32_t movieTimeScale);

    // The media time shown at a movie time; nothing inside an empty edit or past the end.
    std::optional<int64_t> MediaAt(int64_t movieTime) const;
    // The movie time at which a media time is first shown; a media time that is never shown is
    // placed as the first media edit would place it.
    int64_t MovieAt(int64_t mediaTime) const;
    // The pieces of [begin, end) in order; end may be PresentedPiece::kOpenEnd for "to the end of
    // the track".
    std::vector<PresentedPiece> Pieces(int64_t begin, int64_t end) const;
    const std::vector<TimelineSegment>& Segments() const { return segments_; }

private:
    bool Continues(const TimelineSegment& last, int64_t mediaTime) const;

    uint32_t movieScale_;
    uint32_t mediaScale_;
    std::vector<TimelineSegment> segments_;
};

}  // namespace brevio::engine
