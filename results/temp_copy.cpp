#include "results/temp_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <random>
#include <vector>

#include "results/temp_dir.h"
#include "scan/sector_reader.h"
#include "scan/write_all.h"

namespace lumicarve {
namespace {

constexpr uint32_t kBlockBytes = kTempCopyBlockSectors * kSectorSize;

// The last three characters of the name, kept only when they are letters or
// digits, so a damaged record can never put a path separator into the name.
std::string Extension(const FoundFile& file) {
  size_t len = strnlen(file.name, sizeof file.name);
  std::string ext(file.name + (len >= 3 ? len - 3 : 0), file.name + len);
  for (char c : ext)
    if (!std::isalnum(static_cast<unsigned char>(c))) return "000";
  return ext.empty() ? "000" : ext;
}

std::string InTempDir(const std::string& name) {
  const std::string& dir = PrivateTempDir();
  return dir.empty() ? std::string() : dir + "/" + name;
}

}  // namespace

TempCopyPlan PlanTempCopy(const FoundFile& file, const PreviewInfo* preview) {
  TempCopyPlan plan;
  const std::optional<CopyRange> range = PreviewCopyRange(file, preview);
  if (!range) return plan;
  plan.firstSector = range->offset / kSectorSize;
  plan.skip = static_cast<uint32_t>(range->offset % kSectorSize);
  plan.bytes = range->length;
  const uint64_t span = plan.skip + range->length;
  plan.sectors = span / kSectorSize + (span % kSectorSize ? 1 : 0);
  return plan;
}

uint64_t BlockCount(const TempCopyPlan& plan) {
  return plan.sectors / kTempCopyBlockSectors + (plan.sectors % kTempCopyBlockSectors ? 1 : 0);
}

TempCopyBlock BlockOf(const TempCopyPlan& plan, uint64_t index) {
  TempCopyBlock block;
  const uint64_t before = index * kTempCopyBlockSectors;
  if (before >= plan.sectors) return block;
  const uint64_t left = plan.sectors - before;
  block.sectors = left >= kTempCopyBlockSectors ? kTempCopyBlockSectors : static_cast<uint32_t>(left);
  block.writeOffset = index == 0 ? plan.skip : 0;
  // Bytes of the plan that lie before this block's first written byte.
  const uint64_t written = index == 0 ? 0 : index * uint64_t{kBlockBytes} - plan.skip;
  const uint64_t room = uint64_t{block.sectors} * kSectorSize - block.writeOffset;
  const uint64_t remaining = plan.bytes > written ? plan.bytes - written : 0;
  block.writeBytes = static_cast<uint32_t>(remaining < room ? remaining : room);
  return block;
}

TempCopyResult WriteTempCopy(int handle, const FoundFile& file, const PreviewInfo* preview,
                             const std::string& path, const std::atomic<bool>* stop) {
  if (path.empty()) return TempCopyResult::kCannotCreate;
  const TempCopyPlan plan = PlanTempCopy(file, preview);
  if (plan.bytes == 0) return TempCopyResult::kRefused;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return TempCopyResult::kCannotCreate;
  std::vector<uint8_t> buffer(kBlockBytes);
  TempCopyResult result = TempCopyResult::kCopied;
  const uint64_t blocks = BlockCount(plan);
  for (uint64_t i = 0; i < blocks && result == TempCopyResult::kCopied; ++i) {
    if (stop && stop->load()) {
      result = TempCopyResult::kStopped;
      break;
    }
    const TempCopyBlock block = BlockOf(plan, i);
    if (!ReadSectors(handle, plan.firstSector + i * kTempCopyBlockSectors, block.sectors,
                     kSectorSize, buffer.data()))
      result = TempCopyResult::kReadFailed;
    else if (!WriteAll(fd, buffer.data() + block.writeOffset, block.writeBytes))
      result = TempCopyResult::kCannotCreate;
  }
  if (::close(fd) != 0 && result == TempCopyResult::kCopied) result = TempCopyResult::kCannotCreate;
  if (result != TempCopyResult::kCopied) ::unlink(path.c_str());
  return result;
}

TempCopyResult ReadCopy(int handle, const FoundFile& file, const PreviewInfo* preview,
                        std::vector<uint8_t>& out, const std::atomic<bool>* stop) {
  out.clear();
  const TempCopyPlan plan = PlanTempCopy(file, preview);
  if (plan.bytes == 0) return TempCopyResult::kRefused;
  // Whole sectors land in the buffer; the skipped head and the tail beyond
  // the plan's bytes are cut off at the end.
  out.resize(plan.sectors * kSectorSize);
  TempCopyResult result = TempCopyResult::kCopied;
  const uint64_t blocks = BlockCount(plan);
  for (uint64_t i = 0; i < blocks; ++i) {
    if (stop && stop->load()) {
      result = TempCopyResult::kStopped;
      break;
    }
    const TempCopyBlock block = BlockOf(plan, i);
    if (!ReadSectors(handle, plan.firstSector + i * kTempCopyBlockSectors, block.sectors, kSectorSize,
                     out.data() + i * kBlockBytes)) {
      result = TempCopyResult::kReadFailed;
      break;
    }
  }
  if (result != TempCopyResult::kCopied) {
    out.clear();
    return result;
  }
  out.erase(out.begin(), out.begin() + plan.skip);
  out.resize(plan.bytes);
  return result;
}

std::string ThumbnailTempPath(const FoundFile& file) { return InTempDir("temp2." + Extension(file)); }

std::string RawPreviewTempPath() {
  thread_local std::minstd_rand rng(std::random_device{}());
  return InTempDir("temp2" + std::to_string(rng() % 100) + ".jpg");
}

std::string DialogTempPath(const FoundFile& file) { return InTempDir("temp3." + Extension(file)); }

}  // namespace lumicarve
