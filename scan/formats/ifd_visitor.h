// The one walker of TIFF IFD structures, used by every reader of them (file
// length and type, RAW preview and date, the EXIF date of a JPEG). Offsets come
// from untrusted bytes: an IFD already walked anywhere in the file is never
// walked again, a file gets at most kMaxIfdsPerFile IFDs and a SubIFD tag at
// most kMaxSubIfdsPerTag of its offsets, an entry past the bytes read is never
// looked at, and a raised cancel ends the walk before its next IFD.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "scan/byte_view.h"
#include "scan/formats/tiff_entry.h"

namespace lumicarve {

inline constexpr int kMaxIfdsPerFile = 64;
inline constexpr int kMaxSubIfdsPerTag = 9;

// Answers true once the walk is to stop (the scan or the worker was cancelled).
using CancelCheck = std::function<bool()>;

enum class IfdKind { kChain, kSub, kExif };

// Where an IFD stands: in the top-level chain (its index there), or below an
// entry at `depth` levels of nesting.
struct IfdPlace {
  IfdKind kind = IfdKind::kChain;
  int chainIndex = 0;  // index of the top-level IFD this one belongs to
  int depth = 0;
  uint32_t offset = 0;
};

class IfdVisitor {
 public:
  class Handler {
   public:
    virtual ~Handler() = default;
    // Each entry of each walked IFD, in order. A SubIFD or EXIF IFD the
    // handler walks from here is walked where its entry stands.
    virtual void Entry(IfdVisitor& walk, const IfdPlace& place, const TiffEntry& e) = 0;
    // After an IFD's entries: `count` is its entry count, 0 when it could not
    // be read; `walked` is false when it was refused (unreadable, too many
    // entries).
    virtual void IfdDone(const IfdPlace&, uint16_t /*count*/, bool /*walked*/) {}
  };

  // The TIFF structure starting at `startSector` of the device `fd`; offsets
  // are counted from that sector.
  IfdVisitor(int fd, uint64_t startSector, bool bigEndian, CancelCheck cancelled = {});
  // A TIFF structure held in memory (the EXIF block of a JPEG).
  IfdVisitor(ByteView tiff, bool bigEndian, CancelCheck cancelled = {});

  // Walks IFD0 at `first` and the chain of next IFDs after it, at most
  // `maxChain` of them.
  void WalkChain(uint32_t first, Handler& handler, int maxChain = std::numeric_limits<int>::max());
  // Walks the IFD at `offset` below `parent`. False when it was not walked.
  bool WalkBelow(const IfdPlace& parent, IfdKind kind, uint32_t offset, Handler& handler);
  // Walks the SubIFDs a tag 330 entry lists (at most kMaxSubIfdsPerTag).
  void WalkSubIfds(const IfdPlace& parent, const TiffEntry& e, Handler& handler);

  // Reads up to `want` bytes from file offset `at` (fewer at the device's or
  // the buffer's end) into `buf`; the view starts at `at` and is empty when
  // nothing could be read.
  ByteView Read(uint64_t at, size_t want, std::vector<uint8_t>& buf);
  // Reads `n` bytes at file offset `at` into `out`; false when they cannot
  // all be read.
  bool ReadBytes(uint64_t at, size_t n, uint8_t* out);
  // The last element of a SHORT or LONG array entry, inline or out of line.
  uint32_t LastArrayValue(const TiffEntry& e);

  bool bigEndian() const { return be_; }
  // True once the walk was cancelled or ran out of its IFD budget.
  bool stopped() const { return stopped_; }
  int ifdsWalked() const { return walked_; }

 private:
  // Claims a visit of the IFD at `offset`: false when it was visited before,
  // the budget is spent or the walk was cancelled.
  bool Claim(uint32_t offset);
  // Walks one IFD; returns its next-IFD offset (0 for none).
  uint32_t Walk(const IfdPlace& place, Handler& handler);

  int fd_ = -1;
  uint64_t start_ = 0;
  ByteView memory_;
  bool onDevice_ = false;
  bool be_ = false;
  CancelCheck cancelled_;
  std::vector<uint32_t> visited_;
  int walked_ = 0;
  bool stopped_ = false;
};

}  // namespace lumicarve
