#include "engine/impl/SampleTable.h"

#include <algorithm>
#include <atomic>

namespace brevio::engine {

bool DataSpace::Contains(uint64_t offset, uint64_t length) const {
    if (offset > fileSize || length > fileSize - offset) return false;
    if (wholeFile) return true;
    // The last range starting at or before offset.
    auto it = std::upper_bound(ranges.begin(), ranges.end(), offset,
                               [](uint64_t o, const auto& r) { return o < r.first; });
    if (it == ranges.begin()) return false;
    --it;
    return offset >= it->first && length <= it->second - offset;
}

uint64_t DataSpace::TotalBytes() const {
    if (wholeFile) return fileSize;
    uint64_t total = 0;
    for (const auto& r : ranges) total += r.second - r.first;
    return total;
}

bool UsesChunkSamples(const TrackModel& track) {
    const SampleDescription& d = track.description;
    const SampleTables& t = track.tables;
    if (!d.uncompressed || d.bytesPerFrame == 0 || t.fixedSampleSize == 0) return false;
    if (t.fixedSampleSize != 1 && t.fixedSampleSize != d.bytesPerFrame) return false;
    return FrameDelta(track) != 0;
}

uint32_t FrameDelta(const TrackModel& track) {
    uint32_t delta = 0;
    for (const SttsEntry& e : track.tables.stts) {
        if (e.count == 0) continue;
        if (delta == 0)
            delta = e.delta;
        else if (e.delta != delta)
            return 0;
    }
    return delta;
}

namespace {

Status CheckTables(const TrackModel& track) {
    const SampleTables& t = track.tables;
    const uint64_t n = t.sampleCount;
    uint64_t sum = 0;
    for (const SttsEntry& e : t.stts) sum += e.count;
    if (sum != n) return Fail("stts and stsz count different numbers of samples");
    if (t.hasCtts) {
        sum = 0;
        for (const CttsEntry& e : t.ctts) sum += e.count;
        if (sum != n) return Fail("ctts and stsz count different numbers of samples");
    }
    if (t.hasStss) {
        uint32_t prev = 0;
        for (uint32_t s : t.stss) {
            if (s == 0 || s > n) return Fail("stss names a sample that does not exist");
            if (s <= prev) return Fail("stss entries do not ascend");
            prev = s;
        }
    }
    const uint64_t chunks = t.ChunkCount();
    if (n == 0) {
        if (chunks != 0 && t.stsc.empty()) return Fail("chunks without a sample-to-chunk table");
    } else if (t.stsc.empty()) {
        return Fail("empty sample-to-chunk table");
    }
    uint64_t covered = 0;
    for (size_t i = 0; i < t.stsc.size(); ++i) {
        const StscEntry& e = t.stsc[i];
        if (i == 0 && e.firstChunk != 1) return Fail("stsc does not start at chunk 1");
        if (i > 0 && e.firstChunk <= t.stsc[i - 1].firstChunk)
            return Fail("stsc first chunks do not ascend");
        if (e.firstChunk > chunks) return Fail("stsc names a chunk that does not exist");
        if (e.samplesPerChunk == 0) return Fail("stsc chunk without samples");
        if (e.descriptionIndex == 0 || e.descriptionIndex > t.descriptionCount)
            return Fail("stsc names a sample description that does not exist");
        uint64_t next = i + 1 < t.stsc.size() ? t.stsc[i + 1].firstChunk : chunks + 1;
        if (next <= e.firstChunk) return Fail("stsc first chunks do not ascend");
        covered += (next - e.firstChunk) * uint64_t(e.samplesPerChunk);
        if (covered > n) return Fail("chunks hold more samples than stsz counts");
    }
    if (covered != n) return Fail("chunks hold fewer samples than stsz counts");
    return {};
}

std::atomic<uint64_t> nextSerial{1};

}  // namespace

uint64_t ListedSampleCount(const TrackModel& track) {
    return UsesChunkSamples(track) ? track.tables.ChunkCount() : track.tables.sampleCount;
}

// Walks the tables once: checks every chunk against the media data and stores a position every
// SampleList::kMarkEvery elements.
class SampleListBuilder {
public:
    static Result<SampleList> Build(const TrackModel& track, uint32_t fileIndex,
                                    const DataSpace& space) {
        if (auto s = CheckTables(track); !s) return Fail(s.error());
        const SampleTables& t = track.tables;
        SampleList list;
        list.tables_ = &t;
        list.file_ = fileIndex;
        list.serial_ = nextSerial.fetch_add(1, std::memory_order_relaxed);
        const uint64_t n = ListedSampleCount(track);
        if (n > kMaxListedSamples) return Fail("more samples than any movie this engine edits");
        list.count_ = uint32_t(n);
        if (UsesChunkSamples(track)) {
            list.chunks_ = true;
            list.bytesPerFrame_ = track.description.bytesPerFrame;
            list.frameDelta_ = FrameDelta(track);
            if (uint64_t(t.sampleCount) * list.bytesPerFrame_ > space.TotalBytes())
                return Fail("audio frames larger than the media data");
        } else if (t.fixedSampleSize != 0 && n * t.fixedSampleSize > space.TotalBytes()) {
            // A fixed size promises n x size bytes: refuse what the file cannot hold.
            return Fail("samples larger than the media data");
        } else if (t.fixedSampleSize == 0 && n > space.TotalBytes()) {
            return Fail("more samples than bytes of media data");
        }
        list.marks_.reserve(size_t((n + SampleList::kMarkEvery - 1) / SampleList::kMarkEvery));
        SamplePosition p = list.Start();
        uint64_t chunkStart = p.offset;
        for (uint64_t i = 0; i < n; ++i) {
            if (i % SampleList::kMarkEvery == 0) list.marks_.push_back(p);
            if (list.chunks_) {
                const uint64_t frames = t.stsc[p.stscEntry].samplesPerChunk;
                const uint64_t bytes = frames * list.bytesPerFrame_;
                if (bytes > UINT32_MAX) return Fail("audio chunk too large");
                if (frames * list.frameDelta_ > UINT32_MAX) return Fail("audio chunk too long");
                if (!space.Contains(t.ChunkOffset(p.index), bytes))
                    return Fail("audio chunk outside the media data");
            } else {
                if (p.inChunk == 0) chunkStart = p.offset;
                const uint32_t size = t.fixedSampleSize ? t.fixedSampleSize : t.sampleSizes[i];
                if (p.offset > UINT64_MAX - size) return Fail("chunk offset out of range");
                const bool chunkEnds =
                    p.inChunk + 1 == t.stsc[p.stscEntry].samplesPerChunk || i + 1 == n;
                if (chunkEnds && !space.Contains(chunkStart, p.offset + size - chunkStart))
                    return Fail("chunk outside the media data");
            }
            if (i + 1 < n) list.Step(p);
        }
        return list;
    }
};

Result<SampleList> BuildSampleList(const TrackModel& track, uint32_t fileIndex,
                                   const DataSpace& space) {
    return SampleListBuilder::Build(track, fileIndex, space);
}

}  // namespace brevio::engine
