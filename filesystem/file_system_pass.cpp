#include "filesystem/file_system_pass.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "scan/recognise.h"
#include "scan/scan_context.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

// Types the signature alone cannot tell apart from their relatives: the
// carve names them by their inner structure, a file name by its extension.
FileTypeMask Family(FileTypeMask type) {
  if (type & kTiffFamily) return kTiffFamily;
  if (type & (FT_MOV | FT_MP4 | FT_3GP)) return FT_MOV | FT_MP4 | FT_3GP;
  if (type & (FT_WMV | FT_ASF)) return FT_WMV | FT_ASF;
  return type;
}

bool SameFamily(FileTypeMask a, FileTypeMask b) { return a && b && Family(a) == Family(b); }

uint64_t SectorsFor(uint64_t bytes) { return (bytes + kSectorSize - 1) / kSectorSize; }

std::shared_ptr<FileOrigin> OriginOf(const FsEntry& e) {
  auto origin = std::make_shared<FileOrigin>();
  origin->folder = e.folder;
  origin->name = e.name;
  origin->state = e.live ? FileState::kLive : FileState::kDeleted;
  origin->modified = e.modified;
  origin->created = e.created;
  return origin;
}

}  // namespace

FileTypeMask TypeForFileName(const TypeCatalogue& catalogue, const std::string& name) {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return 0;
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const std::pair<const char*, const char*> kAliases[] = {
      {"JPEG", "JPG"}, {"JPE", "JPG"}, {"TIFF", "TIF"}, {"MPEG", "MPG"}, {"M2TS", "MTS"},
      {"M4V", "MP4"},  {"QT", "MOV"},  {"ASF", "WMV"},  {"3GPP", "3GP"}, {"HEIF", "HEIC"}, {"HIF", "HEIC"}};
  for (const auto& [alias, canonical] : kAliases)
    if (ext == alias) ext = canonical;
  for (const TypeEntry& e : catalogue) {
    if (e.mask == kAllTypes) break;
    if (ext == e.extension) return e.mask;
  }
  return 0;
}

void FileSystemPass::Index(std::vector<FsEntry> entries) {
  entries_ = std::move(entries);
  settled_.assign(entries_.size(), false);
  byFirstSector_.clear();
  live_.clear();
  for (size_t i = 0; i < entries_.size(); ++i) {
    const FsEntry& e = entries_[i];
    if (e.runs.empty()) continue;
    if (e.regular && e.runs.front().offset % kSectorSize == 0)
      byFirstSector_.emplace(e.runs.front().offset / kSectorSize, i);
    if (!e.live) continue;
    for (const ByteRun& r : e.runs)
      live_.push_back({r.offset / kSectorSize, SectorsFor(r.offset + r.length), i});
  }
  std::sort(live_.begin(), live_.end(), [](const LiveRun& a, const LiveRun& b) { return a.first < b.first; });
}

bool FileSystemPass::Prepare(ScanContext& c) {
  c.observer.OnPhase(kPhaseReadFileSystem);
  std::vector<FsEntry> entries;
  int shown = 0;
  const FsReadResult r = ReadFileSystemEntries(
      c.ScannedHandle(), c.ScannedSectors(), c.readErrors, [&c] { return c.Cancelled(); },
      [&c, &shown](uint32_t perMille) {
        if (static_cast<int>(perMille) < shown + 10) return;
        shown = static_cast<int>(perMille);
        c.observer.OnProgress(shown);
      },
      entries);
  notes_ = r.notes;
  if (r.cancelled) return false;
  Index(std::move(entries));
  return true;
}

const FsEntry* FileSystemPass::EntryAt(uint64_t sector, FileTypeMask type, uint64_t claimed) const {
  const FsEntry* best = nullptr;
  auto [from, to] = byFirstSector_.equal_range(sector);
  for (auto it = from; it != to; ++it) {
    const FsEntry& e = entries_[it->second];
    // A live file is what lies there now, whatever its name says.
    if (e.live) return &e;
    // A deleted entry whose name names another type was overwritten.
    if (!SameFamily(TypeForFileName(catalogue_, e.name), type)) continue;
    // Of deleted entries that share a first cluster, the one the bytes end
    // like wrote last; otherwise the newest.
    const bool fits = claimed && e.size == claimed, bestFits = best && claimed && best->size == claimed;
    if (!best || (fits && !bestFits) || (fits == bestFits && e.modified > best->modified)) best = &e;
  }
  return best;
}

