// Thumbnails: the tile geometry, the tiles of damaged, unreadable and video
// files, the workers' stop when another folder is selected or the view
// goes, a scan start that stops them, the bound on decoded tiles held, and the switch
// to pictures when a scan ends.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSet>
#include <QSettings>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <utility>

#include "browse_test_support.h"

#include "controls/tri_check_tree.h"
#include "shell/control_pane.h"
#include "results/ui/folder_view_pane.h"
#include "results/ui/file_preview_dialog.h"
#include "results/ui/lumicarve_view.h"
#include "results/ui/pane_preview.h"
#include "results/ui/picture_decode.h"
#include "results/ui/thumbnail_tiles.h"
#include "results/ui/thumbnail_worker.h"
#include "results/temp_dir.h"
#include "shell/main_frame.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

const QRgb kSilver = qRgb(192, 192, 192);
const QString kBig = QStringLiteral("generated/image/big_4000x3000_exif_thumb.jpg");

int RedPixels(const QImage& tile, QRect area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      QColor c = tile.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++n;
    }
  return n;
}

QImage TileOf(const CLumicarveView& view, int row) {
  return view.item(row)->tile.toImage().convertToFormat(QImage::Format_RGB32);
}

// True when a decoded picture covers `area`: nearly every pixel is neither
// the tile's white nor the red of its error text, and the colours vary.
bool ShowsAPicture(const QImage& image, QRect area) {
  int plain = 0;
  QSet<QRgb> colours;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      plain += c == Qt::white || c == Qt::black || (c.red() > 200 && c.green() < 80 && c.blue() < 80);
      colours.insert(c.rgb());
    }
  return plain * 20 < area.width() * area.height() && colours.size() > 100;
}

QStringList TempCopies() {
  return QDir(QString::fromStdString(PrivateTempDir())).entryList({QStringLiteral("temp2*")});
}

}  // namespace

class ThumbnailTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ClearReadFaults();
    // Each case starts from the first run's settings: the switches are kept.
    QSettings(QStringLiteral("Lumicarve"), QStringLiteral("Lumicarve")).clear();
  }
  void cleanup() { ClearReadFaults(); }

  void picturesAreFittedIntoTheTileAndCentred() {
    QCOMPARE(TileGeometry(4000, 3000), QRect(0, 0, 160, 120));
    QCOMPARE(TileGeometry(3000, 4000), QRect(35, 0, 90, 120));
    QCOMPARE(TileGeometry(100, 80), QRect(30, 20, 100, 80));
    QCOMPARE(TileGeometry(200, 190), QRect(0, -16, 160, 152));

    QImage small(100, 80, QImage::Format_RGB32);
    small.fill(Qt::blue);
    QImage tile = MakeTile(small, 100, 80);
    QCOMPARE(tile.size(), QSize(160, 120));
    QCOMPARE(tile.pixel(80, 60), qRgb(0, 0, 255));
    QCOMPARE(tile.pixel(30, 20), qRgb(0, 0, 255));
    QCOMPARE(tile.pixel(29, 60), qRgb(255, 255, 255));  // not enlarged
    QCOMPARE(tile.pixel(0, 0), kSilver);
    QCOMPARE(tile.pixel(159, 119), kSilver);
    // Fitted by width: the middle rows of a 200 x 190 picture fill the tile.
    QImage tall(200, 190, QImage::Format_RGB32);
    tall.fill(Qt::green);
    tile = MakeTile(tall.scaled(160, 152), 200, 190);
    QCOMPARE(tile.pixel(80, 1), qRgb(0, 255, 0));
    QCOMPARE(tile.pixel(80, 118), qRgb(0, 255, 0));
  }

  void damagedUnreadableAndVideoFilesGetHonestTiles() {
    AppContext context;
    context.displayFlags = 1;
    CLumicarveView view(&context);
    TestCard card;
    card.add(QStringLiteral("generated/image/damaged_entropy.jpg"), FT_JPG);
    FoundFile* unreadable = card.add(QStringLiteral("ui/make_in_model_canon.jpg"), FT_JPG);
    card.add(QStringLiteral("generated/video/video.avi"), FT_AVI, "AVI");
    card.add(QStringLiteral("corpus/Kodak.jpg"), FT_CR2, "CR2");  // RAW without a preview
    card.add(QStringLiteral("ui/make_not_in_model_fuji.jpg"), FT_JPG);
    QVERIFY(card.install(context));
    SetReadFaults({{unreadable->startSector + 3, unreadable->startSector + 3, EIO}});
    const QStringList before = TempCopies();

    QSignalSpy changed(view.listModel(), &QAbstractItemModel::dataChanged);
    QSignalSpy shown(&view, &CLumicarveView::tileShown);
    view.RefreshList(card.files(), false);
    QCOMPARE(view.count(), 5);
    // All five entries exist at once, each with the blank tile.
    QCOMPARE(TileOf(view, 4), BlankTile());
    QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 5, 20000);
    QTRY_VERIFY(!view.workerRunning());
    QCOMPARE(context.activityFlags.load() & kActivityThumbnails, 0);

    const QImage invalid = MakeTile(QImage(), 0, 0);
    QVERIFY(RedPixels(invalid, QRect(1, 1, 158, 30)) > 20);
    QCOMPARE(TileOf(view, 0), invalid);  // corrupt entropy data
    QCOMPARE(TileOf(view, 1), invalid);  // a sector that cannot be read
    QCOMPARE(TileOf(view, 2), FilmStripPlaceholder());
    QCOMPARE(TileOf(view, 3), CameraPlaceholder());
    const QImage good = TileOf(view, 4);
    QVERIFY(good != invalid);
    QVERIFY(good != BlankTile());
    QVERIFY(good.pixel(80, 60) != qRgb(255, 255, 255));
    if (qEnvironmentVariableIsSet("LUMICARVE_TILES"))
      for (int i = 0; i < 5; ++i)
        TileOf(view, i).save(qEnvironmentVariable("LUMICARVE_TILES") + QString::number(i) + ".png");
    // Each tile repainted its own entry alone.
    QCOMPARE(changed.count(), 5);
    for (const QList<QVariant>& args : changed)
      QCOMPARE(args.at(0).toModelIndex(), args.at(1).toModelIndex());
    QCOMPARE(TempCopies(), before);
  }

  void selectingAnotherFolderStopsTheWorkerBeforeItsNextPicture() {
    AppContext context;
    context.displayFlags = 1;
    CLumicarveView view(&context);
    TestCard card;
    for (int i = 0; i < 12; ++i) card.add(kBig, FT_JPG);
    QVERIFY(card.install(context));
    QSignalSpy shown(&view, &CLumicarveView::tileShown);
    view.RefreshList(card.files(), false);
    QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 1, 20000);
    const int made = view.tilesMade();

    auto year = std::make_unique<YearRecord>();
    year->months[4].count = 1;
    view.RefreshList({NODE_YEAR, year.get()}, false);
    QVERIFY(!view.workerRunning());
    QCOMPARE(context.activityFlags.load() & kActivityThumbnails, 0);
    const int shownAtStop = shown.count();
    // The stopped workers end on their own; whatever they made goes nowhere.
    ThumbnailPool().waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(shown.count(), shownAtStop);
    QCOMPARE(view.tilesMade(), made);
    QCOMPARE(view.count(), 1);

    // Back in the files folder new workers start from the first files, one
    // each, so the first tile back is one of them.
    view.RefreshList(card.files(), false);
    QTRY_VERIFY_WITH_TIMEOUT(shown.count() > shownAtStop, 20000);
    QVERIFY(shown.at(shownAtStop).at(0).toInt() < ThumbnailPool().maxThreadCount());
    view.StopThumbnails();
  }

  void aViewDestroyedWhileItsWorkersDecodeIsNeverTouchedAgain() {
    AppContext context;
    context.displayFlags = 1;
    auto view = std::make_unique<CLumicarveView>(&context);
    TestCard card;
    for (int i = 0; i < 8; ++i) card.add(kBig, FT_JPG);
    QVERIFY(card.install(context));
    QSignalSpy shown(view.get(), &CLumicarveView::tileShown);
    view->RefreshList(card.files(), false);
    QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 1, 20000);
    view.reset();
    ThumbnailPool().waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(context.activityFlags.load() & kActivityThumbnails, 0);
  }

  void startingAScanStopsTheWorkers() {
    TestCard card;
    for (int i = 0; i < 8; ++i) card.add(kBig, FT_JPG);
    QVERIFY(card.write());
    CMainFrame frame;
    frame.show();
    QVERIFY(frame.openDiskImage(card.imagePath()));
    frame.context().scannedDeviceIndex = frame.context().selectedDeviceIndex;
    frame.context().displayFlags = 1;
    QSignalSpy shown(frame.view(), &CLumicarveView::tileShown);
    frame.view()->RefreshList(card.files(), false);
    QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 1, 20000);
    QVERIFY(frame.view()->workerRunning());

    bool busyDuringScan = true;
    bool checked = false;
    connect(frame.folderPane()->tree()->model(), &QAbstractItemModel::rowsInserted, &frame, [&] {
      if (checked || frame.context().scanState.load() != SCAN_RUNNING) return;
      checked = true;
      busyDuringScan = frame.context().activityFlags.load() & kActivityThumbnails;
    });
    MessageBoxWatcher boxes;
    frame.controlRequest(CMainFrame::kStartScan);
    QVERIFY(!frame.view()->workerRunning());
    QTRY_VERIFY_WITH_TIMEOUT(frame.context().scanState.load() != SCAN_RUNNING && !boxes.texts.isEmpty(),
                             60000);
    frame.waitForScanThread();
    QVERIFY(checked);
    QVERIFY(!busyDuringScan);
    QVERIFY(boxes.texts.at(0).startsWith(QStringLiteral("Scan completed.\n8 files found")));
  }

  void theShowThumbnailsSwitchTurnsAScannedFolderIntoPictures() {
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("card.img"));
    CMainFrame frame;
    frame.resize(1100, 760);
    frame.show();
    QVERIFY(ScanSampleCard(frame, image));
    QTreeWidget* tree = frame.folderPane()->tree();
    tree->expandAll();
    tree->setCurrentItem(tree->topLevelItem(4)->child(0));  // unsorted, 1 (3)
    QVERIFY(!frame.view()->thumbnailMode());
    QSignalSpy shown(frame.view(), &CLumicarveView::tileShown);
    frame.controlPane()->thumbnailSwitch()->click();
    QVERIFY(frame.view()->thumbnailMode());
    QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 3, 20000);
    for (int row = 0; row < 3; ++row) {
      const QImage tile = TileOf(*frame.view(), row);
      QVERIFY(tile != BlankTile());
      QVERIFY(tile != MakeTile(QImage(), 0, 0));
    }
    if (qEnvironmentVariableIsSet("LUMICARVE_SCREENSHOT")) {
      QTest::qWait(200);
      QVERIFY(frame.grab().save(qEnvironmentVariable("LUMICARVE_SCREENSHOT")));
    }
  }

  // HEIC and AVIF decode through libheif, CR3 and RAF through their embedded
  // JPEGs, WebP through Qt's plugin; the preview dialog shows the HEIC too.
  void theNewPictureTypesGetTilesOfTheirPicturesAndTheHeicItsPreview() {
    QTemporaryDir dir;
    CMainFrame frame;
    frame.resize(1100, 760);
    frame.show();
    QVERIFY(ScanSampleCard(frame, dir.filePath(QStringLiteral("card.img")),
                           {"../formats/complete.heic", "../formats/complete.avif", "../formats/preview.cr3",
                            "../formats/preview.raf", "../formats/complete.webp"}));
    QTreeWidget* tree = frame.folderPane()->tree();
    tree->expandAll();
    CLumicarveView* view = frame.view();
    auto click = [&](QTreeWidgetItem* item) {
      tree->scrollToItem(item);
      const QRect r = tree->visualItemRect(item);
      QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(r.right() - 4, r.center().y()));
    };
    // Each folder of files in turn (the new types may be dated or not).
    QMap<QString, QImage> tiles;  // by extension
    QTreeWidgetItem* heicFolder = nullptr;
    int heicRow = -1;
    for (QTreeWidgetItemIterator leaf(tree, QTreeWidgetItemIterator::NoChildren); *leaf; ++leaf) {
      click(*leaf);
      QCOMPARE(tree->currentItem(), *leaf);
      if (!view->thumbnailMode()) QTest::mouseClick(frame.controlPane()->thumbnailSwitch(), Qt::LeftButton);
      QVERIFY(view->thumbnailMode());
      auto made = [&] {
        for (int row = 0; row < view->count(); ++row)
          if (TileOf(*view, row) == BlankTile()) return false;
        return true;
      };
      QTRY_VERIFY_WITH_TIMEOUT(made(), 20000);
      for (int row = 0; row < view->count(); ++row) {
        const QString ext = view->item(row)->text().section(QLatin1Char('.'), 1).section(QLatin1Char(' '), 0, 0);
        tiles[ext] = TileOf(*view, row);
        if (ext == QStringLiteral("HEIC")) heicFolder = *leaf, heicRow = row;
      }
    }
    QCOMPARE(tiles.keys(), (QStringList{"AVIF", "CR3", "HEIC", "RAF", "WEBP"}));
    for (auto it = tiles.cbegin(); it != tiles.cend(); ++it)
      QVERIFY2(ShowsAPicture(*it, QRect(1, 1, 158, 118)), qPrintable(it.key()));

    // The HEIC's entry opened with a double click.
    click(heicFolder);
    QImage shown;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
      if (auto* dialog = qobject_cast<FilePreviewDialog*>(QApplication::activeModalWidget())) {
        shown = dialog->pictureBox()->image();
        dialog->accept();
      }
    });
    poll.start(20);
    // The list lays its entries out once events run.
    QTRY_VERIFY(view->indexAt(view->visualRect(view->listModel()->index(heicRow)).center()).row() == heicRow);
    const QRect entry = view->visualRect(view->listModel()->index(heicRow));
    // A widget's double click comes as a click and then the double-click event.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, entry.center());
    QVERIFY(!shown.isNull());
    QVERIFY(ShowsAPicture(shown, QRect(shown.rect().center() - QPoint(75, 55), QSize(150, 110))));
  }

  void damagedHeifBytesDecodeToNothingOrAPictureOfTheBoxSize() {
    for (const auto& [name, type] :
         {std::pair{"formats/complete.heic", FT_HEIC}, std::pair{"formats/complete.avif", FT_AVIF}}) {
      QFile in(QStringLiteral(LUMICARVE_TEST_DATA "/") + QLatin1String(name));
      QVERIFY(in.open(QIODevice::ReadOnly));
      const QByteArray whole = in.readAll();
      const DecodedPicture good = DecodePicture(whole, static_cast<uint32_t>(type), 80, 80);
      QCOMPARE(QSize(good.width, good.height), QSize(160, 120));
      QCOMPARE(good.image.size(), QSize(80, 60));
      QVERIFY(DecodePicture(whole, FT_JPG, 80, 80).image.isNull());
      std::vector<QByteArray> damaged;
      for (int cut : {0, 12, 40, 200, static_cast<int>(whole.size() / 2), static_cast<int>(whole.size() - 1)})
        damaged.push_back(whole.left(cut));
      for (int step : {7, 31, 97}) {
        QByteArray flipped = whole;
        for (int i = step; i < flipped.size(); i += step) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
        damaged.push_back(flipped);
      }
      for (const QByteArray& bytes : damaged)
        for (uint32_t type : {FT_HEIC, FT_AVIF}) {
          const DecodedPicture picture = DecodePicture(bytes, type, 80, 80);
          QVERIFY(picture.image.isNull() || (picture.image.width() <= 80 && picture.image.height() <= 80));
        }
    }
  }

  void theQueueStartsWorkersUpToThePoolSizeAndSkipsRowsOnTheirWay() {
    ThumbnailQueue queue(std::vector<FoundFile>(5));
    ThumbnailJob job;
    bool last = false;
    QCOMPARE(queue.schedule({}, 2), 0);
    QCOMPARE(queue.schedule({3}, 2), 1);  // one row: one worker
    QCOMPARE(queue.schedule({3, 1, 4, 9, -1}, 2), 1);  // more rows: a second, never a third
    QVERIFY(queue.take(job, last));
    QCOMPARE(job.row, 3);
    QCOMPARE(queue.schedule({3, 0}, 2), 0);  // the view moved: 3 is on its way, 0 waits
    QVERIFY(queue.take(job, last));
    QCOMPARE(job.row, 0);
    QVERIFY(!queue.take(job, last));  // none left: one worker ends, the other is still taking
    QVERIFY(!last);
    QVERIFY(queue.busy());
    QVERIFY(!queue.take(job, last));
    QVERIFY(last);
    QCOMPARE(queue.schedule({3, 2}, 2), 1);
    QVERIFY(queue.take(job, last));
    QCOMPARE(job.row, 2);
    queue.landed(3);
    queue.dropped(2);  // a worker stopped before the tile: 2 may be asked again
    QVERIFY(queue.leave());
    QCOMPARE(queue.schedule({3, 2}, 2), 2);
  }

  void aLargeFolderHoldsNoMoreTilesThanTheBoundAndRemakesThoseScrolledBackTo() {
    AppContext context;
    context.displayFlags = 1;
    CLumicarveView view(&context);
    const int bound = 6;
    view.setTileLimitForTest(bound);
    view.resize(400, 220);  // two columns, about two lines of tiles in view
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    TestCard card;
    for (int i = 0; i < 40; ++i) card.add(QStringLiteral("ui/make_not_in_model_fuji.jpg"), FT_JPG);
    QVERIFY(card.install(context));

    QSignalSpy shown(&view, &CLumicarveView::tileShown);
    view.RefreshList(card.files(), false);
    QCOMPARE(view.count(), 40);
    const qint64 blank = view.item(39)->tile.cacheKey();
    auto isMade = [&](int row) { return view.item(row)->tile.cacheKey() != blank; };
    auto held = [&] {
      int n = 0;
      for (int row = 0; row < view.count(); ++row) n += isMade(row);
      return n;
    };
    int mostHeld = 0;
    connect(view.listModel(), &QAbstractItemModel::dataChanged, &view,
            [&] { mostHeld = std::max(mostHeld, held()); });
    auto settled = [&] { return !view.workerRunning() && shown.count() == view.tilesMade(); };

    // At the top only the first rows are made; the far ones stay blank.
    QTRY_VERIFY_WITH_TIMEOUT(shown.count() == bound && settled(), 20000);
    QTest::qWait(150);
    QCOMPARE(view.tilesMade(), bound);
    for (int row = 0; row < 40; ++row) QCOMPARE(isMade(row), row < bound);

    // At the bottom the rows in view come first, and the top ones are let go.
    const int before = shown.count();
    view.scrollToBottom();
    QTRY_VERIFY_WITH_TIMEOUT(isMade(39) && isMade(38) && settled(), 20000);
    const int firstAfterScroll = shown.at(before).at(0).toInt();
    QVERIFY(view.visualRect(view.listModel()->index(firstAfterScroll)).intersects(view.viewport()->rect()));
    QCOMPARE(view.tilesMade(), 2 * bound);
    QVERIFY(!isMade(0));
    QCOMPARE(held(), bound);
    QCOMPARE(view.tilesHeld(), bound);

    // Back at the top the evicted rows are made again.
    view.scrollToTop();
    QTRY_VERIFY_WITH_TIMEOUT(isMade(0) && isMade(1) && settled(), 20000);
    QVERIFY(!isMade(39));
    QCOMPARE(held(), bound);
    QCOMPARE(mostHeld, bound);
    QCOMPARE(context.activityFlags.load() & kActivityThumbnails, 0);
  }

  void aFilesFolderSelectedDuringTheScanShowsItsPicturesWhenTheScanEnds() {
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("card.img"));
    QVERIFY(MakeCardImage(image, SampleCardFiles()));
    CMainFrame frame;
    frame.resize(1100, 760);
    frame.show();
    QVERIFY(frame.openDiskImage(image));
    QCheckBox* thumbnails = frame.controlPane()->thumbnailSwitch();
    if (!thumbnails->isChecked()) thumbnails->click();
    QCOMPARE(frame.context().displayFlags, 1);

    // The completion report holds the scan's end: the day is selected while
    // it shows, as a user would during the scan.
    QTreeWidget* tree = frame.folderPane()->tree();
    bool smallIconsBeforeTheEnd = false;
    QTimer report;
    connect(&report, &QTimer::timeout, &frame, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      report.stop();
      tree->expandAll();
      tree->setCurrentItem(tree->topLevelItem(4)->child(0));  // unsorted, 1 (3)
      smallIconsBeforeTheEnd = !frame.view()->thumbnailMode() && frame.view()->count() == 3;
      box->accept();
    });
    report.start(20);
    QSignalSpy shown(frame.view(), &CLumicarveView::tileShown);
    frame.controlRequest(CMainFrame::kStartScan);
    QTRY_VERIFY_WITH_TIMEOUT(!report.isActive() && frame.context().scanState.load() != SCAN_RUNNING,
                             30000);
    frame.waitForScanThread();
    QVERIFY(smallIconsBeforeTheEnd);
    QVERIFY(frame.view()->thumbnailMode());
    QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 3, 20000);
    QVERIFY(TileOf(*frame.view(), 0) != BlankTile());

    // A year selected at the end keeps its months.
    tree->setCurrentItem(tree->topLevelItem(0));
    QVERIFY(!frame.view()->thumbnailMode());
  }
};

LUMICARVE_UI_TEST_MAIN(ThumbnailTest)
#include "thumbnail_test.moc"
