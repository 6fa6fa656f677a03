// The file list: labels, append-only refreshes, month and day folders, the
// switch between small icons and thumbnails, and the context menu.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "browse_test_support.h"
#include "results/ui/lumicarve_view.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

FoundFile Sized(uint64_t length, const char* name = "00000012.JPG") {
  FoundFile f{};
  std::snprintf(f.name, sizeof f.name, "%s", name);
  f.length = length;
  return f;
}

QStringList Labels(const CLumicarveView& view) {
  QStringList labels;
  for (int i = 0; i < view.count(); ++i) labels << view.item(i)->text();
  return labels;
}

// A list over a card holding Kodak.jpg and, when given, one more file.
struct Listing {
  AppContext context;
  CLumicarveView view{&context};
  TestCard card;
  bool install(const char* second = nullptr, uint32_t type = 0, const char* ext = nullptr) {
    card.add(QStringLiteral("ui/Kodak.jpg"), FT_JPG);
    if (second) card.add(QString::fromLatin1(second), type, ext);
    return card.install(context);
  }
};

}  // namespace

class FileListTest : public QObject {
  Q_OBJECT

 private slots:
  void fileLabelsWriteTheSizeAsTheDeviceListAndThePreviewDo() {
    QCOMPARE(CLumicarveView::FileLabel(Sized(1)), QStringLiteral("00000012.JPG (1 byte)"));
    QCOMPARE(CLumicarveView::FileLabel(Sized(1573000)), QStringLiteral("00000012.JPG (1.6 MB)"));
  }

  void anAppendOnlyRefreshAddsExactlyTheNewEntry() {
    Listing l;
    QVERIFY(l.install("ui/plasma.gif", FT_GIF, "GIF"));
    l.view.RefreshList(l.card.files(), false);
    QCOMPARE(Labels(l.view), (QStringList{"00000001.JPG (3.4 KB)", "00000002.GIF (59 KB)"}));

    FoundFile late = Sized(2048, "00000003.AVI");
    late.type = FT_AVI;
    AppendToFolder(l.card.folder(), &late);
    ++l.card.folder().count;
    QSignalSpy inserted(l.view.listModel(), &QAbstractItemModel::rowsInserted);
    l.view.RefreshList(l.card.files(), true);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 2);
    QCOMPARE(l.view.count(), 3);
    // The entries already listed stay as they were.
    QCOMPARE(l.view.item(0)->file, l.card.file(0));
    QCOMPARE(l.view.item(1)->text(), QStringLiteral("00000002.GIF (59 KB)"));
    QCOMPARE(l.view.item(2)->text(), QStringLiteral("00000003.AVI (2.0 KB)"));
    QCOMPARE(l.view.item(2)->image, int(kImageVideo));
    QCOMPARE(l.view.item(2)->file, &late);
    QCOMPARE(l.view.item(0)->image, int(kImagePicture));
  }

  void aYearListsItsMonthsInCalendarOrderAndAMonthItsDays() {
    AppContext context;
    CLumicarveView view(&context);
    auto year = std::make_unique<YearRecord>();
    year->months[11].count = 2;
    year->months[3].count = 1;
    year->months[6].count = 4;
    view.RefreshList({NODE_YEAR, year.get()}, false);
    QCOMPARE(Labels(view), (QStringList{"March", "June", "November"}));
    for (int i = 0; i < view.count(); ++i) QCOMPARE(view.item(i)->image, int(kImageFolder));
    QCOMPARE(view.viewMode(), QListView::ListMode);

    MonthSlot& june = year->months[6];
    june.days[30].count = 1;
    june.days[2].count = 3;
    june.days[14].count = 1;
    view.RefreshList({NODE_MONTH, &june}, false);
    QCOMPARE(Labels(view), (QStringList{"2", "14", "30"}));
    // Unsorted groups are reached through the tree only.
    view.RefreshList({NODE_UNSORTED, year.get()}, false);
    QCOMPARE(view.count(), 0);
  }

  void showThumbnailsRebuildsTheListInTheOtherMode() {
    Listing l;
    QVERIFY(l.install("ui/plasma.png", FT_PNG, "PNG"));
    l.view.RefreshList(l.card.files(), false);
    QVERIFY(!l.view.thumbnailMode());
    QCOMPARE(l.view.iconSize(), QSize(16, 16));

    l.context.displayFlags = 1;
    l.view.RefreshList(l.card.files(), false);
    QVERIFY(l.view.thumbnailMode());
    QCOMPARE(l.view.viewMode(), QListView::IconMode);
    QCOMPARE(l.view.iconSize(), QSize(160, 120));
    QCOMPARE(Labels(l.view), (QStringList{"00000001.JPG (3.4 KB)", "00000002.PNG (144 KB)"}));
    QTRY_VERIFY(!l.view.workerRunning());
    QCOMPARE(l.context.activityFlags.load() & kActivityThumbnails, 0);

    l.context.displayFlags = 0;
    l.view.RefreshList(l.card.files(), false);
    QVERIFY(!l.view.thumbnailMode());
    QCOMPARE(l.view.viewMode(), QListView::ListMode);
    QCOMPARE(l.view.count(), 2);
  }

  void whileAScanRunsFilesAreListedWithSmallIcons() {
    Listing l;
    QVERIFY(l.install());
    l.context.displayFlags = 1 | 0x1000;
    l.view.RefreshList(l.card.files(), false);
    QVERIFY(!l.view.thumbnailMode());
    QVERIFY(!l.view.workerRunning());
    QCOMPARE(l.view.count(), 1);
  }

  void recoverSelectedFilesIsGrayedUnlessRecoveringIsOnAndAnEntryIsSelected() {
    Listing l;
    QVERIFY(l.install("ui/plasma.gif", FT_GIF, "GIF"));
    l.view.RefreshList(l.card.files(), false);
    auto recoverEnabled = [&l] {
      std::unique_ptr<QMenu> menu(l.view.makeContextMenu(nullptr));
      QStringList texts;
      for (QAction* a : menu->actions())
        if (!a->isSeparator()) texts << a->text();
      if (texts != QStringList{"Select all files", "Recover selected files"}) return -1;
      return menu->findChild<QAction*>(QStringLiteral("recoverSelectedFiles"))->isEnabled() ? 1 : 0;
    };
    l.context.commandEnable[1] = 1;
    QCOMPARE(recoverEnabled(), 0);  // nothing selected
    l.view.selectAllFiles();
    QCOMPARE(l.view.selectionModel()->selectedRows().size(), 2);
    QCOMPARE(recoverEnabled(), 1);
    l.context.commandEnable[1] = 0;
    QCOMPARE(recoverEnabled(), 0);

    QSignalSpy recover(&l.view, &CLumicarveView::recoverRequested);
    l.view.recoverSelectedFiles();
    QCOMPARE(recover.count(), 0);
    l.context.commandEnable[1] = 1;
    l.view.recoverSelectedFiles();
    QCOMPARE(recover.count(), 1);
  }

  void aDoubleClickOpensTheEntryUnderTheCursor() {
    AppContext context;
    CLumicarveView view(&context);
    auto year = std::make_unique<YearRecord>();
    year->months[2].count = 1;
    year->months[5].count = 1;
    view.RefreshList({NODE_YEAR, year.get()}, false);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy opened(&view, &CLumicarveView::entryOpened);
    const QRect second = view.visualRect(view.listModel()->index(1));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.at(0).at(0).toInt(), 1);
  }
};

LUMICARVE_UI_TEST_MAIN(FileListTest)
#include "file_list_test.moc"
