// The folder tree as the window shows it: labels and order in the real tree,
// the check boxes with their three states, the selection that lists a folder,
// and the Delete key that deletes nothing.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

#include "controls/tri_check_tree.h"
#include "results/ui/folder_view_pane.h"
#include "results/results_storage.h"
#include "scan/filetime.h"
#include "ui_test_support.h"

using namespace lumicarve;

namespace {

FoundFile Dated(int number, int year, int month, int day) {
  FoundFile f{};
  std::snprintf(f.name, sizeof f.name, "%08d.JPG", number);
  f.type = FT_JPG;
  CalendarTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  CalendarToFiletime(t, f.date);
  return f;
}

QStringList Labels(QTreeWidgetItem* parent) {
  QStringList out;
  for (int i = 0; i < parent->childCount(); ++i) out << parent->child(i)->text(0);
  return out;
}

}  // namespace

class FolderTreeTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    pane_ = std::make_unique<FolderViewPane>();
    pane_->resize(300, 500);
    pane_->show();
    QVERIFY(QTest::qWaitForWindowExposed(pane_.get()));
    storage_ = std::make_unique<ResultsStorage>();
    storage_->CreateRoot(*pane_, ',');
    storage_->AddFoundFile(Dated(1, 2013, 3, 4));
    storage_->AddFoundFile(Dated(2, 2013, 1, 9));
    storage_->AddFoundFile(Dated(3, 2013, 1, 10));
    storage_->AddFoundFile(Dated(4, 2012, 5, 17));
    storage_->AddFoundFile(Dated(5, 2012, 5, 17));
    tree()->expandAll();
  }
  void cleanup() {
    storage_.reset();
    pane_.reset();
  }

  void theRealTreeShowsTheLabelsInTheirOrder() {
    QTreeWidgetItem* root = tree()->invisibleRootItem();
    QCOMPARE(Labels(root), (QStringList{"2012 (2)", "2013 (3)", "unsorted"}));
    QCOMPARE(Labels(root->child(0)), QStringList{"May (2)"});
    QCOMPARE(Labels(root->child(0)->child(0)), QStringList{"17 (2)"});
    QCOMPARE(Labels(root->child(1)), (QStringList{"January (2)", "March (1)"}));
    QCOMPARE(Labels(root->child(1)->child(0)), (QStringList{"9 (1)", "10 (1)"}));
    QCOMPARE(FolderViewPane::DataOf(root->child(1)).kind, int(NODE_YEAR));
    // The root selected at scan start stays selected while years are sorted in.
    QCOMPARE(tree()->currentItem(), root->child(2));
  }

  // During a scan the count labels are held and set together: the same
  // texts a moment later, at once when the scan ends, and never on items of
  // a tree cleared meanwhile.
  void labelsHeldDuringAScanShowTheSameTextsAndAClearedTreeDropsThem() {
    QTreeWidgetItem* root = tree()->invisibleRootItem();
    pane_->setLabelsDeferred(true);
    storage_->AddFoundFile(Dated(7, 2011, 2, 1));  // a new year is sorted in by its label
    storage_->AddFoundFile(Dated(6, 2013, 3, 4));
    QCOMPARE(Labels(root), (QStringList{"2011 (1)", "2012 (2)", "2013 (3)", "unsorted"}));
    QTRY_COMPARE(Labels(root), (QStringList{"2011 (1)", "2012 (2)", "2013 (4)", "unsorted"}));
    QCOMPARE(Labels(root->child(2)), (QStringList{"January (2)", "March (2)"}));
    storage_->AddFoundFile(Dated(8, 2012, 5, 17));
    pane_->setLabelsDeferred(false);
    QCOMPARE(Labels(root->child(1)->child(0)), QStringList{"17 (3)"});

    pane_->setLabelsDeferred(true);
    storage_->AddFoundFile(Dated(9, 2012, 5, 17));
    storage_->CreateRoot(*pane_, ',');
    QTest::qWait(2 * FolderViewPane::kLabelIntervalMs);
    QCOMPARE(Labels(root), QStringList{"unsorted"});
  }

  void checkingAFolderChecksItsDescendantsAndMarksItsAncestorsPartly() {
    QTreeWidgetItem* year = tree()->topLevelItem(1);
    QTreeWidgetItem* january = year->child(0);
    clickBox(january);
    QCOMPARE(january->checkState(0), Qt::Checked);
    QCOMPARE(january->child(0)->checkState(0), Qt::Checked);
    QCOMPARE(january->child(1)->checkState(0), Qt::Checked);
    QCOMPARE(year->checkState(0), Qt::PartiallyChecked);
    QCOMPARE(year->child(1)->checkState(0), Qt::Unchecked);
    // The last unchecked sibling checked: the year follows.
    clickBox(year->child(1));
    QCOMPARE(year->checkState(0), Qt::Checked);
    // A partly checked folder becomes unchecked on a click.
    clickBox(january->child(0));
    QCOMPARE(year->checkState(0), Qt::PartiallyChecked);
    clickBox(year);
    QCOMPARE(year->checkState(0), Qt::Unchecked);
    QCOMPARE(january->child(1)->checkState(0), Qt::Unchecked);
  }

  void aClickOnASelectedItemsBoxChangesTheWholeSelectionUnlessCtrlIsHeld() {
    QTreeWidgetItem* may = tree()->topLevelItem(0)->child(0);
    QTreeWidgetItem* march = tree()->topLevelItem(1)->child(1);
    QTreeWidgetItem* unsorted = tree()->topLevelItem(2);
    tree()->clearSelection();
    may->setSelected(true);
    march->setSelected(true);
    clickBox(may);
    QCOMPARE(may->checkState(0), Qt::Checked);
    QCOMPARE(march->checkState(0), Qt::Checked);
    QCOMPARE(unsorted->checkState(0), Qt::Unchecked);
    // The selection is left as it was.
    QVERIFY(may->isSelected() && march->isSelected());
    clickBox(march, Qt::ControlModifier);
    QCOMPARE(march->checkState(0), Qt::Unchecked);
    QCOMPARE(may->checkState(0), Qt::Checked);
  }

  void spaceUnchecksTheSelectionIfAnyIsCheckedElseChecksIt() {
    QTreeWidgetItem* may = tree()->topLevelItem(0)->child(0);
    QTreeWidgetItem* march = tree()->topLevelItem(1)->child(1);
    tree()->clearSelection();
    may->setSelected(true);
    march->setSelected(true);
    tree()->setFocus();
    QTest::keyClick(tree(), Qt::Key_Space);
    QCOMPARE(may->checkState(0), Qt::Checked);
    QCOMPARE(march->checkState(0), Qt::Checked);
    tree()->setCheck(may, Qt::Unchecked);
    QTest::keyClick(tree(), Qt::Key_Space);
    QCOMPARE(may->checkState(0), Qt::Unchecked);
    QCOMPARE(march->checkState(0), Qt::Unchecked);
  }

  void theDeleteKeyDeletesNoFolder() {
    tree()->setCurrentItem(tree()->topLevelItem(0));
    QTest::keyClick(tree(), Qt::Key_Delete);
    QCOMPARE(tree()->topLevelItemCount(), 3);
    QCOMPARE(tree()->topLevelItem(0)->text(0), QStringLiteral("2012 (2)"));
  }

  void selectingAFolderListsItButTheFirstSelectionChangeDoesNot() {
    FolderViewPane fresh;
    ResultsStorage storage;
    QSignalSpy refreshes(&fresh, &FolderViewPane::listRefresh);
    storage.CreateRoot(fresh, ',');
    storage.AddFoundFile(Dated(1, 2012, 5, 17));
    QCOMPARE(refreshes.count(), 0);
    QTreeWidgetItem* year = fresh.tree()->topLevelItem(0);
    fresh.tree()->setCurrentItem(year);
    QCOMPARE(refreshes.count(), 1);
    QCOMPARE(refreshes.at(0).at(0).value<QTreeWidgetItem*>(), year);
    QCOMPARE(refreshes.at(0).at(1).toBool(), false);
    // A new file of the selected day extends the list.
    QTreeWidgetItem* day = year->child(0)->child(0);
    fresh.tree()->setCurrentItem(day);
    storage.AddFoundFile(Dated(2, 2012, 5, 17));
    QCOMPARE(refreshes.last().at(0).value<QTreeWidgetItem*>(), day);
    QCOMPARE(refreshes.last().at(1).toBool(), true);
  }

 private:
  CTriCheckStateTreeCtrl* tree() { return pane_->tree(); }
  void clickBox(QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers = {}) {
    tree()->scrollToItem(item);
    QRect box = tree()->checkBoxRect(item);
    QVERIFY(box.isValid());
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, modifiers, box.center());
  }

  std::unique_ptr<FolderViewPane> pane_;
  std::unique_ptr<ResultsStorage> storage_;
};

LUMICARVE_UI_TEST_MAIN(FolderTreeTest)
#include "folder_tree_test.moc"
