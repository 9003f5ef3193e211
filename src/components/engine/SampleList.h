#pragma once
// The samples of one track, read-only and in decode order, answered from the track's own sample
// tables instead of one stored record per sample: a movie declaring tens of millions of samples
// costs what its tables cost plus a position every few hundred samples. Elements are SampleRef
// values computed on demand; walking in order is constant time per sample, any other access
// walks at most a few hundred samples from the nearest stored position. A list refers to its
// file's tables and lives as long as the file. Safe to read from several threads at once.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

namespace brevio::engine {

struct SampleTables;

// One sample as stored, for the player and the frame source.
struct SampleRef {
    uint32_t file = 0;              // index into MovieSamples::files
    uint64_t offset = 0;            // byte offset in that file
    uint32_t size = 0;              // bytes
    int64_t decodeTime = 0;         // media time scale
    uint32_t duration = 0;          // media time scale
    int32_t compositionOffset = 0;  // presentation time = decodeTime + compositionOffset
    bool sync = true;               // key frame
};

// A position in the tables: everything needed to step to the next sample.
struct SamplePosition {
    uint32_t index = 0;  // sample (or chunk, for chunk lists)
    uint32_t sttsEntry = 0, sttsUsed = 0;
    uint32_t cttsEntry = 0, cttsUsed = 0;
    uint32_t stscEntry = 0;
    uint32_t chunk = 0;     // 0-based
    uint32_t inChunk = 0;   // samples of the chunk before this one
    uint32_t syncNext = 0;  // index into stss of the first sync sample at or after this one
    uint64_t offset = 0;
    int64_t time = 0;
};

class SampleList {
public:
    class iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using iterator_concept = std::random_access_iterator_tag;
        using value_type = SampleRef;
        using difference_type = std::ptrdiff_t;
        using reference = SampleRef;
        struct pointer {
            SampleRef value;
            const SampleRef* operator->() const { return &value; }
        };

        iterator() = default;
        SampleRef operator*() const { return list_->At(pos_); }
        pointer operator->() const { return pointer{**this}; }
        SampleRef operator[](difference_type n) const { return *(*this + n); }
        iterator& operator++();
        iterator operator++(int) {
            iterator t = *this;
            ++*this;
            return t;
        }
        iterator& operator--() { return *this -= 1; }
        iterator operator--(int) {
            iterator t = *this;
            --*this;
            return t;
        }
        iterator& operator+=(difference_type n);
        iterator& operator-=(difference_type n) { return *this += -n; }
        friend iterator operator+(iterator it, difference_type n) { return it += n; }
        friend iterator operator+(difference_type n, iterator it) { return it += n; }
        friend iterator operator-(iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const iterator& a, const iterator& b) {
            return difference_type(a.pos_.index) - difference_type(b.pos_.index);
        }
        friend bool operator==(const iterator& a, const iterator& b) {
            return a.pos_.index == b.pos_.index;
        }
        friend auto operator<=>(const iterator& a, const iterator& b) {
            return a.pos_.index <=> b.pos_.index;
        }

    private:
        friend class SampleList;
        iterator(const SampleList* list, const SamplePosition& pos) : list_(list), pos_(pos) {}
        const SampleList* list_ = nullptr;
        SamplePosition pos_;
    };
    using const_iterator = iterator;
    using value_type = SampleRef;
    using size_type = size_t;

    SampleList() = default;

    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    SampleRef operator[](size_t index) const;
    SampleRef front() const { return (*this)[0]; }
    SampleRef back() const { return (*this)[count_ - 1]; }
    iterator begin() const;
    iterator end() const;

    // Bytes held besides the tables themselves.
    size_t IndexBytes() const { return marks_.capacity() * sizeof(SamplePosition); }

    // Samples between two stored positions.
    static constexpr uint32_t kMarkEvery = 256;

private:
    friend class SampleListBuilder;
    SampleRef At(const SamplePosition& pos) const;
    void Step(SamplePosition& pos) const;
    SamplePosition Seek(size_t index) const;
    SamplePosition Start() const;
    uint64_t ChunkOffset(uint32_t chunk) const;

    const SampleTables* tables_ = nullptr;
    uint32_t file_ = 0;
    uint32_t count_ = 0;
    // Chunk lists (uncompressed audio): one element per chunk of bytesPerFrame-byte frames.
    bool chunks_ = false;
    uint32_t bytesPerFrame_ = 0;
    uint32_t frameDelta_ = 0;
    uint64_t serial_ = 0;                // tells lists apart in the per-thread position cache
    std::vector<SamplePosition> marks_;  // the position of every kMarkEvery-th element
};

}  // namespace brevio::engine
