// What the file-list, thumbnail and preview tests share: a device made of
// real files from tests/data (a disk image opened read-only, as the window
// opens one) with a files folder whose records point at them.
#pragma once

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "results/results_storage.h"
#include "shell/app_context.h"
#include "scan/sector_reader.h"
#include "shell/main_frame.h"
#include "ui_test_support.h"

namespace lumicarve::test {

class TestCard {
 public:
  ~TestCard() {
    if (fd_ >= 0) ::close(fd_);
  }

  // Appends a file of tests/data (or `bytes` when given) at the next sector
  // boundary, with a record of `type` named by its running number.
  FoundFile* add(const QString& relative, uint32_t type, const char* ext = "JPG") {
    QFile in(QStringLiteral(LUMICARVE_TEST_DATA "/") + relative);
    if (!in.open(QIODevice::ReadOnly)) return nullptr;
    return addBytes(in.readAll(), type, ext);
  }
  FoundFile* addBytes(const QByteArray& bytes, uint32_t type, const char* ext) {
    auto file = std::make_unique<FoundFile>();
    *file = FoundFile{};
    std::snprintf(file->name, sizeof file->name, "%08d.%s", static_cast<int>(copies_.size()) + 1, ext);
    file->type = type;
    file->length = static_cast<uint64_t>(bytes.size());
    file->startSector = static_cast<uint64_t>(image_.size()) / 512;
    image_.append(bytes);
    image_.append(QByteArray(static_cast<int>((512 - image_.size() % 512) % 512 + 512), '\0'));
    copies_.push_back(std::move(file));
    return copies_.back().get();
  }

  // Writes the image and links every record into folder(). False when the
  // image cannot be written.
  bool write() {
    QFile out(imagePath());
    if (!out.open(QIODevice::WriteOnly) || out.write(image_) != image_.size()) return false;
    for (auto& f : copies_) {
      AppendToFolder(folder_, f.get());
      ++folder_.count;
    }
    return true;
  }
  // write(), then opens the image read-only as device 0 of `context`.
  bool install(AppContext& context) {
    if (!write()) return false;
    fd_ = ::open(imagePath().toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    DeviceEntry& d = context.devices[0];
    d = DeviceEntry{};
    d.handle = fd_;
    d.totalSectors = static_cast<uint64_t>(image_.size()) / 512;
    context.deviceCount = 1;
    context.scannedDeviceIndex = 0;
    SetReadLimit(d.totalSectors);
    return true;
  }
  QString imagePath() const { return dir_.filePath(QStringLiteral("card.img")); }

  FileFolder& folder() { return folder_; }
  TreeItemData files() { return {NODE_FILES, &folder_}; }
  FoundFile* file(int i) { return copies_.at(static_cast<size_t>(i)).get(); }

 private:
  QTemporaryDir dir_;
  QByteArray image_;
  std::vector<std::unique_ptr<FoundFile>> copies_;
  FileFolder folder_;
  int fd_ = -1;
};

// Writes the sample card (or a card of `files`) to `image`, opens it in
// `frame` and scans it to the end, answering the completion report. False
// when any step fails.
inline bool ScanSampleCard(CMainFrame& frame, const QString& image, const QStringList& files = SampleCardFiles()) {
  if (!MakeCardImage(image, files) || !frame.openDiskImage(image)) return false;
  MessageBoxWatcher boxes;
  frame.controlRequest(CMainFrame::kStartScan);
  const bool ended = QTest::qWaitFor(
      [&] { return frame.context().scanState.load() != SCAN_RUNNING && !boxes.texts.isEmpty(); },
      30000);
  frame.waitForScanThread();
  return ended;
}

}  // namespace lumicarve::test
