// The preview box of the control pane: the picture found last, fitted into
// the box, with its name in white on a soft dark-blue halo.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <string>

#include "scan/file_types.h"

namespace lumicarve {

struct ScanContext;

// Where a picture of iw × ih lands in a box of bw × bh: a picture larger than
// the box is scaled down (a wide one to the box's width, a tall or square one
// to its height), a smaller one keeps its size; both centred. An undecoded
// picture (a zero side) fills the box.
QRect FitPicture(int iw, int ih, int bw, int bh);

// A box showing a picture bitmap of its own size, centred.
class CImagePreviewStatic : public QWidget {
  Q_OBJECT

 public:
  explicit CImagePreviewStatic(QWidget* parent = nullptr);
  void setImage(const QImage& image);
  const QImage& image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

// Paints the preview box. With no file, clears it to black with its grey
// frame. Otherwise decodes the picture at `path`; for a JPEG writes its EXIF
// capture date into `file` (whether or not the preview is enabled); with the
// preview enabled, draws the picture and the file's name.
void PaintPanePreview(CImagePreviewStatic& box, const std::string& path, FoundFile* file,
                      const ScanContext& context);

// The pane preview during a scan. Decoding a picture and drawing its name
// costs milliseconds, and a scan may find a million small pictures, so the
// box is painted at most once per kIntervalMs with the picture found last;
// the capture date of every JPEG is still read as it is found.
class PanePreviewPacer : public QObject {
  Q_OBJECT

 public:
  static constexpr int kIntervalMs = 100;

  PanePreviewPacer(CImagePreviewStatic& box, const ScanContext& context, QObject* parent = nullptr);
  ~PanePreviewPacer() override;

  // A picture just found, complete in the temp file at `path`: dates a JPEG
  // record at once. With the preview on, paints it when the last paint is
  // kIntervalMs old; otherwise moves the file aside (same folder, "shown.*")
  // for the timer to paint, replacing a picture held before.
  void pictureFound(const std::string& path, FoundFile& file);
  // Paints a held picture now: the scan has ended and its last picture shows.
  void flush();
  // Forgets a held picture: the box is about to be cleared.
  void drop();

  // The pictures decoded and drawn so far.
  int paints() const { return paints_; }

 private:
  void paint(const std::string& path, FoundFile& file);

  CImagePreviewStatic& box_;
  const ScanContext& context_;
  QTimer timer_;
  QElapsedTimer sincePaint_;
  std::string heldPath_;  // empty: nothing held
  FoundFile held_{};
  int paints_ = 0;
};

}  // namespace lumicarve
