#include "engine/impl/EditPlan.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "engine/impl/BrevioUnits.h"
#include "engine/impl/FileImpl.h"
#include "engine/impl/MovieImpl.h"
#include "engine/impl/SampleTable.h"
#include "engine/impl/TrackTimeline.h"

// The cutting plan. Kept units are joined into runs of source movie time; each track maps every
// run once through its edit list (TrackTimeline) into pieces of media time or of nothing; the
// track's kind then picks the samples that show each piece, and the written edit list says
// where each piece is shown. Empty edits and lead-in that must stay hidden therefore have one
// treatment for every kind of track, in the final movie and the reference movie alike.

namespace brevio::engine {

namespace {

using Samples = SampleList;
constexpr int64_t kOpenEnd = PresentedPiece::kOpenEnd;

// Consecutive kept units: where they lie in the source and where they go.
struct Run {
    int64_t begin = 0;     // source movie time
    int64_t end = 0;       // source movie time; kOpenEnd when the run holds the last unit
    int64_t outStart = 0;  // written movie time
};

// The written edit list of one track, grown piece by piece in written movie time. A piece of
// media either continues the open media edit (that edit shows the same media time there) or
// starts a new edit; stretches showing nothing become empty edits.
class EditListBuilder {
public:
    EditListBuilder(uint32_t movieScale, uint32_t mediaScale)
        : movieScale_(movieScale), mediaScale_(mediaScale) {}

    // The media time the open media edit shows at written time `at`, when it reaches there.
    std::optional<int64_t> Expected(int64_t at) const {
        if (edits_.empty() || edits_.back().mediaTime < 0 || at != cursor_) return std::nullopt;
        return ShownAt(at);
    }
    // The media time shown at written time `at` by the last edit, counted from its start.
    int64_t ShownAt(int64_t at) const {
        const EditEntry& e = edits_.back();
        const int64_t start = cursor_ - int64_t(e.segmentDuration);
        return e.mediaTime + Rescale(at - start, movieScale_, mediaScale_);
    }
    void Empty(int64_t at, int64_t length) { Gap(at + std::max<int64_t>(0, length)); }
    // Media from `mediaTime` shown at written time `at` for `length`.
    void Media(int64_t at, int64_t length, int64_t mediaTime, int64_t tolerance) {
        auto expected = Expected(at);
        if (!expected || std::llabs(*expected - mediaTime) > tolerance) {
            Gap(at);
            edits_.push_back(EditEntry{0, std::max<int64_t>(0, mediaTime), 0x10000});
        }
        length = std::max<int64_t>(0, length);
        edits_.back().segmentDuration += uint64_t(length);
        cursor_ = at + length;
    }
    // The list without trailing empty edits; `duration` is its length.
    std::vector<EditEntry> Finish(uint64_t& duration) {
        while (!edits_.empty() && edits_.back().mediaTime < 0) {
            cursor_ -= int64_t(edits_.back().segmentDuration);
            edits_.pop_back();
        }
        duration = uint64_t(std::max<int64_t>(0, cursor_));
        std::erase_if(edits_, [](const EditEntry& e) { return e.segmentDuration == 0; });
        return std::move(edits_);
    }

private:
    // Nothing is shown from the end of the list to `at`.
    void Gap(int64_t at) {
        if (at <= cursor_) return;
        if (edits_.empty() || edits_.back().mediaTime >= 0)
            edits_.push_back(EditEntry{0, -1, 0x10000});
        edits_.back().segmentDuration += uint64_t(at - cursor_);
        cursor_ = at;
    }

