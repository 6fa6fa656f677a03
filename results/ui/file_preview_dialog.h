// The modal "File preview" dialog: one found file large, with its name,
// length, date and camera, on a dark gradient.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QPushButton;

namespace lumicarve {

struct FoundFile;
struct AppContext;
class CImagePreviewStatic;
class CTransparentStatic;

// "1.3 MB (1,263,616 bytes)": the size as the window writes sizes, then the bytes.
QString PreviewLengthText(uint64_t length, char separator);
// The date and time in the user's short formats, or "n/a" for an unknown
// date (0) or one that is no calendar time.
QString PreviewDateText(uint64_t filetime);
// The Model alone when it already names the maker, else Make and Model;
// "n/a" without a Make of at least two characters.
QString PreviewCameraText(const std::string& make, const std::string& model);

class FilePreviewDialog : public QDialog {
  Q_OBJECT

 public:
  FilePreviewDialog(AppContext* context, FoundFile* file, QWidget* parent = nullptr);
  // The files of the list, showing `files[index]`; "Previous" and "Next"
  // (and the Left and Right keys) step through them.
  FilePreviewDialog(AppContext* context, std::vector<FoundFile*> files, int index, QWidget* parent = nullptr);

  // Shows the file `step` places before or after the shown one, if any.
  void step(int step);
  int index() const { return index_; }
  QPushButton* previousButton() const { return previous_; }
  QPushButton* nextButton() const { return next_; }

  // Shows the file in the picture box: a picture copied from the device,
  // fitted into the box; the film strip or the camera for other files.
  // False when the copy could not be made (the box keeps what it showed).
  bool LoadPreviewImage(FoundFile* file);

  CImagePreviewStatic* pictureBox() const { return box_; }
  QString nameText() const { return texts_[0]; }
  QString lengthText() const { return texts_[1]; }
  QString dateText() const { return texts_[2]; }
  QString cameraText() const { return texts_[3]; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QRect dialogRect(int x, int y, int w, int h) const;
  void showFile();

  AppContext* context_;
  std::vector<FoundFile*> files_;
  int index_ = 0;
  FoundFile* file_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
  CImagePreviewStatic* box_;
  CTransparentStatic* values_[4] = {};
  QString texts_[4];
  int unitX_ = 6, unitY_ = 13;
};

}  // namespace lumicarve
