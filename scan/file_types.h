// File types, the found-file record and the type catalogue: the vocabulary the
// engine, the results and the window share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lumicarve {

using FileTypeMask = uint64_t;

inline constexpr FileTypeMask FT_JPG = 0x00000001;
inline constexpr FileTypeMask FT_MOV = 0x00000002;
inline constexpr FileTypeMask FT_AVI = 0x00000004;
inline constexpr FileTypeMask FT_PNG = 0x00000008;
inline constexpr FileTypeMask FT_GIF = 0x00000010;
inline constexpr FileTypeMask FT_BMP = 0x00000020;
inline constexpr FileTypeMask FT_TIF = 0x00000040;
inline constexpr FileTypeMask FT_MPG = 0x00000080;
inline constexpr FileTypeMask FT_WMV = 0x00000100;
// Interim type of an ASF header until a video stream is seen; never on a record.
inline constexpr FileTypeMask FT_ASF = 0x00000200;
// Added later in the free bits, so the existing bits keep their meaning.
inline constexpr FileTypeMask FT_HEIC = 0x00000400;
inline constexpr FileTypeMask FT_AVIF = 0x00000800;
inline constexpr FileTypeMask FT_WEBP = 0x00001000;
inline constexpr FileTypeMask FT_MKV = 0x00002000;
inline constexpr FileTypeMask FT_WEBM = 0x00004000;
inline constexpr FileTypeMask FT_CR3 = 0x00008000;
inline constexpr FileTypeMask FT_RAF = 0x00010000;
inline constexpr FileTypeMask FT_MTS = 0x00080000;
inline constexpr FileTypeMask FT_MP4 = 0x00100000;
inline constexpr FileTypeMask FT_3GP = 0x00200000;
inline constexpr FileTypeMask FT_CR2 = 0x00400000;
inline constexpr FileTypeMask FT_NEF = 0x00800000;
inline constexpr FileTypeMask FT_PEF = 0x01000000;
inline constexpr FileTypeMask FT_ORF = 0x02000000;
inline constexpr FileTypeMask FT_DNG = 0x04000000;
inline constexpr FileTypeMask FT_ARW = 0x08000000;
inline constexpr FileTypeMask FT_RW2 = 0x10000000;
inline constexpr FileTypeMask FT_SRW = 0x20000000;

inline constexpr FileTypeMask kAllTypes = ~FileTypeMask{0};
inline constexpr FileTypeMask kPictureTypes = 0x3FC00079 | FT_HEIC | FT_AVIF | FT_WEBP | FT_CR3 | FT_RAF;
inline constexpr FileTypeMask kVideoTypes = 0x00380186 | FT_MKV | FT_WEBM;
// The RAW types the TIFF walk re-types a TIFF to.
inline constexpr FileTypeMask kTiffRawTypes = 0x3FC00000;
inline constexpr FileTypeMask kTiffFamily = FT_TIF | kTiffRawTypes;

// Whether the card's file system still lists a found file.
enum class FileState : uint8_t { kUnknown, kLive, kDeleted };

// A stretch of a file's bytes on the device, in file order.
struct ByteRun {
  uint64_t offset;  // byte offset on the device
  uint64_t length;  // bytes
};

// What the card's file system knows about a found file. Shared read-only
// between the copies of a record.
struct FileOrigin {
  std::string folder;     // '/'-separated, empty for the volume's root
  std::string name;       // as stored, extension included
  FileState state = FileState::kUnknown;
  uint64_t modified = 0;  // FILETIME, 0 = unknown
  uint64_t created = 0;
  // Where the file's bytes lie when they are not one stretch from the start
  // sector; empty otherwise.
  std::vector<ByteRun> runs;
  bool foundByFileSystem = false;  // the carve did not list it
};

// One found file. Plain data: the scan thread fills it completely before it
// hands it over, and never touches it again.
struct FoundFile {
  char name[24];         // "%08d.%s": running number and extension
  uint64_t length;       // bytes
  uint32_t type;         // one type bit (low half of FileTypeMask)
  uint64_t startSector;  // 512-byte device sector where the file begins
  uint64_t date;         // FILETIME, 0 = unknown
  uint32_t reserved;     // left zero by the engine
  FoundFile* next;       // chain of the results storage; null when handed over
  std::shared_ptr<const FileOrigin> origin;  // null: no file-system entry
};

inline FileState StateOf(const FoundFile& f) { return f.origin ? f.origin->state : FileState::kUnknown; }

// An extension of up to four letters and its terminating zero.
inline constexpr size_t kExtensionSize = 5;

struct TypeEntry {
  FileTypeMask mask;     // all ones marks the end of the table
  uint32_t description;  // string-table id
  char extension[kExtensionSize];
};

using TypeCatalogue = std::array<TypeEntry, 64>;

// Fills the catalogue in extension order (AVI before ARW, as stored) and closes
// it with an end entry.
void FillTypeCatalogue(TypeCatalogue& catalogue);

// Copies the extension of the entry whose mask equals `type` exactly into `out`
// (kExtensionSize bytes), or "000" when none does. Returns `out`.
char* ExtensionForType(const TypeCatalogue& catalogue, FileTypeMask type, char* out);

// Class tests on the whole low 32 bits: a value with two bits set is in no class.
bool IsPictureType(FileTypeMask type);
bool IsRawType(FileTypeMask type);
bool IsVideoType(FileTypeMask type);

}  // namespace lumicarve
