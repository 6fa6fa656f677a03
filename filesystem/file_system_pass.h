// The file-system pass: what the card's file systems still know about the
// files the carve finds (original names, folders, times, live or deleted,
// exact extents), which clusters belong to live files, and which files the
// carve did not list.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "filesystem/fs_entries.h"
#include "scan/carve_hints.h"

namespace lumicarve {

// The type a file name's extension stands for in `catalogue`, or 0.
FileTypeMask TypeForFileName(const TypeCatalogue& catalogue, const std::string& name);

class FileSystemPass : public CarveHints {
 public:
  explicit FileSystemPass(const TypeCatalogue& catalogue) : catalogue_(catalogue) {}

  bool Prepare(ScanContext& context) override;
  SettledExtent Settle(uint64_t startSector, uint64_t length, FileTypeMask type) override;
  bool ListUnfound(ScanContext& context, FileTypeMask enabled,
                   const std::function<void(FileTypeMask, uint64_t, SettledExtent)>& list) override;

  // Takes entries read elsewhere, as Prepare does after reading them.
  void Index(std::vector<FsEntry> entries);
  const std::vector<std::string>& notes() const { return notes_; }

 private:
  struct LiveRun {
    uint64_t first, end;  // sectors, end exclusive
    size_t entry;
  };
  // The entry whose data starts at `sector` and that agrees with `type` (and
  // the carve's `claimed` length, when it can tell one).
  const FsEntry* EntryAt(uint64_t sector, FileTypeMask type, uint64_t claimed) const;
  // The first sector after `start` and before `end` that holds data of a live
  // file other than `own`; `end` when there is none.
  uint64_t FirstForeignLive(uint64_t start, uint64_t end, const FsEntry* own) const;
  // The stretches a deleted entry's data would have, or none when part of
  // them now belongs to a live file.
  std::vector<ByteRun> DeletedExtent(const FsEntry& e) const;
  SettledExtent Describe(const FsEntry& e, uint64_t startSector, uint64_t claimed) const;

  const TypeCatalogue& catalogue_;
  std::vector<FsEntry> entries_;
  std::unordered_multimap<uint64_t, size_t> byFirstSector_;
  std::vector<LiveRun> live_;  // sorted by first
  std::vector<bool> settled_;  // per entry: the carve found it
  std::vector<std::string> notes_;
};

// The factory a front end puts into ScanContext::carveHints.
std::unique_ptr<CarveHints> MakeFileSystemPass(ScanContext& context);

}  // namespace lumicarve
