#include "engine/impl/EditPlan.h"

#include <algorithm>

#include "engine/impl/BrevioUnits.h"
#include "engine/impl/FileImpl.h"
#include "engine/impl/MovieImpl.h"
#include "engine/impl/SampleTable.h"

namespace brevio::engine {

namespace {

// Appends samples [begin, end) of a per-sample track; chunks follow the source's byte runs.
void AppendSamples(OutTrack& out, const SampleList& samples, size_t begin, size_t end,
                   const uint32_t* durationOverride = nullptr) {
    for (size_t i = begin; i < end; ++i) {
        const SampleRef& s = samples[i];
        out.sizes.push_back(s.size);
        out.durations.push_back(durationOverride ? *durationOverride : s.duration);
        if (out.writeCtts) out.compositionOffsets.push_back(s.compositionOffset);
        if (out.writeStss && s.sync) out.syncSamples.push_back(uint32_t(out.sizes.size()));
        OutChunk* last = out.chunks.empty() ? nullptr : &out.chunks.back();
        if (last && last->inlineData < 0 && last->source == s.file &&
            last->offset + last->bytes == s.offset && last->samples < 65536) {
            last->bytes += s.size;
            ++last->samples;
        } else {
            out.chunks.push_back(OutChunk{s.file, s.offset, s.size, 1, -1});
        }
    }
}

struct Context {
    const CVarnoMovFile::Impl& file;
    const UnitStructure& units;
    const std::vector<unsigned>& kept;
    std::vector<int64_t> outStart;  // movie time scale, one more than kept
    uint32_t movieScale;
};

// Movie time -> media time of a track, through its edit list.
int64_t ToMedia(const TrackModel& tm, int64_t movieTime, uint32_t movieScale) {
    int64_t empty = int64_t(std::min<uint64_t>(tm.EmptyEditDuration(), INT32_MAX));
    return tm.EditMediaTime() + Rescale(movieTime - empty, movieScale, tm.mediaTimeScale);
}

// Video by key-frame groups: a unit runs in decode order from its sync sample to the next
// unit's. Unit lengths come from the unit starts, which lie within half a frame of the key
// frames, so the written groups would drift from the written unit starts over many cuts; the
// last sample of each group is lengthened or shortened so that the next group's key frame is
// presented exactly at its unit's new start.
void PlanMainVideo(const Context& c, const TrackModel& tm, const SampleList& samples,
                   OutTrack& out) {
    const size_t n = c.units.units.size();
    const int64_t E = tm.EditMediaTime();
    const int64_t empty = int64_t(std::min<uint64_t>(tm.EmptyEditDuration(), INT32_MAX));
    int64_t written = 0;  // decode time of the next sample written
    for (size_t j = 0; j < c.kept.size(); ++j) {
        unsigned u = c.kept[j];
        size_t begin = u == 0 ? 0 : c.units.units[u].syncSample;
        size_t end = u + 1 < n ? c.units.units[u + 1].syncSample : samples.size();
        if (j > 0 && begin < samples.size() && !out.durations.empty()) {
            int64_t present = Rescale(c.outStart[j] - empty, c.movieScale, tm.mediaTimeScale);
            int64_t wanted = present + E - samples[begin].compositionOffset;
            int64_t adjusted = int64_t(out.durations.back()) + (wanted - written);
            adjusted = std::clamp<int64_t>(adjusted, 1, UINT32_MAX);
            written += adjusted - int64_t(out.durations.back());
            out.durations.back() = uint32_t(adjusted);
        }
        AppendSamples(out, samples, begin, end);
        for (size_t i = begin; i < end; ++i) written += samples[i].duration;
    }
}

void PlanChapters(const Context& c, const TrackModel& tm, const SampleList& samples,
                  OutTrack& out) {
    for (size_t j = 0; j < c.kept.size(); ++j) {
        int64_t a = Rescale(c.outStart[j], c.movieScale, tm.mediaTimeScale);
        int64_t b = Rescale(c.outStart[j + 1], c.movieScale, tm.mediaTimeScale);
        uint32_t d = uint32_t(std::clamp<int64_t>(b - a, 0, UINT32_MAX));
        AppendSamples(out, samples, c.kept[j], c.kept[j] + 1, &d);
    }
    // Chapters are placed at their new times from media time 0.
    out.emptyEdit = 0;
    out.editMediaTime = 0;
    out.writeCtts = false;
    out.compositionOffsets.clear();
}

// Uncompressed audio: frame-exact ranges, splitting chunks at unit boundaries.
void PlanFrames(const Context& c, const TrackModel& tm, const TrackSamples& ts, OutTrack& out) {
    const uint32_t delta = FrameDelta(tm);
    const uint32_t bpf = ts.bytesPerFrame;
    out.frameSamples = true;
    out.frameDelta = delta;
    out.fixedSize = tm.tables.fixedSampleSize;
    const auto& chunks = ts.samples;
    int64_t totalFrames = 0;
    for (const SampleRef& s : chunks) totalFrames += s.size / bpf;
    const int64_t E = tm.EditMediaTime();
    const int64_t empty = int64_t(std::min<uint64_t>(tm.EmptyEditDuration(), INT32_MAX));
    const size_t n = c.units.units.size();
    int64_t prevHi = 0;
    long prevUnit = -2;
    for (size_t j = 0; j < c.kept.size(); ++j) {
        unsigned u = c.kept[j];
        // From the unit's start (or where the previous unit of a run ended) to the written
        // unit's end, so that rounding never accumulates over the cuts.
        int64_t f0;
        if (long(u) == prevUnit + 1) {
            f0 = prevHi;
        } else {
            int64_t lo =
                u == 0 ? 0 : ToMedia(tm, c.units.units[u].start, c.movieScale) - (j == 0 ? E : 0);
            f0 = std::clamp<int64_t>(lo / delta, 0, totalFrames);
        }
        int64_t f1 = totalFrames;
        if (u + 1 < n) {
            int64_t end = E + Rescale(c.outStart[j + 1] - empty, c.movieScale, tm.mediaTimeScale);
            f1 = std::clamp<int64_t>(
                f0 + std::max<int64_t>(0, end / delta - int64_t(out.frameCount)), f0, totalFrames);
        }
        prevUnit = long(u);
        prevHi = f1;
        if (f1 <= f0) continue;
        // Chunks are in decode order and back to back in time.
        auto it = std::upper_bound(chunks.begin(), chunks.end(), f0 * int64_t(delta),
                                   [](int64_t t, const SampleRef& s) { return t < s.decodeTime; });
        if (it != chunks.begin()) --it;
        for (; it != chunks.end(); ++it) {
            int64_t cf0 = it->decodeTime / delta;
            int64_t cf1 = cf0 + it->size / bpf;
            if (cf0 >= f1) break;
            int64_t a = std::max(cf0, f0), b = std::min(cf1, f1);
            if (b <= a) continue;
            out.chunks.push_back(OutChunk{it->file, it->offset + uint64_t(a - cf0) * bpf,
                                          uint64_t(b - a) * bpf, uint32_t(b - a), -1});
            out.frameCount += uint64_t(b - a);
        }
    }
}

// Compressed audio and other tracks: samples by their start time. Each unit takes the samples
// from its start until the written track reaches the unit's new end to within half a sample, so
// the track stays in step with the units however many are cut.
void PlanByTime(const Context& c, const TrackModel& tm, const SampleList& samples, OutTrack& out) {
    const int64_t E = tm.EditMediaTime();
    const int64_t empty = int64_t(std::min<uint64_t>(tm.EmptyEditDuration(), INT32_MAX));
    const size_t n = c.units.units.size();
    size_t prevEnd = 0;
    long prevUnit = -2;
    int64_t outPos = 0;  // media time written so far
    for (size_t j = 0; j < c.kept.size(); ++j) {
        unsigned u = c.kept[j];
        size_t first;
        if (long(u) == prevUnit + 1) {
            first = prevEnd;
        } else if (u == 0) {
            first = 0;
        } else {
            int64_t lo = ToMedia(tm, c.units.units[u].start, c.movieScale) - (j == 0 ? E : 0);
            auto it =
                std::lower_bound(samples.begin(), samples.end(), lo,
                                 [](const SampleRef& s, int64_t t) { return s.decodeTime < t; });
            first = std::max(size_t(it - samples.begin()), prevEnd);
        }
        size_t k = first;
        if (u + 1 == n) {
            k = samples.size();
        } else {
            int64_t end = Rescale(c.outStart[j + 1] - empty, c.movieScale, tm.mediaTimeScale);
            while (k < samples.size() &&
                   2 * (outPos - E) + int64_t(samples[k].duration) < 2 * end) {
                outPos += samples[k].duration;
                ++k;
            }
        }
        for (size_t i = first; i < k && u + 1 == n; ++i) outPos += samples[i].duration;
        AppendSamples(out, samples, first, k);
        prevEnd = k;
        prevUnit = long(u);
    }
}

}  // namespace

void FinishTrackTiming(OutTrack& t, uint32_t movieScale) {
    const uint32_t mediaScale = t.source->mediaTimeScale;
    if (t.frameSamples) {
        t.mediaDuration = t.frameCount * t.frameDelta;
    } else {
        t.mediaDuration = 0;
        for (uint32_t d : t.durations) t.mediaDuration += d;
    }
    if (t.writeEdits) {
        // The source's edit hides part of its media: encoder priming of compressed audio (the
        // edit is shorter than the media), or nothing when the media time only delays the start
        // of B-frame video (the edit spans the whole media). The written edit hides as much.
        const TrackModel& src = *t.source;
        uint64_t srcShownMovie = 0;
        for (const EditEntry& e : src.edits)
            if (e.mediaTime >= 0) srcShownMovie += e.segmentDuration;
        int64_t hidden = t.editMediaTime;
        if (srcShownMovie > 0) {
            int64_t srcShown = Rescale(int64_t(srcShownMovie), movieScale, mediaScale);
            hidden = std::clamp<int64_t>(int64_t(src.mediaDuration) - srcShown, 0, t.editMediaTime);
        }
        int64_t shown = std::max<int64_t>(0, int64_t(t.mediaDuration) - hidden);
        t.trackDuration = t.emptyEdit + uint64_t(Rescale(shown, mediaScale, movieScale));
    } else {
        t.trackDuration = uint64_t(Rescale(int64_t(t.mediaDuration), mediaScale, movieScale));
    }
}

Result<OutputMovie> PlanEditedMovie(const CVarnoMovFile::Impl& file,
                                    const CBrevioMovie::Impl& movie) {
    const MovieModel& model = file.model;
    Context c{file, movie.structure, movie.state, {}, model.timeScale};
    c.outStart.push_back(0);
    for (unsigned u : movie.state)
        c.outStart.push_back(c.outStart.back() + movie.structure.units[u].duration);

    OutputMovie out;
    out.source = &model;
    out.timeScale = model.timeScale;
    out.duration = uint64_t(c.outStart.back());
    if (model.brvu) out.brvu = std::vector<uint32_t>(c.outStart.begin(), c.outStart.end() - 1);

    for (size_t ti = 0; ti < model.tracks.size(); ++ti) {
        const TrackModel& tm = model.tracks[ti];
        const TrackSamples& ts = file.samples.tracks[ti];
        for (const StscEntry& e : tm.tables.stsc)
            if (e.descriptionIndex != 1)
                return Fail("track " + std::to_string(ti + 1) +
                            " uses more than one sample description");
        int edits = 0;
        for (const EditEntry& e : tm.edits) edits += e.mediaTime >= 0;
        if (edits > 1)
            return Fail("track " + std::to_string(ti + 1) + " has more than one media edit");

        OutTrack ot;
        ot.source = &tm;
        ot.writeEdits = tm.hasEdits;
        ot.emptyEdit = std::min<uint64_t>(tm.EmptyEditDuration(), INT32_MAX);
        ot.editMediaTime = tm.EditMediaTime();
        for (const EditEntry& e : tm.edits)
            if (e.mediaTime >= 0) {
                ot.editRate = e.rate;
                break;
            }
        ot.writeCtts = tm.tables.hasCtts;
        ot.cttsVersion = tm.tables.cttsVersion;
        ot.writeStss = tm.tables.hasStss;

        if (int(ti) == file.chapterTrack && movie.structure.chapters)
            PlanChapters(c, tm, ts.samples, ot);
        else if (int(ti) == file.mainVideoTrack)
            PlanMainVideo(c, tm, ts.samples, ot);
        else if (UsesChunkSamples(tm))
            PlanFrames(c, tm, ts, ot);
        else
            PlanByTime(c, tm, ts.samples, ot);
        FinishTrackTiming(ot, model.timeScale);
        out.tracks.push_back(std::move(ot));
    }
    return out;
}

}  // namespace brevio::engine
