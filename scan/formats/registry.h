// The format registry: one row per file type, each defined in its format's
// file under scan/formats/ and listed once, in signature-test order, in
// registry.cpp. The recogniser, the scan loop, the extent dispatch and the
// type catalogue all read this table; nothing else knows a format by name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "scan/byte_view.h"
#include "scan/file_types.h"
#include "scan/formats/end_rules.h"

namespace lumicarve {

struct ScanContext;

// What a header tells of a found file's length.
struct Extent {
  enum class Kind {
    kDrop,       // no file after all, or shorter than its format's smallest header
    kLength,     // `length` bytes, the header's claim (the caller checks it against the device)
    kOpenEnded,  // the header says the file runs on without saying how far
  };
  Kind kind = Kind::kDrop;
  uint64_t length = 0;

  static Extent Drop() { return {}; }
  static Extent OpenEnded() { return {Kind::kOpenEnded, 0}; }
  // A claim of `bytes`; one shorter than `smallest`, the least a header of
  // the format takes, is no file.
  static Extent Claim(uint64_t bytes, uint64_t smallest = 1) {
    return bytes < smallest ? Drop() : Extent{Kind::kLength, bytes};
  }
};

enum class TypeGroup : uint8_t { kNone, kPicture, kRaw, kVideo };

// Ends the file in progress inside the loop: returns the file's length when
// the sector ends it. `s` is the sector and its look-ahead (end_rules.h).
// `ignored` is the type whose signature matched in this sector and was
// ignored, 0 when none did.
using SectorEndRule = std::optional<uint64_t> (*)(const ByteView& s, uint64_t sector, uint64_t offset,
                                                  const PreviousSector& prev, FileRuleState& state,
                                                  FileTypeMask ignored);
// What the file's headers on the device tell of its length. May re-type `type`.
using ExtentRule = Extent (*)(ScanContext& context, uint64_t startSector, FileTypeMask& type);

struct FileFormat {
  FileTypeMask type = 0;
  // Catalogue entry; a null extension marks an interim type never listed.
  const char* extension = nullptr;
  uint32_t description = 0;  // string-table id
  TypeGroup group = TypeGroup::kNone;

  // Signature test on a sector (512 bytes, followed by the next sector's).
  // Null when the type is only reached by re-typing another.
  bool (*signature)(const ByteView& sector) = nullptr;
  // The test runs when any of these types is enabled (0: this type alone).
  FileTypeMask enabledBy = 0;
  // A matching sector starts nothing when the type is disabled, rather than
  // falling to a later, less specific row.
  bool ownsSignature = false;
  // Bytes the signature can start with, and for a signature that can start
  // with any byte, the bytes it can have at offset 4. A sector matching no
  // row's either is skipped before any test runs.
  std::string_view firstBytes{};
  std::string_view fifthBytes{};

  // Exactly one of the two end rules is set for a type that has a signature.
  SectorEndRule sectorEnd = nullptr;
  ExtentRule extent = nullptr;
  // Called when a file of this type starts.
  void (*begin)(FileRuleState& state, uint64_t sector, const ByteView& s) = nullptr;
  // A new signature within this many bytes of the start does not close the file.
  uint64_t signaturesIgnoredBelow = 0;
  // A header length below `minimumLength` is not trusted: the file runs on
  // sector by sector until a signature past it closes it, at most to
  // `maximumLength`.
  uint64_t minimumLength = 0;
  uint64_t maximumLength = 0;

  // Reads the capture date the file's own metadata records from the device
  // when the file is listed; false when it records none. Null for the types
  // dated elsewhere (video containers, TIFF-based RAWs, JPEG) or not at all.
  bool (*captureDate)(int handle, const FoundFile& file, uint64_t& filetime) = nullptr;
};

// Every row, in the order the signature tests run.
std::span<const FileFormat* const> Formats();

// The row of a single type bit, or null (0, an unknown bit, two bits).
const FileFormat* FormatOf(FileTypeMask type);

}  // namespace lumicarve
