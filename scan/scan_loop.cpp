// The scan loop: every sector of the device is asked whether a file starts
// there; the file in progress is ended by its in-loop rule or by its header
// length, and known lengths are jumped over so file contents are never
// searched for signatures.
#include "scan/scan_loop.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "scan/block_reader.h"
#include "scan/byte_view.h"
#include "scan/cluster_check.h"
#include "scan/extent.h"
#include "scan/formats/end_rules.h"
#include "scan/formats/registry.h"
#include "scan/formats/video_date.h"
#include "scan/raw_preview.h"
#include "scan/recognise.h"
#include "scan/sector_reader.h"

namespace lumicarve {
namespace {

// The clock is asked once per this many sectors; progress still goes out at
// most every 0.3 s.
constexpr uint32_t kClockInterval = 64;

struct FileInProgress {
  FileTypeMask type = 0;
  const FileFormat* format = nullptr;  // the row of `type`
  uint64_t start = 0;
  std::optional<uint64_t> found;  // its length, once known
  FileRuleState rules;
  bool openEnded = false;  // its header says it runs to its end: the next signature closes it
  bool cut = false;        // its header claims more than the device holds

  void SetType(FileTypeMask t) {
    type = t;
    format = FormatOf(t);
  }
  void ResetRules() {
    rules.Reset();
    openEnded = cut = false;
  }
};

class Scanner {
 public:
  explicit Scanner(ScanContext& c)
      : c_(c), total_(c.ScannedSectors()), enabled_(c.job.types), minimum_(c.job.minimumBytes),
        reader_(c.ScannedHandle(), total_, c.readErrors),
        geometry_(ReadClusterGeometry(c.ScannedHandle(), total_)) {}

  ScanResult Run();

 private:
  // Lists a file that qualifies; returns the bytes from its start the loop
  // may jump over.
  uint64_t Emit(FileTypeMask type, uint64_t start, uint64_t length);
  // The file-system pass's extent of a file the carve ended.
  SettledExtent Settle(FileTypeMask type, uint64_t start, uint64_t length);
  // Jumps the loop to the sector before `next`.
  void JumpTo(uint64_t next, uint64_t& cur, uint64_t& bufFirst) {
    cur = next - 1;
    bufFirst = cur - (BlockReader::kBlockSectors - 1);
  }
  void List(std::unique_ptr<FoundFile> record, FileTypeMask type);
  bool ListFileSystemFiles();
  void CloseAt(uint64_t sector);
  void Start(FileTypeMask type, uint64_t sector, const ByteView& s);
  enum class EndState { kRunsOn, kEnds, kDropped };
  // Asks the file in progress's end rule about this sector: whether the file
  // ends (its length is then in f_.found), runs on, or is no file after all.
  EndState EndSearch(const ByteView& s, uint64_t sector, FileTypeMask ignored);
  bool Accepts(FileTypeMask type, uint64_t length) const {
    return length >= minimum_ && (type & enabled_) != 0;
  }

