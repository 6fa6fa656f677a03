// The desktop program. It defines no option of its own; a single file
// argument is opened as a disk image.
#include <QApplication>

#include "results/exif_reader.h"
#include "shell/application.h"
#include "shell/main_frame.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  lumicarve::StartImaging();
  int result = 1;
  {
    std::unique_ptr<lumicarve::CMainFrame> frame;
    if (lumicarve::StartApplication(QApplication::arguments(), frame)) result = app.exec();
  }
  lumicarve::StopImaging();
  return result;
}
