#include "engine/SampleList.h"

#include <array>

#include "engine/impl/MovieModel.h"

namespace brevio::engine {

namespace {

// The last positions this thread reached in a few lists, so that reading by index in order
// (list[i], list[i + 1], ...) steps instead of seeking.
struct RecentPosition {
    uint64_t serial = 0;
    SamplePosition pos;
};
thread_local std::array<RecentPosition, 4> recent;
thread_local size_t recentNext = 0;

}  // namespace

uint64_t SampleList::ChunkOffset(uint32_t chunk) const {
    return tables_->ChunkOffset(chunk);
}

SamplePosition SampleList::Start() const {
    SamplePosition p;
    if (count_ == 0) return p;
    const SampleTables& t = *tables_;
    if (!chunks_) {
        while (p.sttsEntry < t.stts.size() && t.stts[p.sttsEntry].count == 0) ++p.sttsEntry;
        while (p.cttsEntry < t.ctts.size() && t.ctts[p.cttsEntry].count == 0) ++p.cttsEntry;
        p.offset = t.ChunkOffset(0);
    }
    return p;
}

SampleRef SampleList::At(const SamplePosition& p) const {
    const SampleTables& t = *tables_;
    SampleRef r;
    r.file = file_;
    r.decodeTime = p.time;
    if (chunks_) {
        const uint32_t frames = t.stsc[p.stscEntry].samplesPerChunk;
        r.offset = ChunkOffset(p.index);
        r.size = frames * bytesPerFrame_;  // checked to fit when the list was made
        r.duration = frames * frameDelta_;
        return r;
    }
    r.offset = p.offset;
    r.size = t.fixedSampleSize ? t.fixedSampleSize : t.sampleSizes[p.index];
    r.duration = t.stts[p.sttsEntry].delta;
    if (t.hasCtts) r.compositionOffset = t.ctts[p.cttsEntry].offset;
    r.sync = !t.hasStss || (p.syncNext < t.stss.size() && t.stss[p.syncNext] == p.index + 1);
    return r;
}

void SampleList::Step(SamplePosition& p) const {
    const SampleTables& t = *tables_;
    if (chunks_) {
        p.time += int64_t(t.stsc[p.stscEntry].samplesPerChunk) * frameDelta_;
        ++p.index;
        if (p.stscEntry + 1 < t.stsc.size() && p.index + 1 == t.stsc[p.stscEntry + 1].firstChunk)
            ++p.stscEntry;
        return;
    }
    p.offset += t.fixedSampleSize ? t.fixedSampleSize : t.sampleSizes[p.index];
    p.time += t.stts[p.sttsEntry].delta;
    ++p.sttsUsed;
    while (p.sttsEntry < t.stts.size() && p.sttsUsed >= t.stts[p.sttsEntry].count) {
        ++p.sttsEntry;
        p.sttsUsed = 0;
    }
    if (t.hasCtts) {
        ++p.cttsUsed;
        while (p.cttsEntry < t.ctts.size() && p.cttsUsed >= t.ctts[p.cttsEntry].count) {
            ++p.cttsEntry;
            p.cttsUsed = 0;
        }
    }
    if (p.syncNext < t.stss.size() && t.stss[p.syncNext] == p.index + 1) ++p.syncNext;
    ++p.index;
    if (++p.inChunk == t.stsc[p.stscEntry].samplesPerChunk) {
        p.inChunk = 0;
        ++p.chunk;
        if (p.stscEntry + 1 < t.stsc.size() && p.chunk + 1 == t.stsc[p.stscEntry + 1].firstChunk)
            ++p.stscEntry;
        if (p.chunk < t.ChunkCount()) p.offset = t.ChunkOffset(p.chunk);
    }
}

SamplePosition SampleList::Seek(size_t index) const {
    if (index >= count_) {
        SamplePosition end;
        end.index = count_;
        return end;
    }
    RecentPosition* best = nullptr;
    for (RecentPosition& r : recent)
        if (r.serial == serial_ && r.pos.index <= index && (!best || r.pos.index > best->pos.index))
            best = &r;
    SamplePosition p = marks_[index / kMarkEvery];
    if (best && best->pos.index >= p.index) p = best->pos;
    while (p.index < index) Step(p);
    if (!best) {
        best = &recent[recentNext];
        recentNext = (recentNext + 1) % recent.size();
        best->serial = serial_;
    }
    best->pos = p;
    return p;
}

SampleRef SampleList::operator[](size_t index) const {
    return At(Seek(index));
}

SampleList::iterator SampleList::begin() const {
    return iterator(this, Start());
}

SampleList::iterator SampleList::end() const {
    SamplePosition p;
    p.index = count_;
    return iterator(this, p);
}

SampleList::iterator& SampleList::iterator::operator++() {
    if (pos_.index + 1 >= list_->count_)
        pos_.index = list_->count_;
    else
        list_->Step(pos_);
    return *this;
}

SampleList::iterator& SampleList::iterator::operator+=(difference_type n) {
    if (n > 0 && n < difference_type(kMarkEvery) && pos_.index + size_t(n) < list_->count_) {
        while (n-- > 0) list_->Step(pos_);
    } else if (n != 0) {
        pos_ = list_->Seek(size_t(difference_type(pos_.index) + n));
    }
    return *this;
}

}  // namespace brevio::engine
