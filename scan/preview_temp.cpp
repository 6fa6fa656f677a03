// The preview temp file: each found picture (for a RAW file, its embedded
// JPEG) is written to temp.<ext> in the process's private temp directory and
// closed before the record is announced, so the receiver can show it.
#include "scan/preview_temp.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "scan/raw_preview.h"
#include "scan/sector_reader.h"
#include "scan/write_all.h"

namespace lumicarve {
namespace {

// Sectors appended to the temp file gather here and are written in large
// pieces: one write per 512-byte sector would cost more than the scan itself.
struct AppendBuffer {
  int fd = -1;
  std::vector<uint8_t> bytes;
  uint64_t total = 0;  // bytes taken for this temp file so far
};
thread_local AppendBuffer t_append;
constexpr size_t kAppendFlush = 1 << 20;

std::mutex g_dirMutex;
std::string g_dir;
int g_lockFd = -1;
bool g_atexitRegistered = false;

constexpr char kDirPrefix[] = "lumicarve-";
constexpr char kLockName[] = ".lock";

std::string TempBase() {
  const char* base = std::getenv("TMPDIR");
  return base && *base ? base : "/tmp";
}

// A lock held for the process's life tells its folder apart from one whose
// process is gone. It is taken under another name and renamed, so no other
// process ever finds the lock file unlocked while this one lives.
int LockDir(const std::string& dir) {
  const std::string taking = dir + "/.lock-taking";
  const int fd = ::open(taking.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::rename(taking.c_str(), (dir + "/" + kLockName).c_str()) != 0) {
    ::close(fd);
    ::unlink(taking.c_str());
    return -1;
  }
  return fd;
}

void RemoveTree(const std::string& dir) {
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* entry = ::readdir(d)) {
      if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, "..")) continue;
      const std::string path = dir + "/" + entry->d_name;
      if (entry->d_type == DT_DIR) RemoveTree(path);
      else ::unlink(path.c_str());
    }
    ::closedir(d);
  }
  ::rmdir(dir.c_str());
}

// Copies `sectors` sectors from `first`, the first `skip` bytes left out, in
// blocks of 64 sectors. A failed read ends the copy.
void CopySectors(int device, int fd, uint64_t first, uint64_t sectors, uint32_t skip) {
  constexpr uint32_t kBlock = 64;
  std::vector<uint8_t> buf(kBlock * kSectorSize);
  while (sectors > 0) {
    const uint32_t n = sectors >= kBlock ? kBlock : static_cast<uint32_t>(sectors);
    if (!ReadSectors(device, first, n, kSectorSize, buf.data())) return;
    // A full temp disk only costs the preview.
    if (!WriteAll(fd, buf.data() + skip, size_t{n} * kSectorSize - skip)) return;
    skip = 0;
    first += n;
    sectors -= n;
  }
}

void FlushAppends() {
  if (t_append.fd != -1 && !t_append.bytes.empty()) WriteAll(t_append.fd, t_append.bytes.data(), t_append.bytes.size());
  t_append.bytes.clear();
}

void ForgetAppends() {
  t_append.bytes.clear();
  t_append.fd = -1;
  t_append.total = 0;
}

}  // namespace

const std::string& PrivateTempDir() {
  std::lock_guard<std::mutex> lock(g_dirMutex);
  if (g_dir.empty()) {
    std::string pattern = TempBase() + "/" + kDirPrefix + "XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    // mkdtemp makes the directory with mode 0700: nobody else can look in.
    if (::mkdtemp(buf.data())) {
      g_dir = buf.data();
      g_lockFd = LockDir(g_dir);
      if (!g_atexitRegistered) {
        std::atexit(RemovePrivateTempDir);
        g_atexitRegistered = true;
      }
    }
  }
  return g_dir;
}

void RemovePrivateTempDir() {
  std::lock_guard<std::mutex> lock(g_dirMutex);
  if (g_dir.empty()) return;
  RemoveTree(g_dir);
  g_dir.clear();
  if (g_lockFd != -1) ::close(g_lockFd);
  g_lockFd = -1;
}

