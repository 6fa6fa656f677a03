// The desktop program. Its one option is --version; any other single
// argument is opened as a disk image.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "results/ui/exif_reader.h"
#include "shell/application.h"

int main(int argc, char** argv) {
  // Answered before Qt starts, so it works without a display.
  if (argc == 2 && !std::strcmp(argv[1], "--version")) {
    std::printf("lumicarve %s\n", LUMICARVE_VERSION);
    return 0;
  }
  QApplication app(argc, argv);
  lumicarve::StartImaging();
  const int result = lumicarve::RunWindow(app);
  lumicarve::StopImaging();
  return result;
}
