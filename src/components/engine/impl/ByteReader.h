#pragma once
// Bounds-checked big-endian reading over a byte range. Reading past the end sets a sticky failure
// flag and yields zeros, so parsers check `ok()` once after a group of reads.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace brevio::engine {

using Bytes = std::span<const uint8_t>;

class ByteReader {
public:
    explicit ByteReader(Bytes data) : data_(data) {}

    bool ok() const { return ok_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return pos_ <= data_.size() ? data_.size() - pos_ : 0; }

    bool Skip(size_t n) {
        if (!ok_ || n > remaining()) return ok_ = false;
        pos_ += n;
        return true;
    }
    uint8_t U8() { return uint8_t(Read(1)); }
    uint16_t U16() { return uint16_t(Read(2)); }
    uint32_t U24() { return uint32_t(Read(3)); }
    uint32_t U32() { return uint32_t(Read(4)); }
    uint64_t U64() { return Read(8); }
    int32_t I32() { return int32_t(U32()); }
    int64_t I64() { return int64_t(U64()); }
    // The next n bytes; empty (and failure) when fewer remain.
    Bytes Take(size_t n) {
        if (!ok_ || n > remaining()) {
            ok_ = false;
            return {};
        }
        Bytes b = data_.subspan(pos_, n);
        pos_ += n;
        return b;
    }
    Bytes Rest() { return Take(remaining()); }

private:
    uint64_t Read(size_t n) {
        if (!ok_ || n > remaining()) {
            ok_ = false;
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v = (v << 8) | data_[pos_ + i];
        pos_ += n;
        return v;
    }

    Bytes data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

inline std::string FourCCText(uint32_t code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) {
        char c = char((code >> (24 - 8 * i)) & 0xff);
        s[size_t(i)] = (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

}  // namespace brevio::engine
