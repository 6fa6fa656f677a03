// The file list in the window's centre: the months of a year, the days of a
// month, or the found files of a day or of a group of undated files, either
// as small icons with labels or as 160 x 120 thumbnails that a pool of worker
// threads makes, the rows in view first.
#pragma once

#include <QImage>
#include <QListView>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "results/ui/file_list_model.h"
#include "results/results_storage.h"

class QMenu;

namespace lumicarve {

struct AppContext;
struct ThumbnailTile;
class ThumbnailRun;

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
  // With `original`, a file the card's file system names shows that name
  // and its folder instead: "DCIM/100CANON/IMG_0412.JPG (1.6 MB)".
  static QString FileLabel(const FoundFile& file, bool original = false);
  // Labels with the card's own names (on by default) or the numbered ones.
  void setOriginalNames(bool on);
  // Lists only files the card's file system does not show as present.
  void setDeletedOnly(bool on);
  bool shows(const FoundFile& file) const { return !deletedOnly_ || StateOf(file) != FileState::kLive; }
  const FileFolder* listSource() const { return listSource_; }

  int count() const { return model_->rowCount(); }
  const ListEntry* item(int row) const { return model_->entry(row); }
  FileListModel* listModel() const { return model_; }
  bool thumbnailMode() const { return model_->thumbnails(); }
  // Stops the thumbnail workers and empties the list.
  void clear();

  // Fills the list with blank tiles for every file of listSource() and
  // starts the workers that replace them with pictures.
  void StartThumbnails();
  // Stops the workers before their next picture without waiting for them:
  // nothing they make afterwards reaches the list.
  void StopThumbnails();
  // Workers of the current listing are making tiles.
  bool workerRunning() const { return workersBusy_; }
  // Tiles of the current or last listing that reached the window (shown or
  // not).
  int tilesMade() const { return tilesMade_; }
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
  // The workers have made every tile asked for and ended.
  void thumbnailsIdle();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  // Enter opens the current entry, as a double-click does.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void showMode(bool thumbnails, bool sorted);
  void applyTile(unsigned generation, const ThumbnailTile& tile);
  void workersIdle(unsigned generation);
  void addFileEntries(const FileFolder& folder, int existing);
  // Asks for the blank tiles of the rows in view, then of those around them,
  // up to the bound; starts workers when fewer than the pool's threads are
  // taking rows. `resumed` is a call for a view that moved, which waits
  // while a scan is starting.
  void scheduleTiles(bool resumed);
  void startWorkers(int count);
  // The listing's workers are stopped or have ended: the activity bit goes.
  void endWorkers();
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

  // The current thumbnail listing's rows and workers; disconnected and
  // dropped by every stop, so a stopped listing makes no more tiles.
  std::shared_ptr<ThumbnailRun> run_;
  std::set<int> heldRows_;
  int tileLimit_ = kMaxHeldTiles;
  // The rows whose tiles are kept: those in view and the nearest around
  // them, tileLimit_ at most.
  int keepFirst_ = 0, keepLast_ = -1;
  // Scrolling and resizing settle before the tiles are asked for again.
  QTimer viewMoved_;

  bool workersBusy_ = false;
  int tilesMade_ = 0;
  // Raised by every stop, so a tile still on its way from a stopped worker
  // never lands in a newer list.
  unsigned generation_ = 0;
  bool originalNames_ = true;
  bool deletedOnly_ = false;
  int chainListed_ = 0;  // files of listSource_ looked at, shown or not
  TreeItemData listed_{};
};

}  // namespace lumicarve
