#include "scan/formats/ifd_visitor.h"

#include <algorithm>
#include <cstring>

#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

// An IFD of kMaxIfdEntries entries with its count and next-IFD offset.
constexpr size_t kMaxIfdBytes = 2 + 12 * size_t{kMaxIfdEntries} + 4;

}  // namespace

IfdVisitor::IfdVisitor(int fd, uint64_t startSector, bool bigEndian, CancelCheck cancelled)
    : fd_(fd), start_(startSector), onDevice_(true), be_(bigEndian), cancelled_(std::move(cancelled)) {}

IfdVisitor::IfdVisitor(ByteView tiff, bool bigEndian, CancelCheck cancelled)
    : memory_(tiff), be_(bigEndian), cancelled_(std::move(cancelled)) {}

ByteView IfdVisitor::Read(uint64_t at, size_t want, std::vector<uint8_t>& buf) {
  if (!onDevice_) {
    if (at >= memory_.size()) return {};
    return memory_.slice(static_cast<size_t>(at), std::min<uint64_t>(want, memory_.size() - at));
  }
  const uint64_t sector = start_ + at / kSectorSize;
  const size_t skip = static_cast<size_t>(at % kSectorSize);
  const uint64_t limit = ReadLimit();
  if (sector >= limit) return {};
  const uint64_t sectors = std::min<uint64_t>((skip + want + kSectorSize - 1) / kSectorSize, limit - sector);
  buf.resize(static_cast<size_t>(sectors) * kSectorSize);
  if (!ReadSectors(fd_, sector, static_cast<uint32_t>(sectors), kSectorSize, buf.data())) return {};
  return ByteView(buf.data(), buf.size()).slice(skip, std::min(want, buf.size() - skip));
}

bool IfdVisitor::ReadBytes(uint64_t at, size_t n, uint8_t* out) {
  std::vector<uint8_t> buf;
  const ByteView bytes = Read(at, n, buf);
  if (bytes.size() < n) return false;
  std::memcpy(out, bytes.data(), n);
  return true;
}

uint32_t IfdVisitor::LastArrayValue(const TiffEntry& e) {
  if (e.count == 0) return 0;
  const uint32_t size = e.fieldType == 3 ? 2 : 4;
  uint8_t raw[4];
  if (uint64_t{e.count} * size <= 4) {
    // Inline values: lay the value field out again in the file's byte order.
    for (int i = 0; i < 4; ++i) raw[i] = uint8_t(e.value >> (be_ ? 24 - 8 * i : 8 * i));
    if (size == 4) return e.value;
    uint16_t v = 0;
    ByteView(raw, 4).u16((e.count - 1) * 2, be_, v);
    return v;
  }
  if (!ReadBytes(uint64_t{e.value} + uint64_t{e.count - 1} * size, size, raw)) return 0;
  const ByteView view(raw, size);
  uint16_t v16 = 0;
  uint32_t v32 = 0;
  if (size == 2) return view.u16(0, be_, v16) ? v16 : 0;
  return view.u32(0, be_, v32) ? v32 : 0;
}

bool IfdVisitor::Claim(uint32_t offset) {
  if (stopped_) return false;
  if (walked_ >= kMaxIfdsPerFile || (cancelled_ && cancelled_())) {
    stopped_ = true;
    return false;
  }
  if (std::find(visited_.begin(), visited_.end(), offset) != visited_.end()) return false;
  visited_.push_back(offset);
  ++walked_;
  return true;
}

uint32_t IfdVisitor::Walk(const IfdPlace& place, Handler& handler) {
  std::vector<uint8_t> buf;
  const ByteView bytes = Read(place.offset, kMaxIfdBytes, buf);
  uint16_t count = 0;
  if (!bytes.u16(0, be_, count) || count > kMaxIfdEntries) {
    handler.IfdDone(place, count, false);
    return 0;
  }
  for (int i = 0; i < count && !stopped_; ++i) {
    TiffEntry e;
    if (!ReadTiffEntry(bytes, 0, i, be_, e)) break;
    handler.Entry(*this, place, e);
  }
  handler.IfdDone(place, count, true);
  // A next-IFD offset past the bytes read ends the chain.
  uint32_t next = 0;
  bytes.u32(2 + size_t{count} * 12, be_, next);
  return next;
}

void IfdVisitor::WalkChain(uint32_t first, Handler& handler, int maxChain) {
  IfdPlace place;
  for (uint32_t offset = first; offset != 0 && place.chainIndex < maxChain && Claim(offset); ++place.chainIndex) {
    place.offset = offset;
    offset = Walk(place, handler);
  }
}

bool IfdVisitor::WalkBelow(const IfdPlace& parent, IfdKind kind, uint32_t offset, Handler& handler) {
  if (parent.depth >= kMaxSubIfdDepth || !Claim(offset)) return false;
  IfdPlace place{kind, parent.chainIndex, parent.depth + 1, offset};
  Walk(place, handler);
  return true;
}

void IfdVisitor::WalkSubIfds(const IfdPlace& parent, const TiffEntry& e, Handler& handler) {
  if (e.count == 0 || parent.depth >= kMaxSubIfdDepth) return;
  if (e.count == 1) {
    WalkBelow(parent, IfdKind::kSub, e.value, handler);
    return;
  }
  const uint32_t n = std::min<uint32_t>(e.count, kMaxSubIfdsPerTag);
  uint8_t raw[4 * kMaxSubIfdsPerTag];
  if (!ReadBytes(e.value, size_t{n} * 4, raw)) return;
  const ByteView offsets(raw, size_t{n} * 4);
  for (uint32_t i = 0; i < n && !stopped_; ++i) {
    uint32_t offset = 0;
    offsets.u32(size_t{i} * 4, be_, offset);
    WalkBelow(parent, IfdKind::kSub, offset, handler);
  }
}

}  // namespace lumicarve