int RemoveStaleTempDirs() {
  const std::string base = TempBase();
  std::string own;
  {
    std::lock_guard<std::mutex> lock(g_dirMutex);
    own = g_dir;
  }
  int removed = 0;
  DIR* d = ::opendir(base.c_str());
  if (!d) return 0;
  while (dirent* entry = ::readdir(d)) {
    const std::string name = entry->d_name;
    if (name.rfind(kDirPrefix, 0) != 0 || name.size() != sizeof kDirPrefix - 1 + 6) continue;
    const std::string path = base + "/" + name;
    struct stat st {};
    if (path == own || ::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
    // A folder without a lock file is left alone: it may belong to a
    // process that has not taken its lock yet.
    const int fd = ::open((path + "/" + kLockName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      RemoveTree(path);
      ++removed;
    }
    ::close(fd);
  }
  ::closedir(d);
  return removed;
}

void OpenPreviewTemp(ScanContext& context, FileTypeMask type) {
  ForgetAppends();
  context.previewTempFd = -1;
  if (!context.writePreviewFiles || (!IsPictureType(type) && !IsRawType(type))) return;
  const std::string& dir = PrivateTempDir();
  if (dir.empty()) return;
  char ext[kExtensionSize];
  if (IsRawType(type)) std::memcpy(ext, "jpg", 4);
  else ExtensionForType(context.catalogue, type, ext);
  std::snprintf(context.previewTempPath, sizeof context.previewTempPath, "%s/temp.%s", dir.c_str(), ext);
  context.previewTempFd = ::open(context.previewTempPath, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

void DiscardPreviewTemp(ScanContext& context) {
  if (context.previewTempFd == -1) return;
  ForgetAppends();
  ::close(context.previewTempFd);
  ::unlink(context.previewTempPath);
  context.previewTempFd = -1;
}

void AppendPreviewTemp(ScanContext& context, const void* bytes, size_t count) {
  if (context.previewTempFd == -1) return;
  if (t_append.fd != context.previewTempFd) {
    FlushAppends();
    t_append.fd = context.previewTempFd;
    t_append.total = 0;
  }
  // A picture longer than any preview keeps only its first bytes.
  if (t_append.total + count > kMaxPreviewCopyBytes) return;
  t_append.total += count;
  const auto* p = static_cast<const uint8_t*>(bytes);
  t_append.bytes.insert(t_append.bytes.end(), p, p + count);
  if (t_append.bytes.size() >= kAppendFlush) FlushAppends();
}

void ExtractToPreviewTemp(ScanContext& context, std::unique_ptr<FoundFile> record) {
  const int device = context.ScannedHandle();
  PreviewInfo info;
  const bool embeddedJpeg =
      IsRawType(record->type) &&
      ReadRawPreview(device, *record, info, [&context] { return context.scanState.load() == SCAN_CANCEL; }) &&
      PreviewCopyRange(*record, &info);
  const std::optional<CopyRange> range = PreviewCopyRange(*record, embeddedJpeg ? &info : nullptr);
  if (context.previewTempFd != -1) {
    const int fd = context.previewTempFd;
    if (t_append.fd == fd) FlushAppends();
    ForgetAppends();
    const off_t held = ::lseek(fd, 0, SEEK_END);
    if (range && !(held > static_cast<off_t>(kSectorSize) || record->length <= kSectorSize)) {
      const uint32_t skip = static_cast<uint32_t>(range->offset % kSectorSize);
      CopySectors(device, fd, range->offset / kSectorSize, (skip + range->length + kSectorSize - 1) / kSectorSize,
                  skip);
    }
    ::close(fd);
    // A RAW file's temp file was opened while it still looked like a TIFF;
    // what it holds now is its JPEG preview.
    if (embeddedJpeg) {
      std::string path = context.previewTempPath;
      const size_t dot = path.rfind('.');
      std::string jpg = path.substr(0, dot) + ".jpg";
      if (jpg != path && ::rename(path.c_str(), jpg.c_str()) == 0)
        std::snprintf(context.previewTempPath, sizeof context.previewTempPath, "%s", jpg.c_str());
    }
  }
  const int closed = context.previewTempFd;
  if (context.owner) context.owner->ScanNotify(kNotifyFoundFile, 0, std::move(record));
  // The receiver resets the descriptor once it has shown the file. If it did
  // not, the closed number must not be written to again: it may already name
  // another open file.
  if (closed != -1 && context.previewTempFd == closed) context.previewTempFd = -1;
}

}  // namespace lumicarve
