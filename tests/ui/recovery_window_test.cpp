// Recovering a scanned card through the window: the folder chooser, the
// files each command takes, and every written file compared with its
// original in tests/data.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "controls/tri_check_tree.h"
#include "results/ui/folder_view_pane.h"
#include "results/ui/lumicarve_view.h"
#include "shell/main_frame.h"
#include "shell/recovery_dialog.h"
#include "shell/recovery_flow.h"
#include "shell/recovery_target_dialog.h"
#include "recovery_driver.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

class RecoveryWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    out_ = dir_->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out_));
    frame_ = std::make_unique<CMainFrame>();
    frame_->show();
    const QString card = dir_->filePath(QStringLiteral("card.img"));
    QVERIFY(MakeCardImage(card, SampleCardFiles()));
    QVERIFY(frame_->openDiskImage(card));
    MessageBoxWatcher boxes;
    frame_->controlRequest(CMainFrame::kStartScan);
    QTRY_VERIFY_WITH_TIMEOUT(frame_->context().commandEnable[0] && !boxes.texts.isEmpty(), 30000);
    frame_->waitForScanThread();
  }
  void cleanup() { frame_.reset(); }

  void aCheckedMonthFolderIsRecoveredByteExactUnderItsDate() {
    QTreeWidgetItem* june2008 = frame_->folderPane()->tree()->topLevelItem(1)->child(0);
    QCOMPARE(june2008->text(0), QStringLiteral("June (1)"));
    frame_->folderPane()->tree()->setCheck(june2008, Qt::Checked);
    RecoveryDriver driver(out_);
    frame_->controlRequest(CMainFrame::kRecoverFiles);
    QVERIFY(driver.chooserSeen);
    QCOMPARE(driver.chooserTitle, QStringLiteral("Select destination folder"));
    QCOMPARE(driver.texts, QStringList(QStringLiteral("Extraction complete")));
    QCOMPARE(FilesBelow(out_), QStringList(QStringLiteral("2008/06/21/0001.JPG")));
    QCOMPARE(Sha256(out_ + QStringLiteral("/2008/06/21/0001.JPG")),
             Sha256(DataPath(QStringLiteral("make_in_model_canon.jpg"))));
  }

  void everyCheckedFolderIsRecoveredInScanOrderAndEachFileIsByteExact() {
    CTriCheckStateTreeCtrl* tree = frame_->folderPane()->tree();
    for (int i = 0; i < tree->topLevelItemCount(); ++i) tree->setCheck(tree->topLevelItem(i), Qt::Checked);
    RecoveryDriver driver(out_);
    frame_->controlRequest(CMainFrame::kRecoverFiles);
    QCOMPARE(driver.texts, QStringList(QStringLiteral("Extraction complete")));
    QStringList expected;
    for (const auto& [saved, original] : SampleCardSaved()) expected << saved;
    QCOMPARE(FilesBelow(out_), expected);
    for (const auto& [saved, original] : SampleCardSaved())
      QVERIFY2(Sha256(out_ + QLatin1Char('/') + saved) == Sha256(DataPath(original)), qPrintable(saved));
  }

  void withNothingCheckedTheSelectedListEntriesAreTakenAndOnlyThose() {
    CTriCheckStateTreeCtrl* tree = frame_->folderPane()->tree();
    QTreeWidgetItem* unsortedGroup = tree->topLevelItem(4)->child(0);
    tree->setCurrentItem(unsortedGroup);
    CLumicarveView* view = frame_->view();
    QCOMPARE(view->model()->rowCount(), 3);
    view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::Select);
    // The selected entry only, in both commands.
    QCOMPARE(CollectRecoveryFiles(*tree, *view, true).size(), size_t{1});
    QCOMPARE(CollectRecoveryFiles(*tree, *view, false).size(), size_t{1});
    view->selectionModel()->clearSelection();
    // Nothing selected: "Recover files" takes the current folder's files,
    // "Recover selected files" nothing.
    QCOMPARE(CollectRecoveryFiles(*tree, *view, false).size(), size_t{3});
    QCOMPARE(CollectRecoveryFiles(*tree, *view, true).size(), size_t{0});
    // A checked folder and a selected entry in it count each file once.
    tree->setCheck(unsortedGroup, Qt::Checked);
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::Select);
    const std::vector<FoundFile> files = CollectRecoveryFiles(*tree, *view, false);
    QCOMPARE(files.size(), size_t{3});
    QVERIFY(files[0].startSector < files[1].startSector && files[1].startSector < files[2].startSector);
  }

  void theListsRecoverSelectedFilesSavesOnlyTheSelectedEntry() {
    CTriCheckStateTreeCtrl* tree = frame_->folderPane()->tree();
    // A checked folder elsewhere does not count for this command.
    tree->setCheck(tree->topLevelItem(0), Qt::Checked);
    tree->setCurrentItem(tree->topLevelItem(4)->child(0));
    CLumicarveView* view = frame_->view();
    view->selectionModel()->select(view->model()->index(2, 0), QItemSelectionModel::Select);
    RecoveryDriver driver(out_);
    view->recoverSelectedFiles();
    QCOMPARE(driver.texts, QStringList(QStringLiteral("Extraction complete")));
    const QStringList written = FilesBelow(out_);
    QCOMPARE(written.size(), 1);
    QVERIFY(written.at(0).startsWith(QStringLiteral("unsorted/0001.")));
  }

  void recoverSelectedFilesWithNoSelectionSaysNothingIsSelected() {
    RecoveryDriver driver(out_);
    frame_->recoverFiles(true);
    QCOMPARE(driver.texts, QStringList(QStringLiteral("No files or folders selected")));
    QVERIFY(FilesBelow(out_).isEmpty());
  }

  void aDestinationThatIsNotAWritableFolderIsRefusedBeforeTheDialogOpens() {
    MessageBoxWatcher boxes;
    QVERIFY(!RecoverTo(dir_->filePath(QStringLiteral("missing")), {}, frame_->context(), frame_.get()));
    QCOMPARE(boxes.texts, QStringList(QStringLiteral("Invalid folder location")));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Critical);
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  QString out_;
  std::unique_ptr<CMainFrame> frame_;
};

LUMICARVE_UI_TEST_MAIN(RecoveryWindowTest)
#include "recovery_window_test.moc"
