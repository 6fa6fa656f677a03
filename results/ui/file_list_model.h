// The entries of the file list: a label, an image, and for a file the record
// copy in the results storage it stands for. In small-icon mode the image is
// one of three icons; in thumbnail mode each entry has its own tile.
#pragma once

#include <QAbstractListModel>
#include <QIcon>
#include <QPixmap>

#include <vector>

#include "scan/file_types.h"

namespace lumicarve {

// Image indices of the small-icon mode.
enum ListImage { kImageFolder = 0, kImagePicture = 1, kImageVideo = 2 };

struct ListEntry {
  QString label;
  int image = kImageFolder;
  FoundFile* file = nullptr;  // null for a folder entry
  QPixmap tile;               // thumbnail mode only
  QString text() const { return label; }
};

class FileListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  static constexpr int kFileRole = Qt::UserRole;

  explicit FileListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void setIcons(const QIcon& folder, const QIcon& picture, const QIcon& video);
  // Empties the list and sets its mode: sorted keeps entries in ascending
  // label order, thumbnails shows each entry's tile.
  void reset(bool sorted, bool thumbnails);
  // Replaces all entries in one step (the thumbnail list's blank tiles).
  void setEntries(std::vector<ListEntry> entries);
  // Adds an entry (in label order when sorted); returns its row.
  int add(ListEntry entry);
  // Puts a tile into one entry; only that entry is repainted.
  void setTile(int row, const QPixmap& tile);
  const ListEntry* entry(int row) const;
  bool thumbnails() const { return thumbnails_; }

 private:
  std::vector<ListEntry> entries_;
  QIcon icons_[3];
  bool sorted_ = false;
  bool thumbnails_ = false;
};

}  // namespace lumicarve