  ScanContext& c_;
  const uint64_t total_;
  const FileTypeMask enabled_;
  const uint64_t minimum_;
  BlockReader reader_;
  const ClusterGeometry geometry_;
  FileInProgress f_;
  PreviousSector prev_;
  int fileNumber_ = 0;
  std::unique_ptr<CarveHints> hints_;
  // Later stretches of listed fragmented files: first sector to end sector.
  std::map<uint64_t, uint64_t> skips_;
};

SettledExtent Scanner::Settle(FileTypeMask type, uint64_t start, uint64_t length) {
  if (!hints_) return {length, length, nullptr};
  SettledExtent settled = hints_->Settle(start, length, type);
  if (settled.length == 0) return {length, length, nullptr};
  return settled;
}

void Scanner::List(std::unique_ptr<FoundFile> record, FileTypeMask type) {
  ++fileNumber_;
  char ext[kExtensionSize];
  ExtensionForType(c_.catalogue, type, ext);
  std::snprintf(record->name, sizeof record->name, "%08d.%s", fileNumber_, ext);
  record->type = static_cast<uint32_t>(type);
  // Files are dated here from their own metadata, so every front end files
  // them alike: a video under the day its container says it was taken, with
  // the pictures of that day.
  const FileFormat* format = FormatOf(type);
  if (format && format->captureDate)
    format->captureDate(c_.ScannedHandle(), *record, record->date);
  else if (IsVideoType(type))
    ReadVideoDate(c_.ScannedHandle(), *record, record->date);
  c_.filesFound.fetch_add(1, std::memory_order_relaxed);
  c_.totalLength.fetch_add(static_cast<int64_t>(record->length), std::memory_order_relaxed);
  // A TIFF-based RAW file is dated from its IFDs.
  if (type & kTiffRawTypes) {
    PreviewInfo info;
    ReadRawPreview(c_.ScannedHandle(), *record, info, [this] { return c_.Cancelled(); });
  }
  c_.observer.OnFileFound(std::move(record));
}

uint64_t Scanner::Emit(FileTypeMask type, uint64_t start, uint64_t length) {
  SettledExtent settled = Settle(type, start, length);
  if (!Accepts(type, settled.length)) return settled.contiguous;
  auto record = std::make_unique<FoundFile>();
  *record = FoundFile{};
  record->length = settled.length;
  record->startSector = start;
  if (settled.origin) {
    for (size_t i = 1; i < settled.origin->runs.size(); ++i) {
      const ByteRun& r = settled.origin->runs[i];
      skips_[r.offset / kSectorSize] = (r.offset + r.length + kSectorSize - 1) / kSectorSize;
    }
  }
  record->origin = std::move(settled.origin);
  List(std::move(record), type);
  return settled.contiguous;
}

bool Scanner::ListFileSystemFiles() {
  return hints_->ListUnfound(c_, enabled_, [this](FileTypeMask type, uint64_t start, SettledExtent extent) {
    if (!Accepts(type, extent.length)) return;
    auto record = std::make_unique<FoundFile>();
    *record = FoundFile{};
    record->length = extent.length;
    record->startSector = start;
    record->origin = std::move(extent.origin);
    List(std::move(record), type);
  });
}

// Closes the file in progress at `sector`, where a new signature was found.
// The type test matters for a RAW file re-typed after recognition: a type the
// user did not select is not listed.
void Scanner::CloseAt(uint64_t sector) {
  Emit(f_.type, f_.start, (sector - f_.start) * kSectorSize);
  f_.ResetRules();
}

void Scanner::Start(FileTypeMask type, uint64_t sector, const ByteView& s) {
  f_.SetType(type);
  f_.start = sector;
  f_.found.reset();
  f_.ResetRules();
  f_.rules.limit = (total_ - sector) * kSectorSize;
  if (f_.format && f_.format->begin) f_.format->begin(f_.rules, sector, s);
}

Scanner::EndState Scanner::EndSearch(const ByteView& s, uint64_t sector, FileTypeMask ignored) {
  const FileFormat* format = f_.format;
  if (!f_.type || !format) return EndState::kRunsOn;
  const uint64_t offset = (sector - f_.start) * kSectorSize;
  if (format->sectorEnd) {
    f_.found = format->sectorEnd(s, sector, offset, prev_, f_.rules, ignored);
  } else if (format->maximumLength && f_.found) {
    // A length below the type's minimum was not trusted: the file runs on.
    if (offset > format->maximumLength) f_.found = format->maximumLength;
  } else if (!f_.openEnded) {
    const Extent extent = FindExtent(c_, f_.start, f_.type);
    f_.SetType(f_.type);
    switch (extent.kind) {
      case Extent::Kind::kDrop:
        return EndState::kDropped;
      case Extent::Kind::kOpenEnded:
        f_.openEnded = true;
        break;
      case Extent::Kind::kLength:
        f_.found = extent.length;
        if (extent.length > (total_ - f_.start) * kSectorSize) {
          // A claim past the device end hides nothing: the file is listed cut
          // at the end, and the scan goes on after its first sector.
          f_.cut = true;
        } else if (f_.type != FT_RW2) {
          // Another file starting on a cluster boundary inside the claim ends it.
          const uint64_t hidden = FindHiddenFile(c_.ScannedHandle(), geometry_, f_.start, extent.length, f_.type);
          if (hidden) f_.found = (hidden - f_.start) * kSectorSize;
        }
        break;
    }
  }
  if (!f_.found || (f_.format && *f_.found < f_.format->minimumLength)) return EndState::kRunsOn;
  return EndState::kEnds;
}

ScanResult Scanner::Run() {
  ScanResult result;
  uint64_t cur = 0, bufFirst = 0;
  if (c_.job.carveHints) {
    hints_ = c_.job.carveHints(c_);
    if (hints_ && !hints_->Prepare(c_)) {
      result.end = ScanEnd::kCancelled;
      c_.observer.OnFinished(result);
      return result;
    }
    if (hints_) c_.observer.OnPhase(kPhaseCarve);
  }
  const uint8_t* block = nullptr;
  uint32_t clockCountdown = kClockInterval;
  while (cur < total_) {
    // 1. A fresh block at the start and whenever the last one is used up.
    if (!block || cur == bufFirst + BlockReader::kBlockSectors) {
      bufFirst = cur;
      block = reader_.Block(cur);
      if (!block) {
        result.end = ScanEnd::kDeviceLost;
        result.lostError = reader_.lostError();
        result.lostSector = cur;
        break;
      }
    }
    // 1b. A later stretch of a listed fragmented file holds no file start.
    if (!skips_.empty() && cur >= skips_.begin()->first) {
      const auto skip = skips_.begin();
      const uint64_t end = skip->second;
      const bool here = skip->first == cur && f_.type == 0;
      skips_.erase(skip);
      if (here && end > cur + 1 && end <= total_) {
        JumpTo(end, cur, bufFirst);
        ++cur;
        continue;
      }
    }
    // 2. Cancel: the file in progress is dropped.
    if (c_.Cancelled()) {
      result.end = ScanEnd::kCancelled;
      break;
    }
    // 3. Recognise. The end rules see the sector and the one after it.
    const uint8_t* s = block + (cur - bufFirst) * kSectorSize;
    const ByteView view(s, kRuleViewBytes);
    const FileTypeMask m = RecogniseSector(s, enabled_);
    // 4. A new signature closes the file in progress, except where its type
    // ignores signatures (inside a stream, the first bytes of some RAWs).
    FileTypeMask ignored = 0;
    if (m) {
      if (f_.format && (cur - f_.start) * kSectorSize < f_.format->signaturesIgnoredBelow) {
        ignored = m;
      } else {
        if (f_.type) CloseAt(cur);
        Start(m, cur, view);
      }
    }
    // 5. End search.
    switch (EndSearch(view, cur, ignored)) {
      case EndState::kRunsOn:
        break;
      case EndState::kDropped:
        f_.SetType(0);
        f_.found.reset();
        break;
      case EndState::kEnds: {
        // 6. The end is known: list the file if it qualifies, and jump to its
        // last sector either way (backward when it is shorter than what was
        // already examined). Nothing ends past the device end.
        const uint64_t length = std::min(*f_.found, (total_ - f_.start) * kSectorSize);
        const uint64_t jump = Emit(f_.type, f_.start, length);
        if (!f_.cut) JumpTo(f_.start + std::max<uint64_t>(1, (jump + kSectorSize - 1) / kSectorSize), cur, bufFirst);
        f_.SetType(0);
        f_.found.reset();
        f_.ResetRules();
        break;
      }
    }
    // 7. Sector end.
    prev_.last = view.byte(kSectorSize - 1);
    view.u32be(kSectorSize - 4, prev_.last4);
    c_.position.store(static_cast<int64_t>(cur), std::memory_order_relaxed);
    ++cur;
    // 8. Progress.
    if (--clockCountdown == 0) {
      clockCountdown = kClockInterval;
      if (ElapsedSeconds() > 0.3) {
        c_.observer.OnProgress(static_cast<int>(cur * 1000 / total_));
        ResetStopwatch();
      }
    }
  }
  // A file still in progress at the end (or at a cancel) is not listed.
  if (hints_ && result.end == ScanEnd::kCompleted && !ListFileSystemFiles()) result.end = ScanEnd::kCancelled;
  c_.observer.OnFinished(result);
  return result;
}

}  // namespace

ScanResult RunScan(ScanContext& context) {
  InitStopwatch();
  ResetStopwatch();
  Scanner scanner(context);
  return scanner.Run();
}

std::thread StartScanThread(ScanContext& context) {
  SetReadLimit(context.ScannedSectors());
  return std::thread([&context] {
    // Best effort: an unprivileged process may not raise its priority.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), -5);
    RunScan(context);
  });
}

}  // namespace lumicarve