    uint32_t movieScale_, mediaScale_;
    std::vector<EditEntry> edits_;
    int64_t cursor_ = 0;  // written movie time covered so far
};

int64_t Pts(const SampleRef& s) {
    return s.decodeTime + s.compositionOffset;
}

// Index of the first sample decoded at or after media time t.
size_t FirstAtOrAfter(const Samples& samples, int64_t t) {
    auto it = std::partition_point(samples.begin(), samples.end(),
                                   [t](const SampleRef& s) { return s.decodeTime < t; });
    return size_t(it - samples.begin());
}

// The sample description of each listed sample (of each chunk, for chunk lists), from the
// sample-to-chunk table; 1 throughout in the usual case of a single description.
class Descriptions {
public:
    Descriptions(const SampleTables& t, bool perChunk) {
        if (std::all_of(t.stsc.begin(), t.stsc.end(),
                        [](const StscEntry& e) { return e.descriptionIndex == 1; }))
            return;
        uint64_t first = 0;
        for (size_t k = 0; k < t.stsc.size(); ++k) {
            const uint64_t next =
                k + 1 < t.stsc.size() ? t.stsc[k + 1].firstChunk : t.ChunkCount() + 1;
            const uint64_t chunks = next - std::min<uint64_t>(next, t.stsc[k].firstChunk);
            runs_.emplace_back(first, t.stsc[k].descriptionIndex);
            first += perChunk ? chunks : chunks * t.stsc[k].samplesPerChunk;
        }
    }
    uint32_t At(uint64_t index) const {
        if (runs_.empty()) return 1;
        auto it = std::upper_bound(runs_.begin(), runs_.end(), index,
                                   [](uint64_t i, const auto& run) { return i < run.first; });
        return it == runs_.begin() ? 1 : std::prev(it)->second;
    }

private:
    std::vector<std::pair<uint64_t, uint32_t>> runs_;  // first index, description
};

// Picks the samples of one track that show each piece, by the track's kind.
class TrackCutter {
public:
    TrackCutter(const TrackModel& model, const Samples& samples, OutTrack& out, uint32_t movieScale)
        : model_(model),
          samples_(samples),
          out_(out),
          movieScale_(movieScale),
          descriptions_(model.tables, UsesChunkSamples(model)) {}
    virtual ~TrackCutter() = default;

    // Adds the samples that show `piece` at written movie time `at` for `length` and extends
    // the edit list. `toEnd`: the piece ends the track, which keeps the rest of its media (its
    // length is kOpenEnd when the track has no edit list to say how much it shows).
    virtual void Add(const PresentedPiece& piece, int64_t at, int64_t length, bool toEnd,
                     EditListBuilder& edits) = 0;
    // Media time written so far.
    virtual int64_t Written() const { return written_; }

protected:
    // Appends samples [begin, end); chunks follow the source's byte runs.
    void Append(size_t begin, size_t end) {
        if (begin >= end) return;
        size_t index = begin;
        for (auto it = samples_.begin() + std::ptrdiff_t(begin),
                  stop = samples_.begin() + std::ptrdiff_t(end);
             it != stop; ++it, ++index) {
            const SampleRef s = *it;
            const uint32_t description = descriptions_.At(index);
            out_.sizes.push_back(s.size);
            out_.durations.push_back(s.duration);
            written_ += s.duration;
            if (out_.writeCtts) out_.compositionOffsets.push_back(s.compositionOffset);
            if (out_.writeStss && s.sync) out_.syncSamples.push_back(uint32_t(out_.sizes.size()));
            OutChunk* last = out_.chunks.empty() ? nullptr : &out_.chunks.back();
            if (last && last->inlineData < 0 && last->source == s.file &&
                last->offset + last->bytes == s.offset && last->samples < 65536 &&
                last->description == description) {
                last->bytes += s.size;
                ++last->samples;
            } else {
                out_.chunks.push_back(OutChunk{s.file, s.offset, s.size, 1, -1, description});
            }
        }
    }
    // The written length of a piece: as given, or for an open-ended piece the media written
    // from where it is shown.
    int64_t Length(int64_t length, int64_t shownFrom) const {
        if (length != kOpenEnd) return length;
        return std::max<int64_t>(
            0, Rescale(Written() - shownFrom, model_.mediaTimeScale, movieScale_));
    }

