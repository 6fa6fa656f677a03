// Every file entry the file systems on a disk still hold, live and deleted,
// read through the engine's sector reader. The one place that knows the
// file-system library; the rest sees these plain records.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scan/file_types.h"

namespace lumicarve {

enum class FsKind : uint8_t { kFat, kExFat, kNtfs, kExt, kOther };

struct FsEntry {
  std::string folder;  // '/'-separated below the volume's root, "" for the root
  std::string name;
  FsKind kind = FsKind::kOther;
  bool live = false;     // the name and its data are allocated
  bool regular = false;  // a file (not a folder, link or the library's own stand-ins)
  uint64_t size = 0;
  uint64_t modified = 0;  // FILETIME, 0 = unknown
  uint64_t created = 0;
  // The data's stretches on the device in file order; empty when the data
  // lies inside the metadata or its place is unknown.
  std::vector<ByteRun> runs;
};

struct FsReadResult {
  bool cancelled = false;
  int volumes = 0;                 // file systems read
  std::vector<std::string> notes;  // what could not be read, for the log
};

// Reads every file system on the device `handle` (`sectors` sectors of
// 512 bytes): each volume of a partition table, or the whole disk when it
// holds a file system without one. Failed reads count in `readErrors`;
// `cancel` is polled between entries; `progress` gets a per-mille now and
// then.
FsReadResult ReadFileSystemEntries(int handle, uint64_t sectors, std::atomic<int32_t>& readErrors,
                                   const std::function<bool()>& cancel,
                                   const std::function<void(uint32_t)>& progress, std::vector<FsEntry>& out);

}  // namespace lumicarve
