#include "engine/MovieAssembler.h"

#include <algorithm>
#include <memory>
#include <new>
#include <system_error>

#include "engine/CVarnoMovFile.h"
#include "engine/impl/BrevioUnits.h"
#include "engine/impl/ChapterTrack.h"
#include "engine/impl/EditPlan.h"
#include "engine/impl/FileImpl.h"
#include "engine/impl/MovieWriter.h"
#include "engine/impl/SampleTable.h"

namespace brevio::engine {

namespace {

using Clip = std::unique_ptr<CVarnoMovFile>;

std::string ClipName(size_t i) {
    return "clip " + std::to_string(i + 1);
}

// Sample descriptions match when their bytes do, or when they differ only outside what decoding
// uses: same format, picture or audio parameters and the same decoder configuration (encoders
// write each clip's bit rate statistics into 'esds').
bool SameDescription(const SampleDescription& a, const SampleDescription& b) {
    if (a.entry == b.entry) return true;
    return a.format == b.format && !a.codecConfig.empty() && a.codecConfig == b.codecConfig &&
           a.width == b.width && a.height == b.height && a.channels == b.channels &&
           a.sampleRate == b.sampleRate && a.bitsPerSample == b.bitsPerSample &&
           a.bytesPerFrame == b.bytesPerFrame && a.entry.size() == b.entry.size();
}

// Every clip must have the first clip's tracks with identical sample descriptions.
Status CheckLayout(const std::vector<Clip>& clips) {
    const auto& first = clips[0]->GetImpl();
    if (first.mainVideoTrack < 0) return Fail(ClipName(0) + " has no video");
    for (size_t c = 0; c < clips.size(); ++c) {
        const auto& impl = clips[c]->GetImpl();
        if (impl.model.tracks.size() != first.model.tracks.size())
            return Fail(ClipName(c) + " has a different number of tracks");
        if (impl.mainVideoTrack != first.mainVideoTrack)
            return Fail(ClipName(c) + " has its video in another track");
        for (size_t t = 0; t < impl.model.tracks.size(); ++t) {
            const TrackModel& a = first.model.tracks[t];
            const TrackModel& b = impl.model.tracks[t];
            const std::string where = ClipName(c) + ", track " + std::to_string(t + 1) + ": ";
            if (a.handler != b.handler) return Fail(where + "different kind of track");
            if (a.mediaTimeScale != b.mediaTimeScale) return Fail(where + "different time scale");
            if (!SameDescription(a.description, b.description))
                return Fail(where + "different sample description");
            if (UsesChunkSamples(a) != UsesChunkSamples(b) ||
                (UsesChunkSamples(a) && FrameDelta(a) != FrameDelta(b)))
                return Fail(where + "different audio layout");
            for (const StscEntry& e : b.tables.stsc)
                if (e.descriptionIndex != 1)
                    return Fail(where + "more than one sample description");
            if (b.Kind() == TrackKind::Text && b.chapterTrackIds.empty()) {
                // Text tracks other than chapters are copied like any other track.
            }
        }
        const auto& video = impl.samples.tracks[size_t(impl.mainVideoTrack)].samples;
        if (video.empty()) return Fail(ClipName(c) + " has no video frames");
        if (!video.front().sync) return Fail(ClipName(c) + " does not begin with a key frame");
        if (impl.model.tracks[size_t(impl.mainVideoTrack)].EditMediaTime() !=
            first.model.tracks[size_t(first.mainVideoTrack)].EditMediaTime())
            return Fail(ClipName(c) + " has a different video delay (edit list)");
    }
    return {};
}

void AppendClipSamples(OutTrack& out, const SampleList& samples, size_t begin, size_t end,
                       uint32_t source, bool clipHasStss) {
    for (size_t i = begin; i < end; ++i) {
        const SampleRef& s = samples[i];
        out.sizes.push_back(s.size);
        out.durations.push_back(s.duration);
        if (out.writeCtts) out.compositionOffsets.push_back(s.compositionOffset);
        if (out.writeStss && (s.sync || !clipHasStss))
            out.syncSamples.push_back(uint32_t(out.sizes.size()));
        OutChunk* last = out.chunks.empty() ? nullptr : &out.chunks.back();
        if (last && last->source == source && last->inlineData < 0 &&
            last->offset + last->bytes == s.offset && last->samples < 65536) {
            last->bytes += s.size;
            ++last->samples;
        } else {
            out.chunks.push_back(OutChunk{source, s.offset, s.size, 1, -1});
        }
    }
}

struct Assembly {
    std::vector<Clip> clips;
    MovieModel header;                         // mvhd, moov extras and udta of the first clip
    std::unique_ptr<TrackModel> chapterModel;  // the chapter track made from scratch
    OutputMovie out;
    std::vector<int64_t> videoEnds;  // per clip, cumulative video media time at its end
};

Status PlanVideo(Assembly& a, size_t t) {
    const TrackModel& first = a.clips[0]->GetImpl().model.tracks[t];
    OutTrack& out = a.out.tracks[t];
    int64_t end = 0;
    for (size_t c = 0; c < a.clips.size(); ++c) {
        const auto& impl = a.clips[c]->GetImpl();
        const auto& samples = impl.samples.tracks[t].samples;
        AppendClipSamples(out, samples, 0, samples.size(), uint32_t(c),
                          impl.model.tracks[t].tables.hasStss);
        for (const SampleRef& s : samples) end += s.duration;
        if (int(t) == a.clips[0]->GetImpl().mainVideoTrack) a.videoEnds.push_back(end);
    }
    (void)first;
    return {};
}

// Audio and other tracks follow the video: clip c's samples fill the output up to the end of
// clip c's video (to within half a sample); a clip after the first skips its priming samples.
Status PlanFollowing(Assembly& a, size_t t) {
    const auto& firstImpl = a.clips[0]->GetImpl();
    const TrackModel& first = firstImpl.model.tracks[t];
    const uint32_t videoScale =
        firstImpl.model.tracks[size_t(firstImpl.mainVideoTrack)].mediaTimeScale;
    const uint32_t scale = first.mediaTimeScale;
    OutTrack& out = a.out.tracks[t];
    const int64_t E = first.EditMediaTime();
    const bool frames = UsesChunkSamples(first);
    const uint32_t bpf = first.description.bytesPerFrame;
    const uint32_t delta = frames ? FrameDelta(first) : 0;
    if (frames) {
        out.frameSamples = true;
        out.frameDelta = delta;
        out.fixedSize = first.tables.fixedSampleSize;
    }
    int64_t written = 0;  // media time written
    for (size_t c = 0; c < a.clips.size(); ++c) {
        const auto& impl = a.clips[c]->GetImpl();
        const TrackModel& tm = impl.model.tracks[t];
        const auto& samples = impl.samples.tracks[t].samples;
        const bool last = c + 1 == a.clips.size();
        const int64_t target =
            E + Rescale(a.videoEnds[c], videoScale, scale);  // media end of this clip
        const int64_t skip = c == 0 ? 0 : tm.EditMediaTime();
        if (frames) {
            int64_t want = last ? INT64_MAX : (target - written) / delta;
            int64_t f = skip / delta;
            for (const SampleRef& s : samples) {
                int64_t cf0 = s.decodeTime / delta, cf1 = cf0 + s.size / bpf;
                int64_t a0 = std::max(cf0, f), a1 = std::min(cf1, a0 + want);
                if (a1 <= a0) continue;
                out.chunks.push_back(OutChunk{uint32_t(c), s.offset + uint64_t(a0 - cf0) * bpf,
                                              uint64_t(a1 - a0) * bpf, uint32_t(a1 - a0), -1});
                out.frameCount += uint64_t(a1 - a0);
                written += (a1 - a0) * delta;
                want -= a1 - a0;
                f = a1;
                if (want <= 0) break;
            }
            if (!last && want > 0) {
                // The clip's audio ends before its video: fill the rest with silence.
                if (uint64_t(want) * bpf > 64u * 1024 * 1024)
                    return Fail(ClipName(c) + ": audio much shorter than video");
                const bool unsigned8 = first.description.bitsPerSample == 8 &&
                                       !first.description.floatingPoint &&
                                       first.description.format == FourCC("raw ");
                a.out.inlineData.emplace_back(size_t(want) * bpf, uint8_t(unsigned8 ? 0x80 : 0));
                out.chunks.push_back(OutChunk{0, 0, uint64_t(want) * bpf, uint32_t(want),
                                              int32_t(a.out.inlineData.size() - 1)});
                out.frameCount += uint64_t(want);
                written += want * delta;
            }
            continue;
        }
        auto it = std::lower_bound(samples.begin(), samples.end(), skip,
                                   [](const SampleRef& s, int64_t x) { return s.decodeTime < x; });
        size_t begin = size_t(it - samples.begin()), end = begin;
        while (end < samples.size() &&
               (last || 2 * written + int64_t(samples[end].duration) < 2 * target)) {
            written += samples[end].duration;
            ++end;
        }
        AppendClipSamples(out, samples, begin, end, uint32_t(c), tm.tables.hasStss);
        if (!last && !out.durations.empty() &&
            2 * (target - written) > int64_t(out.durations.back())) {
            // Too few samples in this clip: the last one lasts until the clip's video ends.
            int64_t gap = target - written;
            out.durations.back() =
                uint32_t(std::min<int64_t>(int64_t(out.durations.back()) + gap, UINT32_MAX));
            written = target;
        }
    }
    return {};
}

}  // namespace

AssembleResult AssembleMovie(const std::vector<std::filesystem::path>& clipPaths,
                             const std::filesystem::path& destination,
                             const AssembleOptions& options) {
    auto failure = [](ERROR_CREATEMOVFILE code, std::string message) {
        return AssembleResult{code, std::move(message)};
    };
    if (clipPaths.empty()) return failure(CREATEMOVFILE_INVALID_ARGUMENT, "no clips");
    if (destination.empty()) return failure(CREATEMOVFILE_INVALID_ARGUMENT, "no destination");
    try {
        Assembly a;
        for (size_t i = 0; i < clipPaths.size(); ++i) {
            a.clips.push_back(std::make_unique<CVarnoMovFile>(FileLocator(clipPaths[i])));
            if (!a.clips.back()->IsValid())
                return failure(CREATEMOVFILE_READ_FAILED,
                               ClipName(i) + ": " + a.clips.back()->GetError());
        }
        if (auto s = CheckLayout(a.clips); !s) return failure(CREATEMOVFILE_UNSUPPORTED, s.error());

        const auto& first = a.clips[0]->GetImpl();
        a.header.mvhd = first.model.mvhd;
        a.header.mvhdVersion = first.model.mvhdVersion;
        a.header.timeScale = first.model.timeScale;
        a.header.moovOther = first.model.moovOther;
        a.header.hasUdta = first.model.hasUdta;
        for (const RawAtom& r : first.model.udta)
            if (r.type != FourCC("BRVU")) a.header.udta.push_back(r);
        a.out.source = &a.header;
        a.out.timeScale = first.model.timeScale;

        const size_t trackCount = first.model.tracks.size();
        a.out.tracks.resize(trackCount);
        for (size_t t = 0; t < trackCount; ++t) {
            const TrackModel& tm = first.model.tracks[t];
            OutTrack& ot = a.out.tracks[t];
            ot.source = &tm;
            ot.writeEdits = tm.hasEdits;
            ot.emptyEdit = std::min<uint64_t>(tm.EmptyEditDuration(), INT32_MAX);
            ot.editMediaTime = tm.EditMediaTime();
            for (const auto& c : a.clips) {
                ot.writeCtts = ot.writeCtts || c->GetImpl().model.tracks[t].tables.hasCtts;
                ot.writeStss = ot.writeStss || c->GetImpl().model.tracks[t].tables.hasStss;
            }
            ot.cttsVersion = tm.tables.cttsVersion;
            // Chapter references of the clips do not carry over; the chapter track is rebuilt.
            ot.dropTref = !tm.chapterTrackIds.empty();
        }
        if (auto s = PlanVideo(a, size_t(first.mainVideoTrack)); !s)
            return failure(CREATEMOVFILE_UNSUPPORTED, s.error());
        for (size_t t = 0; t < trackCount; ++t) {
            if (int(t) == first.mainVideoTrack) continue;
            if (int(t) == first.chapterTrack) continue;
            if (auto s = PlanFollowing(a, t); !s)
                return failure(CREATEMOVFILE_UNSUPPORTED, s.error());
        }
        if (first.chapterTrack >= 0) {
            // The clips' own chapter tracks are left out.
            a.out.tracks.erase(a.out.tracks.begin() + first.chapterTrack);
        }

        // Units: each clip's video length.
        const uint32_t videoScale = first.model.tracks[size_t(first.mainVideoTrack)].mediaTimeScale;
        std::vector<uint32_t> starts;
        int64_t previous = 0;
        for (size_t c = 0; c < a.clips.size(); ++c) {
            int64_t s = Rescale(previous, videoScale, a.out.timeScale);
            if (s > INT32_MAX) return failure(CREATEMOVFILE_UNSUPPORTED, "movie too long");
            starts.push_back(uint32_t(s));
            previous = a.videoEnds[c];
        }
        a.out.duration = uint64_t(Rescale(a.videoEnds.back(), videoScale, a.out.timeScale));
        if (a.out.duration > uint64_t(INT32_MAX))
            return failure(CREATEMOVFILE_UNSUPPORTED, "movie too long");
        for (size_t i = 1; i < starts.size(); ++i)
            if (starts[i] <= starts[i - 1])
                return failure(CREATEMOVFILE_UNSUPPORTED, ClipName(i - 1) + " is too short");

        for (OutTrack& t : a.out.tracks) FinishTrackTiming(t, a.out.timeScale);

        if (options.chapters) {
            uint32_t maxId = 0;
            for (const OutTrack& t : a.out.tracks) maxId = std::max(maxId, t.source->trackId);
            std::vector<std::string> titles;
            for (size_t i = 0; i < starts.size(); ++i)
                titles.push_back(i < options.titles.size() && !options.titles[i].empty()
                                     ? options.titles[i]
                                     : "Chapter " + std::to_string(i + 1));
            a.chapterModel = std::make_unique<TrackModel>();
            AddChapterTrack(a.out, *a.chapterModel, maxId + 1, starts, titles);
            for (size_t t = 0; t < a.out.tracks.size(); ++t)
                if (a.out.tracks[t].source == &first.model.tracks[size_t(first.mainVideoTrack)])
                    a.out.tracks[t].tref = ChapterReference(maxId + 1);
            SetNextTrackId(a.header, maxId + 2);
        } else {
            a.out.brvu = starts;
        }

        SourceFiles sources;
        for (const auto& c : a.clips) {
            sources.handles.push_back(&c->GetImpl().handles[0]);
            sources.paths.push_back(c->GetImpl().samples.files[0]);
        }
        WriteFailure error;
        ERROR_CREATEMOVFILE rc = WriteFinalMovie(a.out, sources, destination,
                                                 Progress{options.progress, options.user}, error);
        // A failed write leaves nothing behind and never touches an existing destination.
        if (rc == CREATEMOVFILE_CANCELLED && error.message.empty()) error.message = "cancelled";
        return AssembleResult{rc, error.message};
    } catch (const std::bad_alloc&) {
        return failure(CREATEMOVFILE_OUT_OF_MEMORY, "out of memory");
    }
}

}  // namespace brevio::engine
