#include "results/ui/file_list_model.h"

#include <algorithm>

namespace lumicarve {

FileListModel::FileListModel(QObject* parent) : QAbstractListModel(parent) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  const ListEntry* e = entry(index.row());
  if (!e || index.column() != 0) return {};
  switch (role) {
    case Qt::DisplayRole:
      return e->label;
    case Qt::DecorationRole:
      if (thumbnails_) return e->tile;
      return icons_[std::clamp(e->image, 0, 2)];
    case kFileRole:
      return QVariant::fromValue(reinterpret_cast<quintptr>(e->file));
    default:
      return {};
  }
}

void FileListModel::setIcons(const QIcon& folder, const QIcon& picture, const QIcon& video) {
  icons_[kImageFolder] = folder;
  icons_[kImagePicture] = picture;
  icons_[kImageVideo] = video;
}

void FileListModel::reset(bool sorted, bool thumbnails) {
  beginResetModel();
  entries_.clear();
  sorted_ = sorted;
  thumbnails_ = thumbnails;
  endResetModel();
}

void FileListModel::setEntries(std::vector<ListEntry> entries) {
  beginResetModel();
  entries_ = std::move(entries);
  if (sorted_)
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const ListEntry& a, const ListEntry& b) { return a.label < b.label; });
  endResetModel();
}

int FileListModel::add(ListEntry entry) {
  auto at = entries_.end();
  if (sorted_)
    at = std::upper_bound(entries_.begin(), entries_.end(), entry.label,
                          [](const QString& label, const ListEntry& e) { return label < e.label; });
  const int row = static_cast<int>(at - entries_.begin());
  beginInsertRows(QModelIndex(), row, row);
  entries_.insert(at, std::move(entry));
  endInsertRows();
  return row;
}

void FileListModel::setTile(int row, const QPixmap& tile) {
  if (row < 0 || row >= rowCount()) return;
  entries_[static_cast<size_t>(row)].tile = tile;
  const QModelIndex i = index(row);
  emit dataChanged(i, i, {Qt::DecorationRole});
}

const ListEntry* FileListModel::entry(int row) const {
  if (row < 0 || row >= static_cast<int>(entries_.size())) return nullptr;
  return &entries_[static_cast<size_t>(row)];
}

}  // namespace lumicarve
