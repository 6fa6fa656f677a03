// The window driven as a user drives it: mouse clicks on the tree and the
// list, the keyboard shortcuts, and what the window says back.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "browse_test_support.h"
#include "controls/tri_check_tree.h"
#include "shell/control_pane.h"
#include "results/ui/file_preview_dialog.h"
#include "results/ui/folder_view_pane.h"
#include "results/ui/lumicarve_view.h"
#include "shell/command_button_strip.h"
#include "shell/main_frame.h"
#include "shell/recovery_dialog.h"
#include "shell/recovery_target_dialog.h"
#include "recovery_driver.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

class WindowInputTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    frame_ = std::make_unique<CMainFrame>();
    frame_->show();
    QApplication::setActiveWindow(frame_.get());
    QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
  }
  void cleanup() { frame_.reset(); }

  void aMouseClickOnADayListsItsFilesAndRecoverWithNothingTickedSavesThem() {
    QVERIFY(ScanSampleCard(*frame_, dir_->filePath(QStringLiteral("card.img"))));
    CTriCheckStateTreeCtrl* tree = frame_->folderPane()->tree();
    QTreeWidgetItem* may2002 = tree->topLevelItem(0)->child(0)->child(0);
    QTreeWidgetItem* june2008 = tree->topLevelItem(1)->child(0)->child(0);
    click(june2008);
    QCOMPARE(listed(), QStringList(QStringLiteral("00000003.JPG")));
    click(may2002);
    QCOMPARE(listed(), QStringList(QStringLiteral("00000001.JPG")));
    // A second click on the same day leaves the list as it is.
    click(may2002);
    QCOMPARE(listed(), QStringList(QStringLiteral("00000001.JPG")));

    const QString out = dir_->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    RecoveryDriver answers(out);
    frame_->controlRequest(CMainFrame::kRecoverFiles);
    QCOMPARE(FilesBelow(out), QStringList(QStringLiteral("2002/05/01/0001.JPG")));
  }

  void theKeysStartAndCancelAScanAndTheWindowSaysWhatBecameOfIt() {
    // A card with a long empty stretch first, so the scan is still running
    // when Esc comes.
    const QString card = dir_->filePath(QStringLiteral("long.img"));
    QVERIFY(MakeCardImage(card, SampleCardFiles(), 4000000));
    QVERIFY(frame_->openDiskImage(card));
    QTest::keyClick(frame_.get(), Qt::Key_F5);
    QCOMPARE(frame_->context().scanState.load(), int(SCAN_RUNNING));
    QVERIFY(frame_->windowTitle().startsWith(QStringLiteral("[image] long.img")));
    // What a scan relies on cannot change under it.
    QVERIFY(!frame_->action("openDiskImage")->isEnabled());
    QVERIFY(!frame_->action("options")->isEnabled());
    QTest::keyClick(frame_.get(), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(frame_->context().commandEnable[0], 30000);
    frame_->waitForScanThread();
    QVERIFY(frame_->statusText().startsWith(QStringLiteral("Scan cancelled at ")));
    QVERIFY(frame_->action("openDiskImage")->isEnabled());

    // The big buttons are reached with Tab and pressed with Space.
    QAbstractButton* search = frame_->controlPane()->strip()->button(0);
    search->setFocus();
    QTRY_VERIFY(search->hasFocus());
    QTest::keyClick(search, Qt::Key_Space);
    QCOMPARE(frame_->context().scanState.load(), int(SCAN_RUNNING));
    QTest::keyClick(frame_.get(), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(frame_->context().commandEnable[0], 30000);
    frame_->waitForScanThread();
  }

  void foundFilesAreDiscardedOnlyWhenTheUserAgrees() {
    QVERIFY(ScanSampleCard(*frame_, dir_->filePath(QStringLiteral("card.img"))));
    // The report of the scan had the focus; the keys go to the window again.
    QApplication::setActiveWindow(frame_.get());
    QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
    CTriCheckStateTreeCtrl* tree = frame_->folderPane()->tree();
    const int folders = tree->topLevelItemCount();
    {
      MessageBoxWatcher boxes(QMessageBox::Cancel);
      QTest::keyClick(frame_.get(), Qt::Key_F5);
      QTRY_COMPARE(boxes.texts.size(), 1);
      QCOMPARE(boxes.texts.at(0), QStringLiteral("7 found files have not been recovered and will be discarded."));
      QCOMPARE(frame_->context().scanState.load(), int(SCAN_DONE));
      // Another disk image chosen: refused too, the results stay.
      QVERIFY(!frame_->openDiskImage(dir_->filePath(QStringLiteral("card.img"))));
      QCOMPARE(tree->topLevelItemCount(), folders);
    }
    MessageBoxWatcher boxes(QMessageBox::Discard);
    QVERIFY(frame_->openDiskImage(dir_->filePath(QStringLiteral("card.img"))));
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(tree->topLevelItemCount(), 0);
    QCOMPARE(frame_->windowTitle(), QStringLiteral("Lumicarve"));
    QVERIFY(!frame_->action("recoverFiles")->isEnabled());
  }

  void enterOnAnEntryOpensThePreviewWhichStepsThroughTheFolder() {
    QVERIFY(ScanSampleCard(*frame_, dir_->filePath(QStringLiteral("card.img"))));
    CTriCheckStateTreeCtrl* tree = frame_->folderPane()->tree();
    // "unsorted" lists its undated files itself once the scan is over.
    click(tree->topLevelItem(tree->topLevelItemCount() - 1));
    QCOMPARE(listed(), (QStringList{"00000002.JPG", "00000005.GIF", "00000006.PNG"}));
    CLumicarveView* view = frame_->view();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(1, 0));
    QStringList names;
    bool previousEnabledAtStart = true;
    QTimer::singleShot(0, this, [&] {
      auto* dialog = qobject_cast<FilePreviewDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      names << dialog->nameText();
      QTest::keyClick(dialog, Qt::Key_Right);
      names << dialog->nameText();
      QTest::keyClick(dialog, Qt::Key_Right);  // already the last: stays
      QTest::mouseClick(dialog->previousButton(), Qt::LeftButton);
      QTest::mouseClick(dialog->previousButton(), Qt::LeftButton);
      names << dialog->nameText();
      previousEnabledAtStart = dialog->previousButton()->isEnabled();
      dialog->accept();
    });
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(names, (QStringList{"00000005.GIF", "00000006.PNG", "00000002.JPG"}));
    QVERIFY(!previousEnabledAtStart);
  }

  // A used FAT card with two copies of one picture, one of them deleted:
  // the View menu's items, clicked with the mouse, switch the list from the
  // card's names to the numbered ones, leave out the file still on the card,
  // and hide and show the folder view.
  void theViewMenuByMouseSwitchesNamesFiltersDeletedFilesAndHidesPanes() {
    for (const char* tool : {"mkfs.vfat", "mcopy", "mdel", "mmd"})
      if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) QSKIP("mtools or dosfstools missing");
    const QString img = dir_->filePath(QStringLiteral("used.img"));
    const QString picture = DataPath(QStringLiteral("make_in_model_canon.jpg"));
    const QString m = QStringLiteral(" -i '%1' ").arg(img);
    QVERIFY(Shell(QStringLiteral("head -c 64M /dev/urandom >'%1' && mkfs.vfat -F 32 -s 1 '%1' >/dev/null").arg(img)));
    QVERIFY(Shell(QStringLiteral("mmd") + m + QStringLiteral("::/DCIM")));
    QVERIFY(Shell(QStringLiteral("mcopy") + m + QStringLiteral("'%1' ::/DCIM/KEPT.JPG").arg(picture)));
    QVERIFY(Shell(QStringLiteral("mcopy") + m + QStringLiteral("'%1' ::/DCIM/GONE.JPG").arg(picture)));
    QVERIFY(Shell(QStringLiteral("mdel") + m + QStringLiteral("::/DCIM/GONE.JPG")));
    QVERIFY(frame_->openDiskImage(img));
    MessageBoxWatcher boxes;
    QTest::keyClick(frame_.get(), Qt::Key_F5);
    QVERIFY(QTest::qWaitFor([&] { return frame_->context().commandEnable[0] && !boxes.texts.isEmpty(); }, 30000));
    frame_->waitForScanThread();
    CTriCheckStateTreeCtrl* tree = frame_->folderPane()->tree();
    click(tree->topLevelItem(0)->child(0)->child(0));  // 2008, June, 21
    QCOMPARE(listed(), (QStringList{QStringLiteral("DCIM/KEPT.JPG"), QStringLiteral("DCIM/_ONE.JPG")}));
    QVERIFY(clickMenuItem(QStringLiteral("&View"), QStringLiteral("&Deleted files only")));
    QCOMPARE(listed(), QStringList{QStringLiteral("DCIM/_ONE.JPG")});
    QVERIFY(clickMenuItem(QStringLiteral("&View"), QStringLiteral("&Original file names")));
    QCOMPARE(listed(), QStringList{QStringLiteral("00000002.JPG")});
    QVERIFY(clickMenuItem(QStringLiteral("&View"), QStringLiteral("&Deleted files only")));
    QCOMPARE(listed(), (QStringList{QStringLiteral("00000001.JPG"), QStringLiteral("00000002.JPG")}));
    QVERIFY(clickMenuItem(QStringLiteral("&View"), QStringLiteral("&Folder view")));
    QTRY_VERIFY(!frame_->folderPane()->isVisible());
    QVERIFY(clickMenuItem(QStringLiteral("&View"), QStringLiteral("&Folder view")));
    QTRY_VERIFY(frame_->folderPane()->isVisible());
  }

 private:
  static bool Shell(const QString& command) {
    return std::system(command.toLocal8Bit().constData()) == 0;
  }
  // Opens `menu` on the menu bar and clicks its `item`, both with the mouse.
  bool clickMenuItem(const QString& menu, const QString& item) {
    QMenu* popup = OpenMenu(frame_->menuBar(), menu);
    QAction* itemAction = popup ? MenuAction(popup, item) : nullptr;
    if (!itemAction) return false;
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(itemAction).center());
    return QTest::qWaitFor([&] { return !popup->isVisible(); });
  }
  void click(QTreeWidgetItem* item) {
    CTriCheckStateTreeCtrl* tree = frame_->folderPane()->tree();
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
    tree->scrollToItem(item);
    const QRect r = tree->visualItemRect(item);
    // Right of the label, well clear of the check box.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(r.right() - 4, r.center().y()));
  }
  QStringList listed() const {
    QStringList names;
    for (int i = 0; i < frame_->view()->count(); ++i)
      names << frame_->view()->item(i)->text().section(QLatin1Char(' '), 0, 0);
    return names;
  }

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<CMainFrame> frame_;
};

LUMICARVE_UI_TEST_MAIN(WindowInputTest)
#include "window_input_test.moc"
