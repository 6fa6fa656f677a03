// Bounds-checked reads of little- and big-endian fields from a byte range.
// Every accessor answers "not enough bytes" (false) instead of reading past
// the end, so parsers of device content can never overrun their buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

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
  // Copies the `n` bytes at `off` to `out`; false when they are not all here.
  bool copy(size_t off, size_t n, void* out) const {
    if (!has(off, n)) return false;
    if (n) std::memcpy(out, data_ + off, n);
    return true;
  }
  // The byte at `off`, or 0 past the end, as a device reads beyond its last
  // sector. For rules that peek a few bytes ahead of what they examine.
  uint8_t byte(size_t off) const { return off < size_ ? data_[off] : 0; }
  // True when the bytes from `from` to `to` (clipped at the end) are all zero.
  bool zeros(size_t from, size_t to) const {
    for (size_t i = from; i < to && i < size_; ++i)
      if (data_[i]) return false;
    return true;
  }
  // The offset of the first `value` from `from` to `to` (clipped at the end).
  std::optional<size_t> find(size_t from, size_t to, uint8_t value) const {
    to = to < size_ ? to : size_;
    if (from >= to) return std::nullopt;
    const void* hit = std::memchr(data_ + from, value, to - from);
    if (!hit) return std::nullopt;
    return static_cast<size_t>(static_cast<const uint8_t*>(hit) - data_);
  }
  // The offset of the first `n` bytes equal to `text` that start from `from`
  // to `to` and lie whole in the view.
  std::optional<size_t> find(size_t from, size_t to, const void* text, size_t n) const {
    if (n == 0 || from >= size_ || n > size_ - from) return std::nullopt;
    const size_t last = to - 1 < size_ - n ? to - 1 : size_ - n;  // last start that fits
    if (to == 0 || from > last) return std::nullopt;
    const void* hit = memmem(data_ + from, last - from + n, text, n);
    if (!hit) return std::nullopt;
    return static_cast<size_t>(static_cast<const uint8_t*>(hit) - data_);
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
