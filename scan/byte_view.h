// Bounds-checked reads of little- and big-endian fields from a byte range.
// Every accessor answers "not enough bytes" (false) instead of reading past
// the end, so parsers of device content can never overrun their buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lumicarve {

class ByteView {
 public:
  ByteView() = default;
  ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

  bool has(size_t off, size_t n) const { return off <= size_ && n <= size_ - off; }

  bool u8(size_t off, uint8_t& v) const {
    if (!has(off, 1)) return false;
    v = data_[off];
    return true;
  }
  bool u16le(size_t off, uint16_t& v) const {
    if (!has(off, 2)) return false;
    v = static_cast<uint16_t>(data_[off] | data_[off + 1] << 8);
    return true;
  }
  bool u16be(size_t off, uint16_t& v) const {
    if (!has(off, 2)) return false;
    v = static_cast<uint16_t>(data_[off] << 8 | data_[off + 1]);
    return true;
  }
  bool u32le(size_t off, uint32_t& v) const {
    if (!has(off, 4)) return false;
    v = uint32_t{data_[off]} | uint32_t{data_[off + 1]} << 8 | uint32_t{data_[off + 2]} << 16 |
        uint32_t{data_[off + 3]} << 24;
    return true;
  }
  bool u32be(size_t off, uint32_t& v) const {
    if (!has(off, 4)) return false;
    v = uint32_t{data_[off]} << 24 | uint32_t{data_[off + 1]} << 16 | uint32_t{data_[off + 2]} << 8 |
        uint32_t{data_[off + 3]};
    return true;
  }
  bool u64be(size_t off, uint64_t& v) const {
    uint32_t hi = 0, lo = 0;
    if (!u32be(off, hi) || !u32be(off + 4, lo)) return false;
    v = uint64_t{hi} << 32 | lo;
    return true;
  }
  bool u64le(size_t off, uint64_t& v) const {
    uint32_t lo = 0, hi = 0;
    if (!u32le(off, lo) || !u32le(off + 4, hi)) return false;
    v = uint64_t{hi} << 32 | lo;
    return true;
  }
  bool u16(size_t off, bool bigEndian, uint16_t& v) const {
    return bigEndian ? u16be(off, v) : u16le(off, v);
  }
  bool u32(size_t off, bool bigEndian, uint32_t& v) const {
    return bigEndian ? u32be(off, v) : u32le(off, v);
  }
  // True when the bytes at `off` equal the `n` bytes of `text`.
  bool equals(size_t off, const void* text, size_t n) const {
    return has(off, n) && std::memcmp(data_ + off, text, n) == 0;
  }
  ByteView slice(size_t off, size_t n) const {
    if (!has(off, n)) return {};
    return {data_ + off, n};
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace lumicarve
