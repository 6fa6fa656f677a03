// The desktop program. It defines no option of its own; a single file
// argument is opened as a disk image.
#include <QApplication>

#include "results/ui/exif_reader.h"
#include "shell/application.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  lumicarve::StartImaging();
  const int result = lumicarve::RunWindow(app);
  lumicarve::StopImaging();
  return result;
}
