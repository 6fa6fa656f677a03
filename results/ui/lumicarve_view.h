// The file list in the window's centre: the months of a year, the days of a
// month, or the found files of a day or of a group of undated files, either
// as small icons with labels or as 160 x 120 thumbnails that a worker thread
// makes one by one.
#pragma once

#include <QImage>
#include <QListView>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <utility>

#include "results/ui/file_list_model.h"
#include "results/results_storage.h"

class QMenu;

namespace lumicarve {

struct AppContext;
struct ThumbnailTile;
class ThumbnailQueue;

class CLumicarveView : public QListView {
  Q_OBJECT

 public:
  static constexpr int kFileRole = FileListModel::kFileRole;
  // Decoded tiles held at most (77 KB each, so under 200 MB, some nine
  // screens of tiles): a day with tens of thousands of pictures keeps those
  // nearest the rows in view and shows the blank tile for the others until
  // they come into view.
  static constexpr int kMaxHeldTiles = 2500;

  CLumicarveView(AppContext* context, QWidget* parent = nullptr);
  ~CLumicarveView() override;

  // Lists what lies directly below a tree item with `data`. appendOnly adds
  // only the entries beyond those already listed. For NODE_UNSORTED the
  // target is the unsorted YearRecord: its groups are listed like days.
  void RefreshList(TreeItemData data, bool appendOnly);
  // What the empty list says instead of nothing.
  void setEmptyHint(const QString& hint);
  QString emptyHint() const { return emptyHint_; }
  // "00000012.JPG (1.6 MB)": the size as every size of the window is written.
  static QString FileLabel(const FoundFile& file);
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
  // Tiles the workers of the current or last listing have made (their own
  // count, shown or not).
  int tilesMade() const { return tilesMade_.load(); }
  // Entries that hold a decoded tile of their own.
  int tilesHeld() const { return static_cast<int>(heldRows_.size()); }
  // A smaller bound than kMaxHeldTiles, so tests need not list thousands.
  void setTileLimitForTest(int limit) { tileLimit_ = std::max(1, limit); }

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
  void paintEvent(QPaintEvent* event) override;
  // Enter opens the current entry, as a double-click does.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void showMode(bool thumbnails, bool sorted);
  void applyTile(unsigned generation, const ThumbnailTile& tile);
  void addFileEntries(const FileFolder& folder, int existing);
  // Asks for the blank tiles of the rows in view, then of those around them,
  // up to the bound; starts a worker when none is running. `resumed` is a
  // call for a view that moved, which waits while a scan is starting.
  void scheduleTiles(bool resumed);
  void startWorker();
  // The first and last rows the viewport shows (the first row alone when
  // nothing is laid out yet).
  std::pair<int, int> visibleRows() const;
  void evictFarthest();

  AppContext* context_;
  FileListModel* model_;
  QString emptyHint_;
  const FileFolder* listSource_ = nullptr;
  QPixmap blankTile_;
  QImage filmStrip_, camera_;
  // Shared by every video or undecoded entry, so they cost no memory each.
  QPixmap filmStripTile_, cameraTile_;

  // The rows of the current thumbnail listing still to be made; dropped by
  // every stop, so a stopped listing makes no more tiles.
  std::shared_ptr<ThumbnailQueue> queue_;
  std::set<int> heldRows_;
  int tileLimit_ = kMaxHeldTiles;
  // The rows whose tiles are kept: those in view and the nearest around
  // them, tileLimit_ at most.
  int keepFirst_ = 0, keepLast_ = -1;
  // Scrolling and resizing settle before the tiles are asked for again.
  QTimer viewMoved_;

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
