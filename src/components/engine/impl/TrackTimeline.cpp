#include "engine/impl/TrackTimeline.h"

#include <algorithm>

#include "engine/impl/BrevioUnits.h"

namespace brevio::engine {

namespace {

constexpr int64_t kOpenEnd = PresentedPiece::kOpenEnd;
// Far beyond any movie, small enough that sums and rescaling never overflow.
constexpr uint64_t kLongest = uint64_t(1) << 44;

}  // namespace

// Whether an edit of media time `mediaTime` (-1: empty) shows what follows `last`: then both are
// one stretch, cut as one (an edit list split at a point shows the same as without the split).
bool TrackTimeline::Continues(const TimelineSegment& last, int64_t mediaTime) const {
    if (last.Empty() || mediaTime < 0) return last.Empty() && mediaTime < 0;
    const int64_t end =
        last.mediaStart + Rescale(last.movieEnd - last.movieStart, movieScale_, mediaScale_);
    return std::llabs(end - mediaTime) <= 1;
}

TrackTimeline::TrackTimeline(const TrackModel& track, uint32_t movieTimeScale)
    : movieScale_(movieTimeScale), mediaScale_(track.mediaTimeScale) {
    if (!track.hasEdits) {
        // Without an edit list the media plays from its start, all of it.
        segments_.push_back(TimelineSegment{0, kOpenEnd, 0});
        return;
    }
    int64_t at = 0;
    for (const EditEntry& e : track.edits) {
        const int64_t length = int64_t(std::min(e.segmentDuration, kLongest));
        if (length == 0) continue;
        if (!segments_.empty() && Continues(segments_.back(), e.mediaTime))
            segments_.back().movieEnd += length;
        else
            segments_.push_back(
                TimelineSegment{at, at + length, e.mediaTime < 0 ? -1 : e.mediaTime});
        at += length;
        if (at >= int64_t(kLongest)) break;
    }
}

std::optional<int64_t> TrackTimeline::MediaAt(int64_t movieTime) const {
    for (const TimelineSegment& s : segments_) {
        if (movieTime < s.movieStart || movieTime >= s.movieEnd) continue;
        if (s.Empty()) return std::nullopt;
        return s.mediaStart + Rescale(movieTime - s.movieStart, movieScale_, mediaScale_);
    }
    return std::nullopt;
}

int64_t TrackTimeline::MovieAt(int64_t mediaTime) const {
    const TimelineSegment* first = nullptr;
    for (const TimelineSegment& s : segments_) {
        if (s.Empty()) continue;
        if (!first) first = &s;
        if (mediaTime < s.mediaStart) continue;
        int64_t t = s.movieStart + Rescale(mediaTime - s.mediaStart, mediaScale_, movieScale_);
        if (t < s.movieEnd) return t;
    }
    if (!first) return Rescale(mediaTime, mediaScale_, movieScale_);
    return first->movieStart + Rescale(mediaTime - first->mediaStart, mediaScale_, movieScale_);
}

std::vector<PresentedPiece> TrackTimeline::Pieces(int64_t begin, int64_t end) const {
    std::vector<PresentedPiece> pieces;
    for (const TimelineSegment& s : segments_) {
        const int64_t a = std::max(begin, s.movieStart), b = std::min(end, s.movieEnd);
        if (a >= b) continue;
        PresentedPiece p{a, b, -1, -1};
        if (!s.Empty()) {
            p.mediaStart = s.mediaStart + Rescale(a - s.movieStart, movieScale_, mediaScale_);
            p.mediaEnd = b == kOpenEnd
                             ? kOpenEnd
                             : s.mediaStart + Rescale(b - s.movieStart, movieScale_, mediaScale_);
        }
        pieces.push_back(p);
    }
    return pieces;
}

}  // namespace brevio::engine
