#include "results/temp_copy.h"

#include <vector>

#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

constexpr uint32_t kBlockBytes = kTempCopyBlockSectors * kSectorSize;

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

}  // namespace lumicarve
