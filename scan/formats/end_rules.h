// The end rules that run inside the scan loop, one sector at a time, for the
// formats whose end is a marker rather than a header length. Each takes `s`,
// a view of the sector under examination followed by the next sector
// (kRuleViewBytes; zeros past the device end), and `offset`, the file offset
// of the sector's first byte. A rule examines the sector's 512 bytes and may
// read a marker's or header's last bytes from the look-ahead. Each returns
// the file's length when this sector ends it, else nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "scan/byte_view.h"

namespace lumicarve {

inline constexpr size_t kRuleSectorBytes = 512;
inline constexpr size_t kRuleViewBytes = 2 * kRuleSectorBytes;

// What the loop keeps of the previously examined sector.
struct PreviousSector {
  uint8_t last = 0;      // its last byte
  uint32_t last4 = 0;    // its last four bytes, big-endian (the last byte lowest)
};

// The JPEG end search. The structure walk follows the marker chain through
// every segment and through the entropy-coded data of every scan to the EOI
// that ends the primary image. Where the structure breaks it falls back to
// the marker-chain rule: an FF D9 followed only by zeros to the end of its
// sector, once a DHT was met on the chain, and past 2 MiB the first sector
// whose tail is all zero.
struct JpegWalk {
  // The fallback rule's chain.
  uint64_t expectedMarker = 2;  // file offset of the marker the chain expects
  uint64_t segmentLength = 0;
  bool huffman = false;         // a DHT segment was met on the marker chain

  // The structure walk.
  enum class Mode : uint8_t { kChain, kEntropy, kBroken };
  Mode mode = Mode::kChain;
  bool scanSeen = false;       // an SOS was passed: an EOI now ends the image
  uint8_t fillRun = 0;         // consecutive FF fill bytes
  uint64_t next = 2;           // kChain: offset of the next marker; kEntropy: where the search for FF goes on
  uint64_t limit = ~uint64_t{0};  // bytes from the file start to the device end

  // The Multi-Picture index (APP2 "MPF"): its bytes from the TIFF header on
  // are kept as their sectors pass, and read when the primary image ends.
  static constexpr size_t kIndexBytes = 1024;
  uint64_t indexBase = 0;   // file offset of the index's TIFF header, 0 = none
  uint64_t indexEnd = 0;    // file offset where the kept bytes end
  uint8_t index[kIndexBytes];
};

std::optional<uint64_t> JpegSectorEnd(const ByteView& s, uint64_t offset, const PreviousSector& prev, JpegWalk& walk);
std::optional<uint64_t> PngSectorEnd(const ByteView& s, uint64_t offset, const PreviousSector& prev);
// The GIF end search: the block walk (header, colour tables, extensions and
// images with their sub-block chains) to the trailer; where the chain breaks,
// a trailer after a zero byte followed only by zeros to the end of its sector.
struct GifWalk {
  enum class Mode : uint8_t { kBlock, kSubBlocks, kBroken };
  Mode mode = Mode::kBlock;
  uint64_t next = 0;  // file offset of the next block introducer or sub-block size
};

std::optional<uint64_t> GifSectorEnd(const ByteView& s, uint64_t offset, const PreviousSector& prev, GifWalk& walk);
std::optional<uint64_t> MpegSectorEnd(const ByteView& s, uint64_t offset, const PreviousSector& prev);
// `packetOffset` is the file offset of the next 192-byte packet to examine.
std::optional<uint64_t> AvchdSectorEnd(const ByteView& s, uint64_t offset, uint64_t& packetOffset);

// An MPEG stream that never writes an end code (ffmpeg's program-stream muxer
// writes none, and a deleted file's tail is often overwritten) would run on
// forever, because signatures are ignored while a stream is in progress.
//
// A program stream (it begins with a pack header) is followed pack by pack:
// pack headers, the system header and PES packets carry their own lengths, so
// the stream ends exactly where its structure stops, whatever follows it. An
// elementary stream has no lengths: this tracks where its structure was last
// seen, so the loop can close it after a long stretch without any start code.
struct MpegTracker {
  bool packStream = false;        // began with a pack header (else a sequence header)
  uint64_t clock = 0;             // system clock reference of the last pack header
  bool walkBroken = false;        // the pack walk met something no program stream holds
  uint64_t packets = 0;           // packets the pack walk has passed
  uint64_t nextCode = 0;          // file offset of the next start code the pack walk expects
  uint64_t lastPrefix = 0;        // last sector holding a start-code prefix
  uint64_t lastHeader = 0;        // last sector holding a pack (or sequence/GOP) header
  uint64_t lastBusy = 0;          // last sector, before an ignored signature, that is not all zeros
  uint64_t ignoredSignature = 0;  // first sector, from lastHeader on, where another file's signature was ignored
  bool haveIgnored = false;
  uint32_t quietSectors = 0;      // consecutive sectors without a start-code prefix

  static constexpr uint32_t kQuietLimit = 64;

  void Start(uint64_t sector, bool packHeader);
  // The pack walk through this sector (file offset `offset`): the stream's
  // length when its structure ends here. Once the walk breaks it answers
  // nothing and the end-code rule and the tracker decide.
  std::optional<uint64_t> WalkPacks(const ByteView& s, uint64_t offset);
  // Called for every sector of the stream; `signatureIgnored` when the
  // recogniser matched there a type other than the stream's own.
  void Observe(const ByteView& s, uint64_t sector, bool signatureIgnored);
  // When the stream has gone quiet, the sector where it ends (exclusive):
  // after the last sector with data before an ignored signature if any, else
  // the sector after the last start code.
  bool Ended(uint64_t& endSector) const;
};

// What the in-loop rules keep about the file in progress.
struct FileRuleState {
  uint64_t limit = 0;  // bytes from the file's start to the device end
  JpegWalk jpeg;
  GifWalk gif;
  uint64_t avchdOffset = 0;
  MpegTracker mpeg;

  // Clears what a new file must not inherit; the MPEG tracker is set by its
  // own start.
  void Reset() {
    jpeg = JpegWalk{};
    gif = GifWalk{};
    avchdOffset = 0;
  }
};

}  // namespace lumicarve
