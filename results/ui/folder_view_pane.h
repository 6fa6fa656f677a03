// The "Folder View" pane: the found files' date folders in a check tree. It
// is the tree the results storage files into.
#pragma once

#include <QHash>
#include <QTimer>
#include <QWidget>

#include "results/results_storage.h"

class QTreeWidgetItem;

namespace lumicarve {

class CTriCheckStateTreeCtrl;

class FolderViewPane : public QWidget, public ResultsTree {
  Q_OBJECT

 public:
  explicit FolderViewPane(QWidget* parent = nullptr);

  CTriCheckStateTreeCtrl* tree() const { return tree_; }
  static TreeItemData DataOf(const QTreeWidgetItem* item);

  TreeItem InsertItem(TreeItem parent, TreeItem after, const std::string& label, int image,
                      int selectedImage, TreeItemData data) override;
  TreeItem AppendItem(TreeItem parent, const std::string& label, int image, int selectedImage,
                      TreeItemData data) override;
  void SetItemText(TreeItem item, const std::string& label) override;
  std::string NameText(const char* name) override;
  void SortChildren(TreeItem parent) override;
  TreeItem CaretItem() override;
  void SelectItem(TreeItem item) override;
  void DeleteAllItems() override;
  void RefreshList(TreeItem item, bool appendOnly) override;

  // A scan files thousands of files a second, each changing the count labels
  // of its year, month and day. While labels are deferred, a new label is
  // held and the held ones are set together at most every kLabelIntervalMs:
  // the tree shows the same texts without being updated for every file.
  // Switching deferral off sets the held labels at once.
  static constexpr int kLabelIntervalMs = 50;
  void setLabelsDeferred(bool deferred);
  void flushLabels();

 signals:
  // The list is to show `item` (appendOnly: add only its new entries).
  void listRefresh(QTreeWidgetItem* item, bool appendOnly);

 private:
  void selectionChanged();
  QTreeWidgetItem* makeItem(const std::string& label, int image, int selectedImage,
                            TreeItemData data);

  CTriCheckStateTreeCtrl* tree_;
  QIcon images_[2];
  // The selection made while the pane is built is not a user's choice.
  bool ignoreNextSelectionChange_ = true;
  // The item the list was last asked to show by a selection.
  QTreeWidgetItem* listed_ = nullptr;
  bool labelsDeferred_ = false;
  QHash<QTreeWidgetItem*, QString> heldLabels_;
  QTimer labelTimer_;
};

}  // namespace lumicarve