    const TrackModel& model_;
    const Samples& samples_;
    OutTrack& out_;
    uint32_t movieScale_;
    Descriptions descriptions_;
    int64_t written_ = 0;  // media time of the samples written
};

// Video by groups of pictures: a piece starts at the key frame that the frame at its start is
// decoded from, and the frames before that one are hidden by the edit. Where the group starts
// exactly at the piece (every unit start of the track the units are checked on), the last
// sample written before it is lengthened or shortened so that its key frame is presented just
// where the open edit reaches, and the edit goes on: the written track then stays within a
// frame of the units however many are cut.
class VideoCutter : public TrackCutter {
public:
    VideoCutter(const TrackModel& model, const Samples& samples, OutTrack& out, uint32_t movieScale)
        : TrackCutter(model, samples, out, movieScale) {
        uint32_t i = 0;
        for (const SampleRef& s : samples) {
            if (s.sync) syncs_.push_back(i);
            ++i;
        }
        if (syncs_.empty() && !samples.empty()) syncs_.push_back(0);
        half_ = samples.empty() ? 0 : int64_t(samples.front().duration) / 2;
    }

    void Add(const PresentedPiece& piece, int64_t at, int64_t length, bool toEnd,
             EditListBuilder& edits) override {
        if (samples_.empty()) return;
        const int64_t m0 = piece.mediaStart;
        // The last group whose key frame is presented no later than the piece's start.
        auto group = std::partition_point(syncs_.begin(), syncs_.end(), [&](uint32_t i) {
            return Pts(samples_[i]) <= m0 + half_;
        });
        if (group != syncs_.begin()) --group;
        const size_t s = *group;
        const size_t limit = group + 1 != syncs_.end() ? group[1] : samples_.size();
        const SampleRef key = samples_[s];
        // The frame presented at the piece's start.
        int64_t first = Pts(key);
        if (std::llabs(first - m0) > half_) {
            int64_t best = kOpenEnd;
            for (auto it = samples_.begin() + std::ptrdiff_t(s),
                      stop = samples_.begin() + std::ptrdiff_t(limit);
                 it != stop; ++it)
                if (Pts(*it) >= m0 - half_) best = std::min(best, Pts(*it));
            if (best != kOpenEnd) first = best;
        } else if (auto expected = edits.Expected(at); expected && !out_.durations.empty()) {
            const int64_t wanted = *expected - key.compositionOffset;
            const int64_t adjusted = std::clamp<int64_t>(
                int64_t(out_.durations.back()) + (wanted - written_), 1, UINT32_MAX);
            written_ += adjusted - int64_t(out_.durations.back());
            out_.durations.back() = uint32_t(adjusted);
        }
        const int64_t shown = written_ + (first - key.decodeTime);
        Append(s, toEnd ? samples_.size() : End(s, piece.mediaEnd));
        edits.Media(at, Length(length, shown), shown, half_);
    }

private:
    // One past the last sample of a piece ending at media time m1: the next group's key frame
    // when one is presented there, else one past the last sample presented before it.
    size_t End(size_t s, int64_t m1) const {
        auto next = std::partition_point(syncs_.begin(), syncs_.end(), [&](uint32_t i) {
            return i <= s || Pts(samples_[i]) < m1 - half_;
        });
        if (next != syncs_.end() && Pts(samples_[*next]) <= m1 + half_) return *next;
        // Frames are reordered only within a group, so none after the next key frame is
        // presented before m1.
        const size_t limit = next != syncs_.end() ? size_t(*next) : samples_.size();
        size_t end = s + 1, i = s;
        for (auto it = samples_.begin() + std::ptrdiff_t(s),
                  stop = samples_.begin() + std::ptrdiff_t(limit);
             it != stop; ++it, ++i)
            if (Pts(*it) < m1 - half_) end = i + 1;
        return end;
    }

