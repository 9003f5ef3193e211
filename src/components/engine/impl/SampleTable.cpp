#include "engine/impl/SampleTable.h"

#include <algorithm>

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
    const uint64_t chunks = t.chunkOffsets.size();
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

// Visits every chunk with its offset and number of samples.
template <typename F>
Status ForEachChunk(const SampleTables& t, F&& f) {
    for (size_t i = 0; i < t.stsc.size(); ++i) {
        uint64_t first = t.stsc[i].firstChunk;
        uint64_t next =
            i + 1 < t.stsc.size() ? t.stsc[i + 1].firstChunk : t.chunkOffsets.size() + 1;
        for (uint64_t c = first; c < next; ++c)
            if (auto s = f(t.chunkOffsets[size_t(c - 1)], t.stsc[i].samplesPerChunk); !s) return s;
    }
    return {};
}

Result<std::vector<SampleRef>> BuildChunkSamples(const TrackModel& track, uint32_t fileIndex,
                                                 const DataSpace& space) {
    const SampleTables& t = track.tables;
    const uint32_t bpf = track.description.bytesPerFrame;
    const uint32_t delta = FrameDelta(track);
    if (uint64_t(t.sampleCount) * bpf > space.TotalBytes())
        return Fail("audio frames larger than the media data");
    std::vector<SampleRef> refs;
    refs.reserve(t.chunkOffsets.size());
    int64_t frame = 0;
    Status s = ForEachChunk(t, [&](uint64_t offset, uint32_t frames) -> Status {
        uint64_t bytes = uint64_t(frames) * bpf;
        if (bytes > UINT32_MAX) return Fail("audio chunk too large");
        if (!space.Contains(offset, bytes)) return Fail("audio chunk outside the media data");
        SampleRef r;
        r.file = fileIndex;
        r.offset = offset;
        r.size = uint32_t(bytes);
        r.decodeTime = frame * int64_t(delta);
        uint64_t duration = uint64_t(frames) * delta;
        if (duration > UINT32_MAX) return Fail("audio chunk too long");
        r.duration = uint32_t(duration);
        r.sync = true;
        refs.push_back(r);
        frame += frames;
        return {};
    });
    if (!s) return Fail(s.error());
    return refs;
}

}  // namespace

Result<std::vector<SampleRef>> BuildSampleRefs(const TrackModel& track, uint32_t fileIndex,
                                               const DataSpace& space) {
    if (auto s = CheckTables(track); !s) return Fail(s.error());
    if (UsesChunkSamples(track)) return BuildChunkSamples(track, fileIndex, space);

    const SampleTables& t = track.tables;
    const uint64_t n = t.sampleCount;
    // A fixed size promises n × size bytes; refuse before allocating what the file cannot hold.
    if (t.fixedSampleSize != 0 && n * t.fixedSampleSize > space.TotalBytes())
        return Fail("samples larger than the media data");
    std::vector<SampleRef> refs(static_cast<size_t>(n));

    size_t index = 0;
    Status s = ForEachChunk(t, [&](uint64_t offset, uint32_t count) -> Status {
        uint64_t chunkStart = offset;
        for (uint32_t k = 0; k < count; ++k, ++index) {
            uint32_t size = t.fixedSampleSize ? t.fixedSampleSize : t.sampleSizes[index];
            if (offset > UINT64_MAX - size) return Fail("chunk offset out of range");
            refs[index].file = fileIndex;
            refs[index].offset = offset;
            refs[index].size = size;
            offset += size;
        }
        if (!space.Contains(chunkStart, offset - chunkStart))
            return Fail("chunk outside the media data");
        return {};
    });
    if (!s) return Fail(s.error());

    index = 0;
    uint64_t time = 0;
    for (const SttsEntry& e : t.stts)
        for (uint32_t k = 0; k < e.count; ++k, ++index) {
            refs[index].decodeTime = int64_t(time);
            refs[index].duration = e.delta;
            time += e.delta;
        }
    if (t.hasCtts) {
        index = 0;
        for (const CttsEntry& e : t.ctts)
            for (uint32_t k = 0; k < e.count; ++k, ++index)
                refs[index].compositionOffset = e.offset;
    }
    if (t.hasStss) {
        for (auto& r : refs) r.sync = false;
        for (uint32_t sIndex : t.stss) refs[sIndex - 1].sync = true;
    }
    return refs;
}

}  // namespace brevio::engine
