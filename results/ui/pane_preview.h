// The preview box of the control pane: the picture found last, fitted into
// the box, with its name in white on a soft dark-blue halo.
#pragma once

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <string>

#include "scan/file_types.h"

namespace lumicarve {

struct AppContext;

// Where a picture of iw × ih lands in a box of bw × bh: a picture larger than
// the box is scaled down (a wide one to the box's width, a tall or square one
// to its height), a smaller one keeps its size; both centred. An undecoded
// picture (a zero side) fills the box.
QRect FitPicture(int iw, int ih, int bw, int bh);

// How much of a found picture the live preview reads and decodes: the whole
// picture, or, while a scan runs, a JPEG's EXIF thumbnail where it is large
// enough (see DecodeExifThumbnail); a JPEG without one is read whole.
enum class PreviewDetail { kFull, kQuick };

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

// Clears the preview box to black with its grey frame.
void ClearPanePreview(CImagePreviewStatic& box);

// The pane preview during a scan. A scan may find a million small pictures,
// so the box is painted at most once per kIntervalMs with the picture found
// last. The picture is read from the device and decoded on a worker thread;
// the window's thread only sets the finished bitmap. While the scan runs a
// camera's EXIF thumbnail stands in for a JPEG where it is large enough, so
// the preview takes little from the scan; the picture shown at the end is
// decoded whole.
class PanePreviewPacer : public QObject {
  Q_OBJECT

 public:
  static constexpr int kIntervalMs = 100;

  PanePreviewPacer(CImagePreviewStatic& box, const AppContext& context, QObject* parent = nullptr);
  ~PanePreviewPacer() override;

  // A picture just found on the device `deviceFd`. With the preview on, it is
  // painted when the last paint is kIntervalMs old and no decode is under
  // way; otherwise it is held for the next paint, replacing one held before.
  void pictureFound(int deviceFd, const FoundFile& file);
  // Paints a held picture as soon as the decoder is free: the scan has ended
  // and its last picture shows, decoded whole.
  void flush();
  // Forgets a held picture and any decode under way: the box is about to be
  // cleared.
  void drop();

  // The pictures drawn into the box so far.
  int paints() const { return paints_; }

 private:
  void startDecode();
  void decoded();
  // Holds the picture on show again when it was drawn from a thumbnail.
  void redrawWhole();

  struct Held {
    int fd = -1;
    FoundFile file{};
    PreviewDetail detail = PreviewDetail::kQuick;
  };

  CImagePreviewStatic& box_;
  const AppContext& context_;
  QTimer timer_;
  QElapsedTimer sincePaint_;
  struct Rendered {
    QImage bitmap;
    bool fromThumbnail = false;
  };
  QFutureWatcher<Rendered> watcher_;
  std::optional<Held> held_;
  std::optional<Held> decodingJob_;
  // The picture on show when it was drawn from a thumbnail: flush() draws it
  // again whole.
  std::optional<Held> shownQuick_;
  bool decoding_ = false;
  bool flushing_ = false;
  int paints_ = 0;
};

// Reads the picture (a RAW file's embedded preview) of `file` from the device
// and draws the box's bitmap of bw x bh with it and the file's name. Runs on
// any thread. `fromThumbnail`, when given, tells whether a thumbnail stood in.
QImage RenderPreview(int deviceFd, const FoundFile& file, int bw, int bh, PreviewDetail detail = PreviewDetail::kFull,
                     bool* fromThumbnail = nullptr);

}  // namespace lumicarve
