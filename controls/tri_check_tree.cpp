#include "controls/tri_check_tree.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace lumicarve {
namespace {

bool HasBox(const QTreeWidgetItem* item) { return item->data(0, Qt::CheckStateRole).isValid(); }

Qt::CheckState Toggled(Qt::CheckState s) { return s == Qt::Unchecked ? Qt::Checked : Qt::Unchecked; }

// Exposes where the standard delegate draws an item's check indicator, and
// leaves the toggling to the tree, which changes whole selections at once.
class CheckRectDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&,
                   const QModelIndex&) override {
    return false;
  }
  QRect checkRect(QStyleOptionViewItem option, const QModelIndex& index,
                  const QWidget* widget) const {
    initStyleOption(&option, index);
    if (!(option.features & QStyleOptionViewItem::HasCheckIndicator)) return {};
    return widget->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, widget);
  }
};

void SetSubtree(QTreeWidgetItem* item, Qt::CheckState state) {
  if (HasBox(item)) item->setCheckState(0, state);
  for (int i = 0; i < item->childCount(); ++i) SetSubtree(item->child(i), state);
}

}  // namespace

void AddCheckBox(QTreeWidgetItem* item) { item->setCheckState(0, Qt::Unchecked); }

CTriCheckStateTreeCtrl::CTriCheckStateTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
  setItemDelegate(new CheckRectDelegate(this));
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setRootIsDecorated(true);
  setAllColumnsShowFocus(true);
}

QRect CTriCheckStateTreeCtrl::checkBoxRect(QTreeWidgetItem* item) const {
  QModelIndex index = indexFromItem(item);
  QStyleOptionViewItem option;
  // initViewItemOption is protected but const-callable from here.
  const_cast<CTriCheckStateTreeCtrl*>(this)->initViewItemOption(&option);
  option.rect = visualRect(index);
  auto* delegate = static_cast<CheckRectDelegate*>(itemDelegate());
  return delegate->checkRect(option, index, this);
}

bool CTriCheckStateTreeCtrl::hitsCheckBox(QTreeWidgetItem* item, const QPoint& pos) const {
  return item && HasBox(item) && checkBoxRect(item).contains(pos);
}

bool CTriCheckStateTreeCtrl::takeBoxClick(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  QTreeWidgetItem* item = itemAt(pos);
  if (event->button() != Qt::LeftButton || !hitsCheckBox(item, pos)) return false;
  clickBox(item, event->modifiers());
  event->accept();
  return true;
}

void CTriCheckStateTreeCtrl::mousePressEvent(QMouseEvent* event) {
  if (!takeBoxClick(event)) QTreeWidget::mousePressEvent(event);
}

void CTriCheckStateTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!takeBoxClick(event)) QTreeWidget::mouseDoubleClickEvent(event);
}

void CTriCheckStateTreeCtrl::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    toggleSelection();
    event->accept();
    return;
  }
  // The storage keeps the tree's items; they are never deleted one by one.
  if (event->key() == Qt::Key_Delete) {
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void CTriCheckStateTreeCtrl::clickBox(QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers) {
  Qt::CheckState next = Toggled(item->checkState(0));
  if (item->isSelected() && !(modifiers & Qt::ControlModifier)) {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    for (QTreeWidgetItem* s : selected) setCheck(s, next);
  } else {
    setCheck(item, next);
  }
  emit checksChanged();
}

void CTriCheckStateTreeCtrl::toggleSelection() {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  if (selected.isEmpty()) return;
  bool anyChecked = false;
  for (QTreeWidgetItem* s : selected)
    if (HasBox(s) && s->checkState(0) != Qt::Unchecked) anyChecked = true;
  Qt::CheckState next = anyChecked ? Qt::Unchecked : Qt::Checked;
  for (QTreeWidgetItem* s : selected) setCheck(s, next);
  emit checksChanged();
}

void CTriCheckStateTreeCtrl::setCheck(QTreeWidgetItem* item, Qt::CheckState state) {
  SetSubtree(item, state);
  updateAncestors(item, state);
}

void CTriCheckStateTreeCtrl::updateAncestors(QTreeWidgetItem* item, Qt::CheckState state) {
  for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent()) {
    bool allSame = true;
    for (int i = 0; i < parent->childCount(); ++i) {
      QTreeWidgetItem* c = parent->child(i);
      if (HasBox(c) && c->checkState(0) != state) allSame = false;
    }
    if (!allSame) {
      for (QTreeWidgetItem* p = parent; p; p = p->parent())
        if (HasBox(p)) p->setCheckState(0, Qt::PartiallyChecked);
      return;
    }
    if (HasBox(parent)) parent->setCheckState(0, state);
  }
}

}  // namespace lumicarve
