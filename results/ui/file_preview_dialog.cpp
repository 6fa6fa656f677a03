#include "results/ui/file_preview_dialog.h"

#include <QDateTime>
#include <QLocale>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <cstring>

#include "controls/gradient.h"
#include "controls/transparent_static.h"
#include "recovery/jpeg_exif_date.h"
#include "results/ui/exif_reader.h"
#include "results/ui/pane_preview.h"
#include "results/ui/picture_decode.h"
#include "results/ui/thumbnail_tiles.h"
#include "scan/filetime.h"
#include "shell/app_context.h"
#include "text/string_table.h"
#include "text/text_format.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

const QColor kGrey(0xB0, 0xB0, 0xB0);

QString Separated(uint64_t n, char separator) {
  return QString::fromStdString(FormatWithSeparators(static_cast<int64_t>(n), separator));
}

}  // namespace

QString PreviewLengthText(uint64_t length, char separator) {
  return QStringLiteral("%1 (%2 %3)")
      .arg(SizeText(length), Separated(length, separator), Text(IDS_BYTES));
}

QString PreviewDateText(uint64_t filetime) {
  CalendarTime t;
  // Zero is the record's "no date", not the first of January 1601.
  if (filetime == 0 || !FiletimeToCalendar(filetime, t)) return Text(IDS_NOT_AVAILABLE);
  const QDateTime when(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
  QLocale locale;
  return QStringLiteral("%1 %2").arg(locale.toString(when.date(), QLocale::ShortFormat),
                                     locale.toString(when.time(), QLocale::ShortFormat));
}

QString PreviewCameraText(const std::string& make, const std::string& model) {
  if (make.size() < 2) return Text(IDS_NOT_AVAILABLE);
  const QString m = QString::fromLatin1(make.c_str()).trimmed();
  const QString md = QString::fromLatin1(model.c_str()).trimmed();
  if (md.contains(m)) return md;
  return QStringLiteral("%1 %2").arg(m, md).trimmed();
}

// Where the card's file system has the file and whether it is still there:
// "DCIM/100CANON/IMG_0412.JPG, deleted".
QString FilePreviewDialog::OriginText(const FoundFile& file) {
  if (!file.origin || file.origin->name.empty()) return tr("not known to the file system");
  QString path = QString::fromStdString(file.origin->name);
  if (!file.origin->folder.empty()) path = QString::fromStdString(file.origin->folder) + u'/' + path;
  return tr("%1, %2").arg(path, file.origin->state == FileState::kLive ? tr("still present") : tr("deleted"));
}

FilePreviewDialog::FilePreviewDialog(AppContext* context, FoundFile* file, QWidget* parent)
    : FilePreviewDialog(context, std::vector<FoundFile*>{file}, 0, parent) {}

FilePreviewDialog::FilePreviewDialog(AppContext* context, std::vector<FoundFile*> files, int index,
                                     QWidget* parent)
    : QDialog(parent), context_(context), files_(std::move(files)) {
  setWindowTitle(tr("File preview"));
  QFontMetrics fm(font());
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  unitX_ = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
  unitY_ = fm.height();
  setFixedSize(dialogRect(0, 0, 314, 289).size());

  box_ = new CImagePreviewStatic(this);
  box_->setGeometry(dialogRect(7, 7, 300, 200));
  struct Row {
    const char* label;
    int y;
  };
  const Row rows[5] = {
      {QT_TR_NOOP("Name:"), 212},   {QT_TR_NOOP("Length:"), 224},       {QT_TR_NOOP("Date / time:"), 235},
      {QT_TR_NOOP("Camera:"), 246}, {QT_TR_NOOP("On the card:"), 257}};
  for (int i = 0; i < 5; ++i) {
    auto* label = new CTransparentStatic(tr(rows[i].label), this);
    label->setGeometry(dialogRect(7, rows[i].y, 88, 8));
    label->makeBold();
    label->setTextColour(kGrey);
    values_[i] = new CTransparentStatic(QString(), this);
    values_[i]->setGeometry(dialogRect(101, rows[i].y, 206, 8));
    values_[i]->makeBold();
    values_[i]->setTextColour(Qt::white);
  }
  previous_ = new QPushButton(tr("< &Previous"), this);
  previous_->setObjectName(QStringLiteral("previousButton"));
  previous_->setAutoDefault(false);
  previous_->setGeometry(dialogRect(7, 268, 60, 14));
  connect(previous_, &QPushButton::clicked, this, [this] { step(-1); });
  auto* ok = new QPushButton(tr("OK"), this);
  ok->setGeometry(dialogRect(132, 268, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  next_ = new QPushButton(tr("&Next >"), this);
  next_->setObjectName(QStringLiteral("nextButton"));
  next_->setAutoDefault(false);
  next_->setGeometry(dialogRect(247, 268, 60, 14));
  connect(next_, &QPushButton::clicked, this, [this] { step(1); });
  // Buttons sized for their text in any font, and never past the box's edge.
  for (QPushButton* b : {previous_, ok, next_}) {
    const int w = std::max(b->width(), b->sizeHint().width());
    b->setGeometry(b == next_ ? box_->geometry().right() + 1 - w : b == ok ? (width() - w) / 2 : b->x(), b->y(),
                   w, std::max(b->height(), b->sizeHint().height()));
  }

  index_ = files_.empty() ? 0 : std::clamp(index, 0, static_cast<int>(files_.size()) - 1);
  showFile();
}

void FilePreviewDialog::showFile() {
  file_ = files_.empty() ? nullptr : files_[static_cast<size_t>(index_)];
  for (QString& t : texts_) t.clear();
  if (file_) {
    texts_[0] = QString::fromLatin1(file_->name, static_cast<int>(strnlen(file_->name, sizeof file_->name)));
    texts_[1] = PreviewLengthText(file_->length, context_->thousandsSeparator);
    texts_[2] = PreviewDateText(file_->date);
    texts_[4] = OriginText(*file_);
  }
  texts_[3] = Text(IDS_NOT_AVAILABLE);
  LoadPreviewImage(file_);
  for (int i = 0; i < 5; ++i) values_[i]->setText(texts_[i]);
  previous_->setEnabled(index_ > 0);
  next_->setEnabled(index_ + 1 < static_cast<int>(files_.size()));
}

void FilePreviewDialog::step(int step) {
  const int to = index_ + step;
  if (to < 0 || to >= static_cast<int>(files_.size()) || to == index_) return;
  index_ = to;
  showFile();
}

void FilePreviewDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_PageUp:
      step(-1);
      return;
    case Qt::Key_Right:
    case Qt::Key_PageDown:
      step(1);
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

QRect FilePreviewDialog::dialogRect(int x, int y, int w, int h) const {
  return QRect(x * unitX_ / 4, y * unitY_ / 8, w * unitX_ / 4, h * unitY_ / 8);
}

bool FilePreviewDialog::LoadPreviewImage(FoundFile* file) {
  const int bw = box_->width(), bh = box_->height();
  QImage bitmap(bw, bh, QImage::Format_RGB32);
  bitmap.fill(Qt::black);
  QPainter p(&bitmap);
  if (!file) {
    p.setPen(QColor(0xB0, 0xB0, 0xB0));
    p.drawRect(0, 0, bw - 1, bh - 1);
  } else {
    std::vector<uint8_t> bytes;
    const PictureBytes read = ReadPictureBytes(context_->ScannedHandle(), *file, bytes);
    if (read == PictureBytes::kFailed || read == PictureBytes::kStopped) return false;
    if (read == PictureBytes::kRead) {
      if (file->type == FT_JPG) {
        uint64_t date = 0;
        if (JpegExifDate(bytes.data(), bytes.size(), date)) file->date = date;
        ExifFields exif = ReadExifFields(bytes.data(), bytes.size());
        if (exif.make.size() >= 2) texts_[3] = PreviewCameraText(exif.make, exif.model);
      }
      const DecodedPicture picture = DecodePicture(bytes, file->type, bw, bh);
      if (!picture.image.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(FitPicture(picture.width, picture.height, bw, bh), picture.image);
      }
    } else {
      const QImage placeholder = IsVideoType(file->type) ? FilmStripPlaceholder() : CameraPlaceholder();
      p.drawImage((bw - placeholder.width()) / 2, (bh - placeholder.height()) / 2, placeholder);
    }
  }
  p.end();
  box_->setImage(bitmap);
  return true;
}

void FilePreviewDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setClipRegion(QRegion(rect()).subtracted(box_->geometry()));
  PaintVerticalGradient(p, rect(), QColor(0, 0, 0), QColor(0x28, 0x28, 0x28));
  const QRect line = dialogRect(7, 262, 300, 1);
  p.fillRect(line.x(), line.y(), line.width(), 1, QColor(0x50, 0x50, 0x50));
}

}  // namespace lumicarve
