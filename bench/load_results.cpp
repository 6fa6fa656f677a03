// Load: a disk of 1,000,000 small found files scanned through the engine into
// the results storage (its tree without widgets: the storage files every
// copy, labels and counts all the same). Prints the time, the peak memory and
// the memory per found file.
//
//   load_results [--files N] [--dir DIR] [--keep]
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "bench/load_image.h"
#include "devices/device_list.h"
#include "results/results_storage.h"
#include "scan/scan_loop.h"
#include "scan/sector_reader.h"

namespace {

using namespace lumicarve;

// The tree the storage files into, without widgets: it hands out item
// handles and counts them.
class CountingTree : public ResultsTree {
 public:
  TreeItem InsertItem(TreeItem, TreeItem, const std::string&, int, int, TreeItemData) override { return Next(); }
  TreeItem AppendItem(TreeItem, const std::string&, int, int, TreeItemData) override { return Next(); }
  void SetItemText(TreeItem, const std::string&) override { ++labelChanges; }
  void SortChildren(TreeItem) override {}
  TreeItem CaretItem() override { return caret_; }
  void SelectItem(TreeItem item) override { caret_ = item; }
  void DeleteAllItems() override { items = 0; }
  void RefreshList(TreeItem, bool) override {}

  uint64_t items = 0, labelChanges = 0;

 private:
  TreeItem Next() { return reinterpret_cast<TreeItem>(static_cast<uintptr_t>(++items)); }
  TreeItem caret_ = nullptr;
};

class StorageSink : public ScanObserver {
 public:
  explicit StorageSink(ResultsStorage& s) : storage_(s) {}
  void OnProgress(int) override {}
  void OnFileFound(std::unique_ptr<FoundFile> file) override { storage_.AddFoundFile(*file); }
  void OnFinished(const ScanResult&) override {}

 private:
  ResultsStorage& storage_;
};

}  // namespace

int main(int argc, char** argv) {
  bench::LoadOptions o;
  if (!bench::ParseLoadOptions(argc, argv, false, o)) {
    std::fprintf(stderr, "usage: load_results [--files N] [--dir DIR] [--keep]\n");
    return 2;
  }
  const uint64_t files = o.files;
  const std::string image = o.image();
  const auto t0 = std::chrono::steady_clock::now();
  if (!bench::WriteLoadImageIfMissing(image, files)) return 1;
  const double buildSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

  auto table = std::make_unique<DeviceTable>();
  Message error;
  const int index = AddImageDevice(*table, image, &error);
  if (index < 0) {
    std::fprintf(stderr, "load_results: %s\n", error.Text().c_str());
    return 1;
  }
  ResultsStorage storage;
  CountingTree tree;
  storage.CreateRoot(tree, ',');
  StorageSink sink(storage);
  ScanJob job;
  job.handle = table->devices[index].handle;
  job.sectors = table->devices[index].totalSectors;
  auto c = std::make_unique<ScanContext>(job, sink);

  const long rssBefore = bench::CurrentRssKb();
  const auto start = std::chrono::steady_clock::now();
  std::thread scan = StartScanThread(*c);
  scan.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long peak = bench::PeakRssKb();
  const int64_t stored = storage.FileCount();

  std::printf("Load: %" PRIu64 " PNGs of 572 bytes, one per KiB (image built in %.1f s)\n", files, buildSeconds);
  std::printf("  scan + results storage: %.2f s, %.0f files/s\n", seconds, stored / seconds);
  std::printf("  peak memory: %.1f MiB (%.1f MiB before the scan)\n", peak / 1024.0, rssBefore / 1024.0);
  std::printf("  memory per found file: %.0f bytes\n", (peak - rssBefore) * 1024.0 / (stored ? stored : 1));
  std::printf("  tree items: %" PRIu64 ", label updates: %" PRIu64 "\n", tree.items, tree.labelChanges);
  if (!o.keep) ::unlink(image.c_str());
  if (stored != static_cast<int64_t>(files)) {
    std::fprintf(stderr, "load_results: %" PRId64 " files stored, %" PRIu64 " expected\n", stored, files);
    return 1;
  }
  return 0;
}
