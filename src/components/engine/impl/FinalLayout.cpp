#include "engine/impl/FinalLayout.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdint>

#include "engine/impl/AtomBuilder.h"

namespace brevio::engine {

namespace {

struct ChunkRef {
    size_t track;
    size_t chunk;
};

}  // namespace

uint64_t FileSystemBlockSize(const std::filesystem::path& directory) {
    struct statvfs st {};
    if (::statvfs(directory.c_str(), &st) != 0) return 4096;
    uint64_t b = st.f_frsize ? st.f_frsize : st.f_bsize;
    // A power of two between 512 bytes and 1 MB, else the usual page-sized block.
    if (b < 512 || b > (1u << 20) || (b & (b - 1)) != 0) return 4096;
    return b;
}

FinalLayout LayOutFinalMovie(const OutputMovie& movie, uint64_t blockSize) {
    FinalLayout layout;
    layout.blockSize = blockSize;
    // Chunks in source order: by file, then by offset; in-memory chunks last.
    std::vector<ChunkRef> order;
    for (size_t t = 0; t < movie.tracks.size(); ++t)
        for (size_t c = 0; c < movie.tracks[t].chunks.size(); ++c) order.push_back({t, c});
    auto chunkOf = [&](const ChunkRef& r) -> const OutChunk& {
        return movie.tracks[r.track].chunks[r.chunk];
    };
    std::stable_sort(order.begin(), order.end(), [&](const ChunkRef& a, const ChunkRef& b) {
        const OutChunk& x = chunkOf(a);
        const OutChunk& y = chunkOf(b);
        if ((x.inlineData >= 0) != (y.inlineData >= 0)) return x.inlineData < 0;
        if (x.source != y.source) return x.source < y.source;
        return x.offset < y.offset;
    });
    // Runs: chunks that continue each other in the source are one run.
    std::vector<size_t> runOf(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const OutChunk& c = chunkOf(order[i]);
        CopyRun* last = layout.runs.empty() ? nullptr : &layout.runs.back();
        if (last && c.inlineData < 0 && last->inlineData < 0 && last->source == c.source &&
            last->offset + last->bytes == c.offset) {
            last->bytes += c.bytes;
        } else {
            layout.runs.push_back(CopyRun{c.source, c.offset, c.bytes, c.inlineData, 0});
        }
        runOf[i] = layout.runs.size() - 1;
        layout.copyBytes += c.bytes;
    }
    const uint64_t ftypSize = BuildFtyp().size();
    for (bool large : {false, true}) {
        layout.largeMdat = large;
        layout.mdatOffset = ftypSize;
        uint64_t pos = ftypSize + (large ? 16 : 8);
        for (CopyRun& r : layout.runs) {
            if (r.inlineData < 0 && r.bytes >= blockSize)
                pos += (r.offset % blockSize + blockSize - pos % blockSize) % blockSize;
            r.destination = pos;
            pos += r.bytes;
        }
        layout.moovOffset = pos;
        if (large || pos - ftypSize <= UINT32_MAX) break;
    }
    layout.moov.chunkOffsets.resize(movie.tracks.size());
    layout.moov.dataUrls.resize(movie.tracks.size());
    for (size_t t = 0; t < movie.tracks.size(); ++t)
        layout.moov.chunkOffsets[t].resize(movie.tracks[t].chunks.size());
    // Chunks of a run follow one another as in the source.
    std::vector<uint64_t> runPos(layout.runs.size());
    for (size_t i = 0; i < layout.runs.size(); ++i) runPos[i] = layout.runs[i].destination;
    for (size_t i = 0; i < order.size(); ++i) {
        layout.moov.chunkOffsets[order[i].track][order[i].chunk] = runPos[runOf[i]];
        runPos[runOf[i]] += chunkOf(order[i]).bytes;
    }
    return layout;
}

}  // namespace brevio::engine