    std::vector<uint32_t> syncs_;
    int64_t half_ = 0;
};

// Uncompressed audio: frame-exact ranges, splitting chunks at piece boundaries. A piece ends
// where its written edit ends, so that rounding never accumulates over the cuts.
class PcmCutter : public TrackCutter {
public:
    PcmCutter(const TrackModel& model, const TrackSamples& ts, OutTrack& out, uint32_t movieScale)
        : TrackCutter(model, ts.samples, out, movieScale),
          delta_(FrameDelta(model)),
          bpf_(ts.bytesPerFrame),
          totalFrames_(model.tables.sampleCount) {
        out.frameSamples = true;
        out.frameDelta = uint32_t(delta_);
        out.fixedSize = model.tables.fixedSampleSize;
    }

    void Add(const PresentedPiece& piece, int64_t at, int64_t length, bool toEnd,
             EditListBuilder& edits) override {
        const int64_t f0 = std::clamp<int64_t>(piece.mediaStart / delta_, 0, totalFrames_);
        const int64_t shown = Written() + (piece.mediaStart - f0 * delta_);
        int64_t f1 = totalFrames_;
        if (piece.mediaEnd != kOpenEnd)
            f1 = std::clamp<int64_t>(piece.mediaEnd / delta_ + (piece.mediaEnd % delta_ != 0), f0,
                                     totalFrames_);
        if (!toEnd) {
            edits.Media(at, length, shown, 2 * delta_);
            const int64_t end = edits.ShownAt(at + length) / delta_;
            f1 = std::clamp<int64_t>(f0 + end - int64_t(out_.frameCount), f0, f1);
        }
        Copy(f0, f1);
        if (toEnd) edits.Media(at, Length(length, shown), shown, 2 * delta_);
    }
    int64_t Written() const override { return int64_t(out_.frameCount) * delta_; }

private:
    void Copy(int64_t f0, int64_t f1) {
        if (f1 <= f0) return;
        // Chunks are in decode order and back to back in time.
        auto it = std::partition_point(samples_.begin(), samples_.end(), [&](const SampleRef& c) {
            return c.decodeTime <= f0 * delta_;
        });
        if (it != samples_.begin()) --it;
        for (; it != samples_.end(); ++it) {
            const SampleRef c = *it;
            const int64_t cf0 = c.decodeTime / delta_;
            const int64_t cf1 = cf0 + c.size / bpf_;
            if (cf0 >= f1) break;
            const int64_t a = std::max(cf0, f0), b = std::min(cf1, f1);
            if (b <= a) continue;
            out_.chunks.push_back(OutChunk{c.file, c.offset + uint64_t(a - cf0) * bpf_,
                                           uint64_t(b - a) * bpf_, uint32_t(b - a), -1,
                                           descriptions_.At(uint64_t(it - samples_.begin()))});
            out_.frameCount += uint64_t(b - a);
        }
    }

    int64_t delta_;
    uint32_t bpf_;
    int64_t totalFrames_;  // every chunk's frames, as the checked tables count them
};

// Compressed audio and every other track: whole samples by their start time. A piece that opens
// a new edit keeps as much lead-in as the source's edit hid (the encoder's priming of AAC),
// hidden again by the written edit; a piece that continues the open edit takes the samples from
// its start until the written track reaches the piece's written end to within half a sample.
class TimedCutter : public TrackCutter {
public:
    using TrackCutter::TrackCutter;

