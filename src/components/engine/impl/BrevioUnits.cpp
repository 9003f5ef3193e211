#include "engine/impl/BrevioUnits.h"

#include <algorithm>

#include "engine/impl/FileImpl.h"
#include "engine/impl/TrackTimeline.h"

namespace brevio::engine {

__extension__ typedef __int128 Int128;

int64_t Rescale(int64_t value, uint32_t from, uint32_t to) {
    if (from == to || from == 0) return value;
    Int128 v = Int128(value) * to;
    Int128 half = from / 2;
    Int128 r = v >= 0 ? (v + half) / from : -((-v + half) / from);
    if (r > INT64_MAX) return INT64_MAX;
    if (r < INT64_MIN) return INT64_MIN;
    return int64_t(r);
}

namespace {

Result<std::vector<int64_t>> ChapterStarts(const CVarnoMovFile::Impl& file) {
    const TrackModel& tm = file.model.tracks[size_t(file.chapterTrack)];
    const TrackSamples& ts = file.samples.tracks[size_t(file.chapterTrack)];
    std::vector<int64_t> starts;
    const TrackTimeline timeline(tm, file.model.timeScale);
    for (const SampleRef& s : ts.samples) starts.push_back(timeline.MovieAt(s.decodeTime));
    if (starts.empty()) return Fail("the chapter track has no chapters");
    return starts;
}

}  // namespace

Result<UnitStructure> ReadUnits(const CVarnoMovFile::Impl& file) {
    if (!file.valid) return Fail("the file is not valid");
    const MovieModel& model = file.model;
    if (model.timeScale > uint32_t(INT32_MAX)) return Fail("movie time scale too large");
    if (model.duration > uint64_t(INT32_MAX)) return Fail("movie too long");
    if (file.mainVideoTrack < 0) return Fail("no video track");

    UnitStructure result;
    result.timeScale = model.timeScale;
    result.duration = int32_t(model.duration);
    std::vector<int64_t> starts;
    if (file.chapterTrack >= 0) {
        auto c = ChapterStarts(file);
        if (!c) return Fail(c.error());
        starts = std::move(*c);
        result.chapters = true;
    } else if (model.brvu) {
        starts.assign(model.brvu->begin(), model.brvu->end());
    } else if (!model.brvuError.empty()) {
        return Fail(model.brvuError);
    } else {
        return Fail("neither shooting units nor chapters");
    }

    if (starts.front() != 0) return Fail("the first unit does not start at 0");
    for (size_t i = 1; i < starts.size(); ++i)
        if (starts[i] <= starts[i - 1]) return Fail("unit starts do not rise");
    if (starts.back() >= int64_t(model.duration))
        return Fail("a unit starts at or after the end of the movie");

    // Each unit must begin on a video sync sample: the first sample in presentation order no
    // earlier than half a frame before the unit's start (ties go to the earlier in decode order).
    // One pass over the samples finds, for every unit, the earliest sample presented between its
    // threshold and the next unit's; no per-sample memory is needed.
    const TrackModel& vm = model.tracks[size_t(file.mainVideoTrack)];
    const SampleList& video = file.samples.tracks[size_t(file.mainVideoTrack)].samples;
    if (video.empty()) return Fail("the video track has no samples");
    const int64_t frame = std::max<int64_t>(1, video.front().duration);
    const Int128 frameScaled = frame;
    // The media time the video shows at each unit's start.
    const TrackTimeline timeline(vm, model.timeScale);
    std::vector<int64_t> unitMedia(starts.size());
    for (size_t u = 0; u < starts.size(); ++u) {
        auto at = timeline.MediaAt(starts[u]);
        if (!at) return Fail("unit " + std::to_string(u + 1) + " has no video at its start");
        unitMedia[u] = *at;
    }
    // 2 x (presentation - unit start), in the media time scale.
    auto offset2 = [&](int64_t pts, size_t u) { return Int128(2) * (pts - unitMedia[u]); };
    struct Candidate {
        int64_t pts = 0;
        uint32_t sample = 0;
        bool found = false;
    };
    std::vector<Candidate> first(starts.size());
    uint32_t index = 0;
    for (const SampleRef& s : video) {
        const int64_t pts = s.decodeTime + s.compositionOffset;
        // The last unit whose threshold the sample reaches.
        size_t lo = 0, hi = starts.size();
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            if (offset2(pts, mid) < -frameScaled)
                hi = mid;
            else
                lo = mid + 1;
        }
        if (lo > 0) {
            Candidate& c = first[lo - 1];
            if (!c.found || pts < c.pts) c = Candidate{pts, index, true};
        }
        ++index;
    }

    result.units.resize(starts.size());
    // A later unit's samples are all presented after an earlier unit's: the earliest at or after
    // unit u's threshold is u's own, else the next unit's that has one.
    for (size_t u = starts.size() - 1; u-- > 0;)
        if (!first[u].found) first[u] = first[u + 1];
    for (size_t u = 0; u < starts.size(); ++u) {
        UnitInfo& info = result.units[u];
        info.start = int32_t(starts[u]);
        int64_t end = u + 1 < starts.size() ? starts[u + 1] : int64_t(model.duration);
        info.duration = int32_t(end - starts[u]);
        if (!first[u].found || offset2(first[u].pts, u) > frameScaled)
            return Fail("unit " + std::to_string(u + 1) + " has no video frame at its start");
        if (!video[first[u].sample].sync)
            return Fail("unit " + std::to_string(u + 1) + " does not begin on a key frame");
        info.syncSample = first[u].sample;
        if (u > 0 && info.syncSample <= result.units[u - 1].syncSample)
            return Fail("unit " + std::to_string(u + 1) +
                        " begins before the previous unit in decode order");
    }
    result.units.front().syncSample = 0;
    return result;
}

}  // namespace brevio::engine
