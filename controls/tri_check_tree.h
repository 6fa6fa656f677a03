// A tree whose items carry check boxes with three states. A click on a box or
// Space on the selection sets items checked or unchecked; descendants follow,
// and ancestors become partly checked when their children differ.
#pragma once

#include <QTreeWidget>

namespace lumicarve {

class CTriCheckStateTreeCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CTriCheckStateTreeCtrl(QWidget* parent = nullptr);

  // Sets `item` and its descendants to `state` (checked or unchecked), then
  // brings the ancestors in line.
  void setCheck(QTreeWidgetItem* item, Qt::CheckState state);
  // The box of `item` under the cursor at `pos` (viewport coordinates).
  bool hitsCheckBox(QTreeWidgetItem* item, const QPoint& pos) const;
  QRect checkBoxRect(QTreeWidgetItem* item) const;

 signals:
  void checksChanged();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void clickBox(QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers);
  // A left click (single or double) on a box changes checks only; the
  // selection stays as it is. False when the event is not such a click.
  bool takeBoxClick(QMouseEvent* event);
  void toggleSelection();
  void updateAncestors(QTreeWidgetItem* item, Qt::CheckState state);
};

// The box state of a new item: unchecked.
void AddCheckBox(QTreeWidgetItem* item);

}  // namespace lumicarve
