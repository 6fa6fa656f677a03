// Reads file entries with The Sleuth Kit. The library sees the disk as an
// external image whose reads go through ReadSectors, so the disk is never
// opened a second time and every failed read is counted like the carve's.
#include <tsk/libtsk.h>

#include <cstring>
#include <memory>

#include "filesystem/fs_entries.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

constexpr uint64_t kUnixToFiletime = 11644473600ULL;

// The library's image record first, as it requires; our state after it.
struct DiskImage {
  TSK_IMG_INFO info;
  int handle;
  uint64_t sectors;
  std::atomic<int32_t>* readErrors;
};

ssize_t ReadImage(TSK_IMG_INFO* img, TSK_OFF_T offset, char* buffer, size_t length) {
  auto* disk = reinterpret_cast<DiskImage*>(img);
  if (offset < 0 || length == 0) return 0;
  const uint64_t from = static_cast<uint64_t>(offset);
  const uint64_t first = from / kSectorSize;
  if (first >= disk->sectors) return 0;
  uint64_t last = (from + length + kSectorSize - 1) / kSectorSize;  // exclusive
  if (last > disk->sectors) last = disk->sectors;
  const uint64_t count = last - first;
  if (count > UINT32_MAX / kSectorSize) return -1;
  std::vector<uint8_t> sectors(count * kSectorSize);
  if (!ReadSectors(disk->handle, first, static_cast<uint32_t>(count), kSectorSize, sectors.data())) {
    disk->readErrors->fetch_add(1, std::memory_order_relaxed);
    return -1;
  }
  const uint64_t skip = from - first * kSectorSize;
  const uint64_t available = count * kSectorSize - skip;
  const size_t copied = static_cast<size_t>(available < length ? available : length);
  std::memcpy(buffer, sectors.data() + skip, copied);
  return static_cast<ssize_t>(copied);
}

// The record is ours; the library has released its lock before it calls this.
void CloseImage(TSK_IMG_INFO*) {}
void ImageStat(TSK_IMG_INFO*, FILE*) {}

uint64_t Filetime(time_t t) {
  if (t <= 0) return 0;
  return (static_cast<uint64_t>(t) + kUnixToFiletime) * 10000000ULL;
}

FsKind KindOf(TSK_FS_TYPE_ENUM type) {
  if (type == TSK_FS_TYPE_EXFAT) return FsKind::kExFat;
  if (TSK_FS_TYPE_ISFAT(type)) return FsKind::kFat;
  if (TSK_FS_TYPE_ISNTFS(type)) return FsKind::kNtfs;
  if (TSK_FS_TYPE_ISEXT(type)) return FsKind::kExt;
  return FsKind::kOther;
}

struct Walk {
  TSK_FS_INFO* fs;
  FsKind kind;
  const std::function<bool()>* cancel;
  const std::function<void(uint32_t)>* progress;
  uint32_t base, span;  // this volume's share of the per-mille
  uint64_t seen = 0;
  bool cancelled = false;
  std::vector<FsEntry>* out;
};

// The data's stretches, or none when any of them is unknown or made up.
std::vector<ByteRun> RunsOf(TSK_FS_FILE* file, TSK_FS_INFO* fs) {
  std::vector<ByteRun> runs;
  const TSK_FS_ATTR* attr = tsk_fs_file_attr_get(file);
  if (!attr || !(attr->flags & TSK_FS_ATTR_NONRES)) return runs;
  uint64_t left = static_cast<uint64_t>(attr->size);
  for (const TSK_FS_ATTR_RUN* r = attr->nrd.run; r && left > 0; r = r->next) {
    if (r->flags & (TSK_FS_ATTR_RUN_FLAG_FILLER | TSK_FS_ATTR_RUN_FLAG_SPARSE | TSK_FS_ATTR_RUN_FLAG_ENCRYPTED))
      return {};
    uint64_t bytes = static_cast<uint64_t>(r->len) * fs->block_size;
    if (bytes > left) bytes = left;
    const uint64_t at = static_cast<uint64_t>(fs->offset) + static_cast<uint64_t>(r->addr) * fs->block_size;
    // The carve and the copy work in whole sectors.
    if (at % kSectorSize) return {};
    if (!runs.empty() && runs.back().offset + runs.back().length == at) runs.back().length += bytes;
    else runs.push_back({at, bytes});
    left -= bytes;
  }
  if (left > 0) return {};
  return runs;
}