    void Add(const PresentedPiece& piece, int64_t at, int64_t length, bool toEnd,
             EditListBuilder& edits) override {
        if (samples_.empty()) return;
        const int64_t m0 = piece.mediaStart;
        size_t s;
        if (edits.Expected(at)) {
            const size_t near = std::min(FirstAtOrAfter(samples_, m0), samples_.size() - 1);
            s = FirstAtOrAfter(samples_, m0 - int64_t(samples_[near].duration) / 2);
        } else {
            const int64_t lead = std::clamp<int64_t>(model_.EditMediaTime(), 0, m0);
            s = FirstAtOrAfter(samples_, m0 - lead + 1);
            if (s > 0) --s;
        }
        if (s >= samples_.size()) return;
        const SampleRef first = samples_[s];
        const int64_t shown = Written() + (m0 - first.decodeTime);
        const int64_t tolerance = std::max<int64_t>(1, first.duration);
        if (toEnd) {
            size_t k = piece.mediaEnd == kOpenEnd ? samples_.size()
                                                  : FirstAtOrAfter(samples_, piece.mediaEnd);
            Append(s, std::max(k, s));
            edits.Media(at, Length(length, shown), shown, tolerance);
            return;
        }
        edits.Media(at, length, shown, tolerance);
        const int64_t target = edits.ShownAt(at + length);
        int64_t pos = Written();
        size_t k = s;
        for (auto it = samples_.begin() + std::ptrdiff_t(s); it != samples_.end(); ++it, ++k) {
            const SampleRef r = *it;
            if (2 * pos + int64_t(r.duration) >= 2 * target) break;
            if (piece.mediaEnd != kOpenEnd && r.decodeTime >= piece.mediaEnd) break;
            pos += r.duration;
        }
        Append(s, k);
    }
};

// Chapters: one sample per kept chapter, lasting its unit, from media time 0.
void PlanChapters(const std::vector<unsigned>& kept, const std::vector<int64_t>& outStart,
                  uint32_t movieScale, const TrackModel& tm, const Samples& samples,
                  OutTrack& out) {
    const Descriptions descriptions(tm.tables, false);
    for (size_t j = 0; j < kept.size() && kept[j] < samples.size(); ++j) {
        const SampleRef s = samples[kept[j]];
        const int64_t a = Rescale(outStart[j], movieScale, tm.mediaTimeScale);
        const int64_t b = Rescale(outStart[j + 1], movieScale, tm.mediaTimeScale);
        out.sizes.push_back(s.size);
        out.durations.push_back(uint32_t(std::clamp<int64_t>(b - a, 0, UINT32_MAX)));
        if (out.writeStss && s.sync) out.syncSamples.push_back(uint32_t(out.sizes.size()));
        out.chunks.push_back(OutChunk{s.file, s.offset, s.size, 1, -1, descriptions.At(kept[j])});
    }
    out.writeCtts = false;
    out.compositionOffsets.clear();
    FinishTrackTiming(out, movieScale);
}

// The unit table of a chapter movie: its own starts, moved with the chapters they lie in. Where
// the first kept chapter begins inside one of its units, that part becomes a unit of its own.
std::vector<uint32_t> MoveUnitStarts(const std::vector<uint32_t>& starts,
                                     const std::vector<Run>& runs) {
    std::vector<uint32_t> moved{0};
    for (const Run& r : runs)
        for (uint32_t s : starts)
            if (s >= r.begin && s < r.end) {
                const int64_t t = r.outStart + (s - r.begin);
                if (t > int64_t(moved.back()) && t <= int64_t(UINT32_MAX))
                    moved.push_back(uint32_t(t));
            }
    return moved;
}

}  // namespace

Status CheckCuttable(const TrackModel& track) {
    // Uncompressed sound is cut by its first description's frame size.
    if (UsesChunkSamples(track))
        for (const StscEntry& e : track.tables.stsc)
            if (e.descriptionIndex != 1)
                return Fail("uncompressed sound in more than one sample description");
    for (const EditEntry& e : track.edits)
        if (e.mediaTime >= 0 && e.segmentDuration > 0 && e.rate != 0x10000)
            return Fail("an edit plays its media at another rate");
    return {};
}

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
    const UnitStructure& units = movie.structure;
    const std::vector<unsigned>& kept = movie.state;
    const uint32_t scale = model.timeScale;