uint64_t FileSystemPass::FirstForeignLive(uint64_t start, uint64_t end, const FsEntry* own) const {
  auto it = std::upper_bound(live_.begin(), live_.end(), start,
                             [](uint64_t s, const LiveRun& r) { return s < r.first; });
  for (; it != live_.end() && it->first < end; ++it)
    if (&entries_[it->entry] != own) return it->first;
  return end;
}

std::vector<ByteRun> FileSystemPass::DeletedExtent(const FsEntry& e) const {
  std::vector<ByteRun> runs = e.runs;
  // A deleted FAT file's cluster chain is cleared: only its first cluster and
  // its size are left, so its data is taken to follow on from there.
  if (e.kind == FsKind::kFat) runs = {{e.runs.front().offset, e.size}};
  for (const ByteRun& r : runs) {
    const uint64_t first = r.offset / kSectorSize, end = SectorsFor(r.offset + r.length);
    auto it = std::upper_bound(live_.begin(), live_.end(), end,
                               [](uint64_t s, const LiveRun& l) { return s <= l.first; });
    // Live stretches do not overlap, so the last one that begins before this
    // one ends is the only one that can reach into it.
    if (it != live_.begin() && std::prev(it)->end > first) return {};
  }
  return runs;
}

SettledExtent FileSystemPass::Describe(const FsEntry& e, uint64_t startSector, uint64_t claimed) const {
  SettledExtent out;
  auto origin = OriginOf(e);
  const std::vector<ByteRun> runs = e.live ? e.runs : DeletedExtent(e);
  if (!runs.empty() && e.size > 0) {
    out.length = e.size;
    out.contiguous = std::min(runs.front().length, e.size);
    if (runs.size() > 1) origin->runs = runs;
  } else {
    // The entry's extent cannot be trusted: the carve's claim stands, up to
    // the first cluster of a live file.
    const uint64_t end = FirstForeignLive(startSector, startSector + SectorsFor(claimed), nullptr);
    out.length = std::min(claimed, (end - startSector) * kSectorSize);
    out.contiguous = out.length;
  }
  out.origin = std::move(origin);
  return out;
}

SettledExtent FileSystemPass::Settle(uint64_t startSector, uint64_t length, FileTypeMask type) {
  if (const FsEntry* e = EntryAt(startSector, type, length)) {
    settled_[static_cast<size_t>(e - entries_.data())] = true;
    return Describe(*e, startSector, length);
  }
  SettledExtent out;
  const uint64_t end = FirstForeignLive(startSector, startSector + SectorsFor(length), nullptr);
  out.length = std::min(length, (end - startSector) * kSectorSize);
  out.contiguous = out.length;
  return out;
}

bool FileSystemPass::ListUnfound(ScanContext& c, FileTypeMask enabled,
                                 const std::function<void(FileTypeMask, uint64_t, SettledExtent)>& list) {
  c.observer.OnPhase(kPhaseFileSystemFiles);
  uint8_t sector[kSectorSize];
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (c.Cancelled()) return false;
    const FsEntry& e = entries_[i];
    if (settled_[i] || !e.regular || e.runs.empty() || e.size == 0) continue;
    const FileTypeMask named = TypeForFileName(catalogue_, e.name);
    if (!(named & enabled)) continue;
    const uint64_t start = e.runs.front().offset / kSectorSize;
    if (e.runs.front().offset % kSectorSize || EntryAt(start, named, 0) != &e) continue;
    if (!ReadSectors(c.ScannedHandle(), start, 1, kSectorSize, sector)) {
      c.readErrors.fetch_add(1, std::memory_order_relaxed);
      continue;
    }
    // The bytes must still be the named format's: a deleted entry's first
    // cluster may hold a newer file by now.
    if (!SameFamily(RecogniseSector(sector, kAllTypes), named)) continue;
    SettledExtent extent = Describe(e, start, 0);
    if (extent.length == 0) continue;
    auto origin = std::make_shared<FileOrigin>(*extent.origin);
    origin->foundByFileSystem = true;
    extent.origin = std::move(origin);
    settled_[i] = true;
    list(named, start, std::move(extent));
  }
  return true;
}

std::unique_ptr<CarveHints> MakeFileSystemPass(ScanContext& context) {
  return std::make_unique<FileSystemPass>(context.catalogue);
}

}  // namespace lumicarve
