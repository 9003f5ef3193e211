#pragma once
// Builds atoms into a byte buffer: Begin/End nest atoms and fill in their sizes.
#include <cstdint>
#include <span>
#include <vector>

namespace brevio::engine {

class AtomBuilder {
public:
    void Begin(uint32_t type) {
        open_.push_back(buf_.size());
        U32(0);
        U32(type);
    }
    void BeginFull(uint32_t type, uint8_t version, uint32_t flags) {
        Begin(type);
        U8(version);
        U24(flags);
    }
    // Closes the innermost atom; false when it grew past a 32-bit size.
    bool End() {
        size_t start = open_.back();
        open_.pop_back();
        uint64_t size = buf_.size() - start;
        if (size > UINT32_MAX) return false;
        for (int i = 0; i < 4; ++i) buf_[start + size_t(i)] = uint8_t(size >> (24 - 8 * i));
        return true;
    }
    void U8(uint8_t v) { buf_.push_back(v); }
    void U16(uint16_t v) { Put(v, 2); }
    void U24(uint32_t v) { Put(v, 3); }
    void U32(uint32_t v) { Put(v, 4); }
    void U64(uint64_t v) { Put(v, 8); }
    void Append(std::span<const uint8_t> bytes) {
        buf_.insert(buf_.end(), bytes.begin(), bytes.end());
    }
    // Appends a copied atom, rewriting a 64-bit header as a 32-bit one.
    void AppendAtom(std::span<const uint8_t> whole);
    // Appends a copied atom whose payload is patched by `patch` first.
    template <typename F>
    void AppendPatched(std::span<const uint8_t> whole, F&& patch);

    std::vector<uint8_t>& bytes() { return buf_; }
    size_t size() const { return buf_.size(); }

private:
    void Put(uint64_t v, int n) {
        for (int i = n - 1; i >= 0; --i) buf_.push_back(uint8_t(v >> (8 * i)));
    }

    std::vector<uint8_t> buf_;
    std::vector<size_t> open_;
};

// Header length of a stored atom (8, or 16 with a 64-bit size).
inline size_t StoredHeaderSize(std::span<const uint8_t> whole) {
    return (whole.size() >= 16 && whole[0] == 0 && whole[1] == 0 && whole[2] == 0 && whole[3] == 1)
               ? 16
               : 8;
}

inline void AtomBuilder::AppendAtom(std::span<const uint8_t> whole) {
    AppendPatched(whole, [](std::vector<uint8_t>&) {});
}

template <typename F>
void AtomBuilder::AppendPatched(std::span<const uint8_t> whole, F&& patch) {
    size_t header = StoredHeaderSize(whole);
    std::vector<uint8_t> payload(whole.begin() + std::ptrdiff_t(header), whole.end());
    patch(payload);
    uint32_t type =
        uint32_t(whole[4]) << 24 | uint32_t(whole[5]) << 16 | uint32_t(whole[6]) << 8 | whole[7];
    Begin(type);
    Append(payload);
    End();
}

// Stores a big-endian value into a byte vector at `offset` (ignored when out of range).
inline void PatchBE(std::vector<uint8_t>& b, size_t offset, uint64_t v, int n) {
    if (offset + size_t(n) > b.size()) return;
    for (int i = 0; i < n; ++i) b[offset + size_t(i)] = uint8_t(v >> (8 * (n - 1 - i)));
}

}  // namespace brevio::engine
