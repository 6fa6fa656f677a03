#include "results/ui/folder_view_pane.h"

#include <QCoreApplication>
#include <QStyle>
#include <QVBoxLayout>

#include "controls/tri_check_tree.h"

namespace lumicarve {
namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kTargetRole = Qt::UserRole + 1;

QTreeWidgetItem* ItemOf(TreeItem item) { return static_cast<QTreeWidgetItem*>(item); }

}  // namespace

FolderViewPane::FolderViewPane(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  tree_ = new CTriCheckStateTreeCtrl(this);
  tree_->setObjectName(QStringLiteral("folderTree"));
  layout->addWidget(tree_);
  images_[0] = style()->standardIcon(QStyle::SP_DirOpenIcon);
  images_[1] = style()->standardIcon(QStyle::SP_DirClosedIcon);
  // The keys move the caret and select in one step; a mouse press moves the
  // caret first and selects afterwards. The list follows whichever of the
  // two completes the choice, once per item.
  connect(tree_, &QTreeWidget::currentItemChanged, this, &FolderViewPane::selectionChanged);
  connect(tree_, &QTreeWidget::itemSelectionChanged, this, &FolderViewPane::selectionChanged);
  labelTimer_.setSingleShot(true);
  connect(&labelTimer_, &QTimer::timeout, this, &FolderViewPane::flushLabels);
}

TreeItemData FolderViewPane::DataOf(const QTreeWidgetItem* item) {
  if (!item) return {};
  return {item->data(0, kKindRole).toInt(),
          reinterpret_cast<void*>(item->data(0, kTargetRole).value<quintptr>())};
}

QTreeWidgetItem* FolderViewPane::makeItem(const std::string& label, int image, int selectedImage,
                                          TreeItemData data) {
  auto* item = new QTreeWidgetItem(QStringList(QString::fromStdString(label)));
  // The selected look of an item is its own image, as a selected-mode pixmap.
  QIcon icon;
  for (QIcon::Mode mode : {QIcon::Normal, QIcon::Active})
    icon.addPixmap(images_[image & 1].pixmap(16, 16), mode);
  icon.addPixmap(images_[selectedImage & 1].pixmap(16, 16), QIcon::Selected);
  item->setIcon(0, icon);
  item->setData(0, kKindRole, data.kind);
  item->setData(0, kTargetRole, QVariant::fromValue(reinterpret_cast<quintptr>(data.target)));
  AddCheckBox(item);
  return item;
}

TreeItem FolderViewPane::InsertItem(TreeItem parent, TreeItem after, const std::string& label,
                                    int image, int selectedImage, TreeItemData data) {
  QTreeWidgetItem* p = parent ? ItemOf(parent) : tree_->invisibleRootItem();
  QTreeWidgetItem* item = makeItem(label, image, selectedImage, data);
  p->insertChild(after ? p->indexOfChild(ItemOf(after)) + 1 : 0, item);
  return item;
}

TreeItem FolderViewPane::AppendItem(TreeItem parent, const std::string& label, int image,
                                    int selectedImage, TreeItemData data) {
  QTreeWidgetItem* p = parent ? ItemOf(parent) : tree_->invisibleRootItem();
  QTreeWidgetItem* item = makeItem(label, image, selectedImage, data);
  p->addChild(item);
  return item;
}

void FolderViewPane::SetItemText(TreeItem item, const std::string& label) {
  if (!labelsDeferred_) {
    ItemOf(item)->setText(0, QString::fromStdString(label));
    return;
  }
  heldLabels_.insert(ItemOf(item), QString::fromStdString(label));
  if (!labelTimer_.isActive()) labelTimer_.start(kLabelIntervalMs);
}

void FolderViewPane::setLabelsDeferred(bool deferred) {
  labelsDeferred_ = deferred;
  if (!deferred) flushLabels();
}

void FolderViewPane::flushLabels() {
  labelTimer_.stop();
  for (auto it = heldLabels_.cbegin(); it != heldLabels_.cend(); ++it) it.key()->setText(0, it.value());
  heldLabels_.clear();
}

std::string FolderViewPane::NameText(const char* name) {
  return QCoreApplication::translate("Lumicarve", name).toStdString();
}

void FolderViewPane::SortChildren(TreeItem parent) {
  flushLabels();  // the labels are the sort keys
  QTreeWidgetItem* p = parent ? ItemOf(parent) : tree_->invisibleRootItem();
  // Insertion sort: the children were in order before one new item came, so
  // only that item moves, and the selected item is never taken out.
  for (int i = 1; i < p->childCount(); ++i) {
    std::string label = p->child(i)->text(0).toStdString();
    int j = i;
    while (j > 0 && LabelLess(label, p->child(j - 1)->text(0).toStdString())) --j;
    if (j == i) continue;
    bool expanded = p->child(i)->isExpanded();
    QTreeWidgetItem* moved = p->takeChild(i);
    p->insertChild(j, moved);
    moved->setExpanded(expanded);
  }
}

TreeItem FolderViewPane::CaretItem() { return tree_->currentItem(); }

void FolderViewPane::SelectItem(TreeItem item) { tree_->setCurrentItem(ItemOf(item)); }

void FolderViewPane::DeleteAllItems() {
  listed_ = nullptr;
  labelTimer_.stop();
  heldLabels_.clear();
  tree_->clear();
}

void FolderViewPane::RefreshList(TreeItem item, bool appendOnly) {
  emit listRefresh(ItemOf(item), appendOnly);
}

void FolderViewPane::selectionChanged() {
  QTreeWidgetItem* current = tree_->currentItem();
  if (!current || !current->isSelected()) return;
  // Moving rows while a year is sorted in changes the selection model but
  // not the chosen item: nothing to list again.
  if (current == listed_) return;
  listed_ = current;
  if (!ignoreNextSelectionChange_) emit listRefresh(current, false);
  ignoreNextSelectionChange_ = false;
}

}  // namespace lumicarve
