// The file-preview dialog: its length, date and camera texts, the picture
// copied from the device, the placeholder of a video, and the refusal while
// a scan runs.
#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "browse_test_support.h"
#include "controls/tri_check_tree.h"
#include "results/ui/file_preview_dialog.h"
#include "results/ui/folder_view_pane.h"
#include "results/ui/lumicarve_view.h"
#include "results/ui/pane_preview.h"
#include "results/ui/thumbnail_tiles.h"
#include "scan/filetime.h"
#include "results/temp_dir.h"
#include "shell/main_frame.h"
#include "ui_test_support.h"
#include "../scan/test_device.h"

using namespace lumicarve;
using namespace lumicarve::test;

class FilePreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

  void theTextsFollowTheirFormats() {
    QCOMPARE(PreviewLengthText(1263615, ','), QStringLiteral("1.3 MB (1,263,615 bytes)"));
    QCOMPARE(PreviewCameraText("Canon", "Canon EOS 5D"), QStringLiteral("Canon EOS 5D"));
    QCOMPARE(PreviewCameraText("FUJIFILM", "X100"), QStringLiteral("FUJIFILM X100"));
    QCOMPARE(PreviewCameraText("", "X100"), QStringLiteral("n/a"));
    QCOMPARE(PreviewCameraText("C", "X100"), QStringLiteral("n/a"));
    QCOMPARE(PreviewDateText(FiletimeAt(2008, 6, 21, 12, 0, 1)), QStringLiteral("6/21/08 12:00 PM"));
    // Zero is a record without a date; it is not shown as the year 1601.
    QCOMPARE(PreviewDateText(0), QStringLiteral("n/a"));
    QCOMPARE(PreviewDateText(~uint64_t{0}), QStringLiteral("n/a"));
  }

  void aJpegShowsItsCameraAndPictureAndGetsItsDate() {
    AppContext context;
    TestCard card;
    FoundFile* canon = card.add(QStringLiteral("ui/make_in_model_canon.jpg"), FT_JPG);
    FoundFile* fuji = card.add(QStringLiteral("ui/make_not_in_model_fuji.jpg"), FT_JPG);
    FoundFile* plain = card.add(QStringLiteral("ui/jfif_only_no_exif.jpg"), FT_JPG);
    QVERIFY(card.install(context));

    FilePreviewDialog dialog(&context, canon, nullptr);
    QCOMPARE(dialog.nameText(), QStringLiteral("00000001.JPG"));
    QCOMPARE(dialog.lengthText(), QStringLiteral("125 KB (125,248 bytes)"));
    QCOMPARE(dialog.cameraText(), QStringLiteral("Canon EOS 5D"));
    // The date the EXIF step finds shows the next time the dialog opens.
    QCOMPARE(dialog.dateText(), QStringLiteral("n/a"));
    QCOMPARE(canon->date, FiletimeAt(2008, 6, 21, 12, 0, 1));
    const QImage shown = dialog.pictureBox()->image();
    const QSize box = dialog.pictureBox()->size();
    QCOMPARE(shown.size(), box);
    const QRect fitted = FitPicture(1024, 768, box.width(), box.height());
    QVERIFY(shown.pixel(fitted.center()) != qRgb(0, 0, 0));
    if (fitted.top() > 0) QCOMPARE(shown.pixel(box.width() / 2, 0), qRgb(0, 0, 0));
    QCOMPARE(FilePreviewDialog(&context, canon, nullptr).dateText(),
             QStringLiteral("6/21/08 12:00 PM"));

    QCOMPARE(FilePreviewDialog(&context, fuji, nullptr).cameraText(),
             QStringLiteral("FUJIFILM X100"));
    QCOMPARE(FilePreviewDialog(&context, plain, nullptr).cameraText(), QStringLiteral("n/a"));
    QCOMPARE(plain->date, uint64_t{0});
  }

  void aVideoShowsTheFilmStripWithoutAnyTempCopy() {
    AppContext context;
    TestCard card;
    FoundFile* video = card.add(QStringLiteral("generated/video/video.avi"), FT_AVI, "AVI");
    QVERIFY(card.install(context));
    const QStringList before = QDir(QString::fromStdString(PrivateTempDir())).entryList(QDir::Files);
    FilePreviewDialog dialog(&context, video, nullptr);
    const QImage shown = dialog.pictureBox()->image();
    const QImage strip = FilmStripPlaceholder();
    const QPoint at((shown.width() - strip.width()) / 2, (shown.height() - strip.height()) / 2);
    QCOMPARE(shown.copy(QRect(at, strip.size())).convertToFormat(QImage::Format_RGB32), strip);
    QCOMPARE(QDir(QString::fromStdString(PrivateTempDir())).entryList(QDir::Files), before);
    QCOMPARE(dialog.cameraText(), QStringLiteral("n/a"));
  }

  void anUnreadableFileKeepsTheBoxButShowsTheTexts() {
    AppContext context;
    TestCard card;
    FoundFile* jpeg = card.add(QStringLiteral("ui/make_in_model_canon.jpg"), FT_JPG);
    QVERIFY(card.install(context));
    SetReadFaults({{jpeg->startSector + 1, jpeg->startSector + 1, EIO}});
    FilePreviewDialog dialog(&context, jpeg, nullptr);
    ClearReadFaults();
    QVERIFY(dialog.pictureBox()->image().isNull());
    QCOMPARE(dialog.nameText(), QStringLiteral("00000001.JPG"));
    QCOMPARE(dialog.cameraText(), QStringLiteral("n/a"));
  }

  void openingAFileEntryShowsTheDialogOrRefusesDuringAScan() {
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("card.img"));
    CMainFrame frame;
    frame.show();
    QVERIFY(ScanSampleCard(frame, image));
    QTreeWidget* tree = frame.folderPane()->tree();
    tree->setCurrentItem(tree->topLevelItem(1)->child(0)->child(0));  // 2008, June, 21
    QCOMPARE(frame.view()->count(), 1);

    QString opened;
    QTimer::singleShot(50, &frame, [&] {
      auto* dialog = qobject_cast<FilePreviewDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      opened = dialog->nameText() + QLatin1Char('|') + dialog->cameraText();
      dialog->accept();
    });
    frame.OpenListEntry(0);
    QCOMPARE(opened, QStringLiteral("00000003.JPG|Canon EOS 5D"));

    frame.context().scanState.store(SCAN_RUNNING);
    MessageBoxWatcher boxes;
    frame.OpenListEntry(0);
    frame.context().scanState.store(SCAN_DONE);
    QCOMPARE(boxes.texts,
             QStringList(QStringLiteral("File preview not available while drive is being scanned.")));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Warning);
  }
};

LUMICARVE_UI_TEST_MAIN(FilePreviewTest)
#include "file_preview_test.moc"
