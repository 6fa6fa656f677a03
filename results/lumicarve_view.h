// The file list in the window's centre: the months of a year, the days of a
// month, or the found files of a day or of a group of undated files, either
// as small icons with labels or as 160 x 120 thumbnails that a worker thread
// makes one by one.
#pragma once

#include <QImage>
#include <QListView>
#include <QPixmap>

#include <atomic>
#include <thread>

#include "results/file_list_model.h"
#include "results/results_storage.h"

class QMenu;

namespace lumicarve {

struct ScanContext;
struct ThumbnailTile;

class CLumicarveView : public QListView {
  Q_OBJECT

 public:
  static constexpr int kFileRole = FileListModel::kFileRole;

  CLumicarveView(ScanContext* context, QWidget* parent = nullptr);
  ~CLumicarveView() override;

  // Lists what lies directly below a tree item with `data`. appendOnly adds
  // only the entries beyond those already listed.
  void RefreshList(TreeItemData data, bool appendOnly);
  // "00000012.JPG (1,537 KB)": the size in whole kilobytes, rounded up.
  static QString FileLabel(const FoundFile& file, char separator);
  const FileFolder* listSource() const { return listSource_; }

  int count() const { return model_->rowCount(); }
  const ListEntry* item(int row) const { return model_->entry(row); }
  FileListModel* listModel() const { return model_; }
  bool thumbnailMode() const { return model_->thumbnails(); }
  // Stops the thumbnail worker and empties the list.
  void clear();

  // Fills the list with blank tiles for every file of listSource() and
  // starts the worker that replaces them with pictures.
  void StartThumbnails();
  // Asks the worker to stop before its next picture and waits for it while
  // the window's events are served.
  void StopThumbnails();
  bool workerRunning() const { return workerRunning_.load(); }
  // Tiles the current or last worker has made (its own count, shown or not).
  int tilesMade() const { return tilesMade_.load(); }

  // The context menu: "Select all files", a separator, "Recover selected
  // files" (grayed unless recovering is possible and an entry is selected).
  QMenu* makeContextMenu(QWidget* parent);
  void selectAllFiles();
  void recoverSelectedFiles();

 signals:
  void entryOpened(int index);
  void recoverRequested();
  void tileShown(int row);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void showMode(bool thumbnails, bool sorted);
  void applyTile(unsigned generation, const ThumbnailTile& tile);
  void addFileEntries(const FileFolder& folder, int existing);

  ScanContext* context_;
  FileListModel* model_;
  const FileFolder* listSource_ = nullptr;
  QPixmap blankTile_;
  QImage filmStrip_, camera_;

  std::thread worker_;
  std::atomic<bool> workerRunning_{false};
  std::atomic<bool> stopRequested_{false};
  std::atomic<int> tilesMade_{0};
  // Raised by every stop, so a tile still on its way from a stopped worker
  // never lands in a newer list.
  unsigned generation_ = 0;
  bool stopping_ = false;
};

}  // namespace lumicarve