TSK_WALK_RET_ENUM Visit(TSK_FS_FILE* file, const char* path, void* ptr) {
  auto& w = *static_cast<Walk*>(ptr);
  if (++w.seen % 64 == 0 && (*w.cancel)()) {
    w.cancelled = true;
    return TSK_WALK_STOP;
  }
  if (!file->name || !file->meta) return TSK_WALK_CONT;
  const char* name = file->name->name;
  if (!name || !std::strcmp(name, ".") || !std::strcmp(name, "..")) return TSK_WALK_CONT;
  const bool nameLive = file->name->flags & TSK_FS_NAME_FLAG_ALLOC;
  const bool metaLive = file->meta->flags & TSK_FS_META_FLAG_ALLOC;
  // A deleted name whose metadata now belongs to another file tells nothing.
  if (!nameLive && metaLive) return TSK_WALK_CONT;
  FsEntry e;
  e.folder = path ? path : "";
  while (!e.folder.empty() && e.folder.back() == '/') e.folder.pop_back();
  // Deleted entries whose folder is gone sit in the library's stand-in folder.
  if (e.folder.rfind("$OrphanFiles", 0) == 0) e.folder.clear();
  e.name = name;
  e.kind = w.kind;
  e.live = nameLive && metaLive;
  e.regular = file->meta->type == TSK_FS_META_TYPE_REG && name[0] != '$';
  e.size = file->meta->size > 0 ? static_cast<uint64_t>(file->meta->size) : 0;
  e.modified = Filetime(file->meta->mtime);
  e.created = Filetime(file->meta->crtime);
  if (file->meta->type != TSK_FS_META_TYPE_VIRT && file->meta->type != TSK_FS_META_TYPE_VIRT_DIR)
    e.runs = RunsOf(file, w.fs);
  if (w.kind == FsKind::kNtfs && name[0] == '$' && e.folder.empty()) e.regular = false;
  w.out->push_back(std::move(e));
  if (w.seen % 256 == 0 && w.fs->last_inum > 0) {
    const uint64_t within = file->name->meta_addr * w.span / (w.fs->last_inum + 1);
    (*w.progress)(w.base + static_cast<uint32_t>(within < w.span ? within : w.span));
  }
  return TSK_WALK_CONT;
}

struct FsCloser {
  void operator()(TSK_FS_INFO* fs) const { tsk_fs_close(fs); }
};

bool WalkVolume(TSK_FS_INFO* fs, Walk& w, FsReadResult& result) {
  w.fs = fs;
  w.kind = KindOf(fs->ftype);
  const auto flags = static_cast<TSK_FS_DIR_WALK_FLAG_ENUM>(TSK_FS_DIR_WALK_FLAG_ALLOC | TSK_FS_DIR_WALK_FLAG_UNALLOC |
                                                            TSK_FS_DIR_WALK_FLAG_RECURSE);
  if (tsk_fs_dir_walk(fs, fs->root_inum, flags, Visit, &w) && !w.cancelled)
    result.notes.push_back(std::string("file system partly unreadable: ") + tsk_error_get());
  ++result.volumes;
  return !w.cancelled;
}

}  // namespace

FsReadResult ReadFileSystemEntries(int handle, uint64_t sectors, std::atomic<int32_t>& readErrors,
                                   const std::function<bool()>& cancel,
                                   const std::function<void(uint32_t)>& progress, std::vector<FsEntry>& out) {
  FsReadResult result;
  auto disk = std::make_unique<DiskImage>();
  std::memset(&disk->info, 0, sizeof disk->info);
  disk->handle = handle;
  disk->sectors = sectors;
  disk->readErrors = &readErrors;
  TSK_IMG_INFO* img = tsk_img_open_external(disk.get(), static_cast<TSK_OFF_T>(sectors * kSectorSize), kSectorSize,
                                            ReadImage, CloseImage, ImageStat);
  if (!img) {
    result.notes.push_back(std::string("cannot read the disk's file systems: ") + tsk_error_get());
    return result;
  }
  Walk w{nullptr, FsKind::kOther, &cancel, &progress, 0, 1000, 0, false, &out};
  if (TSK_VS_INFO* vs = tsk_vs_open(img, 0, TSK_VS_TYPE_DETECT)) {
    const uint32_t parts = vs->part_count ? vs->part_count : 1;
    for (TSK_PNUM_T i = 0; i < vs->part_count && !w.cancelled; ++i) {
      const TSK_VS_PART_INFO* part = tsk_vs_part_get(vs, i);
      if (!part || !(part->flags & TSK_VS_PART_FLAG_ALLOC)) continue;
      w.base = i * 1000 / parts;
      w.span = 1000 / parts;
      std::unique_ptr<TSK_FS_INFO, FsCloser> fs(tsk_fs_open_vol(part, TSK_FS_TYPE_DETECT));
      if (!fs) {
        result.notes.push_back("volume " + std::to_string(part->start) + ": no readable file system");
        continue;
      }
      WalkVolume(fs.get(), w, result);
    }
    tsk_vs_close(vs);
  } else if (std::unique_ptr<TSK_FS_INFO, FsCloser> fs(tsk_fs_open_img(img, 0, TSK_FS_TYPE_DETECT)); fs) {
    WalkVolume(fs.get(), w, result);
  } else {
    result.notes.push_back(std::string("no readable file system: ") + tsk_error_get());
  }
  tsk_img_close(img);
  tsk_error_reset();
  result.cancelled = w.cancelled;
  return result;
}

}  // namespace lumicarve
