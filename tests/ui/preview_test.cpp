// The pane preview: fitting, the picture with its name, the JPEG's capture
// date read from the device, undecodable input, the pacing of a burst; and
// the manual's error.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "controls/transparent_static.h"
#include "shell/control_pane.h"
#include "recovery/jpeg_exif_date.h"
#include "results/ui/exif_reader.h"
#include "results/ui/pane_preview.h"
#include "scan/filetime.h"
#include "scan/formats/capture_date.h"
#include "shell/app_context.h"
#include "shell/application.h"
#include "shell/main_frame.h"
#include "../scan/test_device.h"
#include "ui_test_support.h"

using namespace lumicarve;
using namespace lumicarve::test;

namespace {

const QRgb kFrameGrey = qRgb(0xB0, 0xB0, 0xB0);

FoundFile Jpeg() {
  FoundFile f{};
  std::snprintf(f.name, sizeof f.name, "%s", "00000012.JPG");
  f.type = FT_JPG;
  return f;
}

// A device holding the picture `source` from its first sector; with `kept`,
// only its first `kept` bytes, zeros after them.
struct PictureDevice {
  explicit PictureDevice(const QString& source, qsizetype kept = -1) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return;
    QByteArray bytes = in.readAll();
    length = static_cast<uint64_t>(bytes.size());
    if (kept >= 0 && kept < bytes.size()) std::fill(bytes.begin() + kept, bytes.end(), '\0');
    fd = test::MakeDevice(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
  ~PictureDevice() {
    if (fd >= 0) ::close(fd);
  }
  int fd = -1;
  uint64_t length = 0;
};

// Hands the device's picture to the pacer as found `count` times in a row.
std::vector<FoundFile> FindBurst(PanePreviewPacer& pacer, const PictureDevice& device, int count) {
  std::vector<FoundFile> files(count, Jpeg());
  for (int i = 0; i < count; ++i) {
    std::snprintf(files[i].name, sizeof files[i].name, "%08d.JPG", i + 1);
    files[i].length = device.length;
    pacer.pictureFound(device.fd, files[i]);
  }
  return files;
}

// What a box of `size` shows for `file` read from `device` on its own.
QImage PaintedAlone(QSize size, const PictureDevice& device, const FoundFile& file) {
  return RenderPreview(device.fd, file, size.width(), size.height());
}

bool HasWhite(const QImage& image, QRect area) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixel(x, y) == qRgb(255, 255, 255)) return true;
  return false;
}

}  // namespace

class PreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    box_ = std::make_unique<CImagePreviewStatic>();
    box_->resize(450, 325);
  }

  void picturesAreFittedWithoutEverBeingEnlarged() {
    QCOMPARE(FitPicture(4000, 3000, 450, 325), QRect(0, -6, 450, 337));
    QCOMPARE(FitPicture(3000, 4000, 450, 325), QRect(103, 0, 243, 325));
    QCOMPARE(FitPicture(200, 100, 450, 325), QRect(125, 112, 200, 100));
    QCOMPARE(FitPicture(0, 0, 450, 325), QRect(0, 0, 450, 325));
    QCOMPARE(FitPicture(2000000000, 3, 450, 325), QRect(0, 162, 450, 0));
  }

  void aJpegIsShownWithItsNameAndDatedFromTheDevice() {
    PictureDevice device(DataPath("make_in_model_canon.jpg"));
    FoundFile file = Jpeg();
    file.length = device.length;
    QVERIFY(DateJpegFromExif(device.fd, file));
    box_->setImage(RenderPreview(device.fd, file, box_->width(), box_->height()));
    CalendarTime t;
    QVERIFY(FiletimeToCalendar(file.date, t));
    QCOMPARE(QList<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
             QList<int>({2008, 6, 21, 12, 0, 1}));
    QImage shown = box_->image();
    QCOMPARE(shown.size(), QSize(450, 325));
    QCOMPARE(shown.pixel(0, 0), kFrameGrey);
    QCOMPARE(shown.pixel(449, 324), kFrameGrey);
    // The name in white at the top left; the picture fills the middle.
    QVERIFY(HasWhite(shown, QRect(5, 5, 100, 16)));
    QVERIFY(shown.pixel(225, 200) != qRgb(0, 0, 0));
  }

  void anUndecodablePictureGivesABlackBoxWithFrameAndName() {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("bad.JPG"));
    QFile bad(path);
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("\xFF\xD8\xFF\xE1\x00\x10not a picture at all");
    bad.close();
    PictureDevice device(path);
    FoundFile file = Jpeg();
    file.length = device.length;
    QVERIFY(!DateJpegFromExif(device.fd, file));
    const QImage shown = RenderPreview(device.fd, file, box_->width(), box_->height());
    QCOMPARE(shown.pixel(0, 0), kFrameGrey);
    QCOMPARE(shown.pixel(225, 200), qRgb(0, 0, 0));
    QVERIFY(HasWhite(shown, QRect(5, 5, 100, 16)));
    QCOMPARE(file.date, uint64_t{0});
  }

  void damagedExifYieldsNoFieldsInsteadOfAnException() {
    QFile in(DataPath("Kodak.jpg"));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QByteArray bytes = in.readAll();
    // Cut inside the EXIF block, and a second copy with its IFD offset spoiled.
    for (int variant = 0; variant < 2; ++variant) {
      QByteArray damaged = variant == 0 ? bytes.left(200) : bytes;
      if (variant == 1) damaged[16] = '\x7F';
      const auto* data = reinterpret_cast<const uint8_t*>(damaged.constData());
      const auto size = static_cast<size_t>(damaged.size());
      uint64_t date = 0;
      QVERIFY(!JpegExifDate(data, size, date));
      QVERIFY(ReadExifFields(data, size).model.empty());
    }
    QFile canon(DataPath("make_in_model_canon.jpg"));
    QVERIFY(canon.open(QIODevice::ReadOnly));
    const QByteArray canonBytes = canon.readAll();
    ExifFields good = ReadExifFields(reinterpret_cast<const uint8_t*>(canonBytes.constData()),
                                     static_cast<size_t>(canonBytes.size()));
    QCOMPARE(QString::fromStdString(good.make), QStringLiteral("Canon"));
    QCOMPARE(QString::fromStdString(good.model), QStringLiteral("Canon EOS 5D"));
  }

  void aBurstOfFoundPicturesIsPaintedOnceAndThenItsLastPictureReadFromTheDevice() {
    AppContext context;
    PanePreviewPacer pacer(*box_, context);
    const QString source = DataPath("make_in_model_canon.jpg");
    PictureDevice device(source);
    QVERIFY(device.fd >= 0);
    const std::vector<FoundFile> files = FindBurst(pacer, device, 300);
    // The first picture is decoded at once; the rest wait for the timer,
    // which shows only the one found last.
    QElapsedTimer clock;
    clock.start();
    QTRY_COMPARE(pacer.paints(), 2);
    QVERIFY(clock.elapsed() <= PanePreviewPacer::kIntervalMs + 1000);
    QCOMPARE(box_->image(), PaintedAlone(box_->size(), device, files.back()));
    QTest::qWait(2 * PanePreviewPacer::kIntervalMs);
    QCOMPARE(pacer.paints(), 2);
  }

  // A camera picture with a 160 x 120 EXIF thumbnail, in a box where it is
  // drawn 240 x 180: while the scan runs the thumbnail stands in, read from
  // the file's first sectors alone; the scan's end draws the picture whole.
  void aScanShowsTheCameraThumbnailFromTheFileHeadAndItsEndThePictureWhole() {
    const QString source = QStringLiteral(LUMICARVE_TEST_DATA "/generated/image/big_4000x3000_exif_thumb.jpg");
    box_->resize(240, 180);
    PictureDevice device(source);
    PictureDevice headOnly(source, kJpegExifHeadBytes);
    FoundFile file = Jpeg();
    file.length = device.length;
    const QImage quick = RenderPreview(headOnly.fd, file, 240, 180, PreviewDetail::kQuick);
    QCOMPARE(quick, RenderPreview(device.fd, file, 240, 180, PreviewDetail::kQuick));
    QVERIFY(quick.pixel(120, 90) != qRgb(0, 0, 0));
    // The head alone does not decode whole: the quick preview read no more.
    QCOMPARE(RenderPreview(headOnly.fd, file, 240, 180).pixel(120, 90), qRgb(0, 0, 0));
    const QImage whole = PaintedAlone(box_->size(), device, file);
    QVERIFY(whole != quick);
    // A larger box would enlarge the thumbnail more than twice: the picture is read whole.
    QCOMPARE(RenderPreview(device.fd, file, 450, 325, PreviewDetail::kQuick), PaintedAlone({450, 325}, device, file));

    AppContext context;
    PanePreviewPacer pacer(*box_, context);
    pacer.pictureFound(device.fd, file);
    QTRY_COMPARE(pacer.paints(), 1);
    QCOMPARE(box_->image(), quick);
    pacer.flush();
    QTRY_COMPARE(pacer.paints(), 2);
    QCOMPARE(box_->image(), whole);
    pacer.flush();  // drawn whole already: nothing more to draw
    QTest::qWait(2 * PanePreviewPacer::kIntervalMs);
    QCOMPARE(pacer.paints(), 2);
  }

  void aHeldPictureShowsAtFlushAndNotAfterThePreviewIsSwitchedOff() {
    AppContext context;
    PanePreviewPacer pacer(*box_, context);
    const QString source = DataPath("make_not_in_model_fuji.jpg");
    PictureDevice device(source);
    std::vector<FoundFile> files = FindBurst(pacer, device, 3);
    pacer.flush();  // the scan's end
    QTRY_COMPARE(pacer.paints(), 2);
    QCOMPARE(box_->image(), PaintedAlone(box_->size(), device, files.back()));

    ClearPanePreview(*box_);
    const QImage cleared = box_->image();
    QTest::qWait(2 * PanePreviewPacer::kIntervalMs);
    FindBurst(pacer, device, 2);
    context.previewEnabled = 0;
    QTest::qWait(2 * PanePreviewPacer::kIntervalMs);
    QCOMPARE(box_->image(), cleared);
    // Switched off, nothing is painted or held.
    FindBurst(pacer, device, 50);
    pacer.flush();
    QTest::qWait(2 * PanePreviewPacer::kIntervalMs);
    QCOMPARE(pacer.paints(), 2);
  }

  void uncheckingPreviewClearsTheBoxAtOnce() {
    CMainFrame frame;
    frame.show();
    ControlPane* pane = frame.controlPane();
    CImagePreviewStatic* box = pane->previewBox();
    PictureDevice device(DataPath("make_in_model_canon.jpg"));
    FoundFile file = Jpeg();
    file.length = device.length;
    box->setImage(RenderPreview(device.fd, file, box->width(), box->height()));
    QVERIFY(box->image().pixel(box->width() / 2, box->height() / 2) != qRgb(0, 0, 0));
    QTest::mouseClick(pane->previewLabel(), Qt::LeftButton);
    QVERIFY(!pane->previewSwitch()->isChecked());
    QCOMPARE(frame.context().previewEnabled, 0);
    QCOMPARE(box->image().pixel(box->width() / 2, box->height() / 2), qRgb(0, 0, 0));
    QCOMPARE(box->image().pixel(0, 0), kFrameGrey);
    QTest::mouseClick(pane->previewLabel(), Qt::LeftButton);
    QCOMPARE(frame.context().previewEnabled, 1);
  }

  void theShowThumbnailsLabelDoesNothingWhileAScanRuns() {
    CMainFrame frame;
    frame.show();
    ControlPane* pane = frame.controlPane();
    frame.EnableScanControls(false);
    QCOMPARE(frame.context().displayFlags, 0x1000);
    QCOMPARE(pane->thumbnailLabel()->textColour(), QColor(0xB0, 0xB0, 0xB0));
    QTest::mouseClick(pane->thumbnailLabel(), Qt::LeftButton);
    QVERIFY(!pane->thumbnailSwitch()->isChecked());
    frame.EnableScanControls(true);
    QTest::mouseClick(pane->thumbnailLabel(), Qt::LeftButton);
    QVERIFY(pane->thumbnailSwitch()->isChecked());
    QCOMPARE(frame.context().displayFlags, 1);
    QCOMPARE(pane->thumbnailLabel()->textColour(), QColor(Qt::white));
  }

  void aMissingManualIsReportedWithErrorCode2AndItsPath() {
    MessageBoxWatcher boxes;
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("lumicarve.pdf"));
    QCOMPARE(OpenManualAt(nullptr, pdf), 2);
    QCOMPARE(boxes.texts, QStringList(QStringLiteral("Error opening manual (error code 2)\n%1 does not exist.").arg(pdf)));
    QCOMPARE(boxes.icons.at(0), QMessageBox::Critical);
  }

 private:
  std::unique_ptr<CImagePreviewStatic> box_;
};

LUMICARVE_UI_TEST_MAIN(PreviewTest)
#include "preview_test.moc"