    std::vector<int64_t> outStart{0};
    std::vector<Run> runs;
    for (size_t j = 0; j < kept.size(); ++j) {
        const unsigned u = kept[j];
        const int64_t begin = units.units[u].start;
        const int64_t end = u + 1 < units.units.size() ? units.units[u + 1].start : kOpenEnd;
        if (j > 0 && kept[j - 1] + 1 == u)
            runs.back().end = end;
        else
            runs.push_back(Run{begin, end, outStart.back()});
        outStart.push_back(outStart.back() + units.units[u].duration);
    }

    OutputMovie out;
    out.source = &model;
    out.timeScale = scale;
    out.duration = uint64_t(outStart.back());
    if (model.brvu)
        out.brvu = units.chapters ? MoveUnitStarts(*model.brvu, runs)
                                  : std::vector<uint32_t>(outStart.begin(), outStart.end() - 1);

    for (size_t ti = 0; ti < model.tracks.size(); ++ti) {
        const TrackModel& tm = model.tracks[ti];
        const TrackSamples& ts = file.samples.tracks[ti];
        const std::string where = "track " + std::to_string(ti + 1);
        if (auto s = CheckCuttable(tm); !s) return Fail(where + ": " + s.error());

        OutTrack ot;
        ot.source = &tm;
        ot.writeCtts = tm.tables.hasCtts;
        ot.cttsVersion = tm.tables.cttsVersion;
        ot.writeStss = tm.tables.hasStss;
        ot.writeEdits = tm.hasEdits;

        if (int(ti) == file.chapterTrack && units.chapters) {
            PlanChapters(kept, outStart, scale, tm, ts.samples, ot);
            out.tracks.push_back(std::move(ot));
            continue;
        }

        std::unique_ptr<TrackCutter> cutter;
        if (tm.Kind() == TrackKind::Video)
            cutter = std::make_unique<VideoCutter>(tm, ts.samples, ot, scale);
        else if (UsesChunkSamples(tm) && ts.bytesPerFrame > 0)
            cutter = std::make_unique<PcmCutter>(tm, ts, ot, scale);
        else
            cutter = std::make_unique<TimedCutter>(tm, ts.samples, ot, scale);

        const TrackTimeline timeline(tm, scale);
        EditListBuilder edits(scale, tm.mediaTimeScale);
        // Media past the last sample shows nothing (a track shorter than its edit says).
        const int64_t mediaEnd =
            ts.samples.empty() ? 0 : ts.samples.back().decodeTime + ts.samples.back().duration;
        for (const Run& run : runs) {
            const std::vector<PresentedPiece> pieces = timeline.Pieces(run.begin, run.end);
            for (const PresentedPiece& piece : pieces) {
                const int64_t at = run.outStart + (piece.movieStart - run.begin);
                const int64_t length =
                    piece.movieEnd == kOpenEnd ? kOpenEnd : piece.movieEnd - piece.movieStart;
                if (piece.Empty() || piece.mediaStart >= mediaEnd)
                    edits.Empty(at, length == kOpenEnd ? 0 : length);
                else
                    cutter->Add(piece, at, length, run.end == kOpenEnd && &piece == &pieces.back(),
                                edits);
            }
        }
        ot.edits = edits.Finish(ot.trackDuration);
        ot.mediaDuration = uint64_t(std::max<int64_t>(0, cutter->Written()));
        ot.writeEdits = tm.hasEdits || ot.edits.size() != 1 || ot.edits.front().mediaTime != 0;
        for (const EditEntry& e : ot.edits) {
            if (e.mediaTime >= 0) {
                ot.editMediaTime = e.mediaTime;
                break;
            }
            ot.emptyEdit += e.segmentDuration;
        }
        out.tracks.push_back(std::move(ot));
    }
    return out;
}

}  // namespace brevio::engine
