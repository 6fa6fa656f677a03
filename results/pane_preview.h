// The preview box of the control pane: the picture found last, fitted into
// the box, with its name in white on a soft dark-blue halo.
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

#include <string>

namespace lumicarve {

struct FoundFile;
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

}  // namespace lumicarve
