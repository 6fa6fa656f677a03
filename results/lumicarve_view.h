// The file list in the window's centre: the months of a year, the days of a
// month, or the found files of a day or of a group of undated files.
#pragma once

#include <QListWidget>

#include "results/results_storage.h"

namespace lumicarve {

struct ScanContext;

class CLumicarveView : public QListWidget {
  Q_OBJECT

 public:
  static constexpr int kFileRole = Qt::UserRole;

  CLumicarveView(ScanContext* context, QWidget* parent = nullptr);

  // Lists what lies directly below a tree item with `data`. appendOnly adds
  // only the entries beyond those already listed.
  void RefreshList(TreeItemData data, bool appendOnly);
  // "00000012.JPG (1,537 KB)": the size in whole kilobytes, rounded up.
  static QString FileLabel(const FoundFile& file, char separator);
  const FileFolder* listSource() const { return listSource_; }

 signals:
  void entryOpened(int index);

 private:
  void addEntry(const QString& label, const QIcon& icon, const FoundFile* file);

  ScanContext* context_;
  const FileFolder* listSource_ = nullptr;
  QIcon folderIcon_, pictureIcon_, videoIcon_;
};

}  // namespace lumicarve
