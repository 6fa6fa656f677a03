#include "text/string_table.h"

#include <algorithm>
#include <iterator>

#include "text/translatable.h"

namespace lumicarve {
namespace {

struct StringEntry {
  uint32_t id;
  const char* text;
};

// Sorted by id.
constexpr StringEntry kStrings[] = {
    {61207, QT_TRANSLATE_NOOP("Lumicarve", "unsorted")},
    {61209, QT_TRANSLATE_NOOP("Lumicarve", "Search files")},
    {61210, QT_TRANSLATE_NOOP("Lumicarve", "Recover files")},
    {61211, QT_TRANSLATE_NOOP("Lumicarve", "Cancel")},
    {61212, QT_TRANSLATE_NOOP("Lumicarve", "No files or folders selected")},
    {61213, QT_TRANSLATE_NOOP("Lumicarve", "Select destination folder")},
    {61214, QT_TRANSLATE_NOOP("Lumicarve", "Invalid folder location")},
    {61215,
     QT_TRANSLATE_NOOP("Lumicarve",
         "Destination drive cannot be the same as the source drive.\nThis would reduce the "
         "possibility to recover files.\n")},
    {61216,
     QT_TRANSLATE_NOOP("Lumicarve",
         "File recovery in progress.\nPlease cancel before closing the application.")},
    {61217, QT_TRANSLATE_NOOP("Lumicarve", "Scan completed.")},
    {61218, QT_TRANSLATE_NOOP("Lumicarve", "files found")},
    {61219,
     QT_TRANSLATE_NOOP("Lumicarve",
         "Select folders or files and press the 'Recover files' button to save the files.")},
    {61220, QT_TRANSLATE_NOOP("Lumicarve", "Insufficient disk space on")},
    {61221, QT_TRANSLATE_NOOP("Lumicarve", "required")},
    {61222, QT_TRANSLATE_NOOP("Lumicarve", "available")},
    {61223, QT_TRANSLATE_NOOP("Lumicarve", "No files found")},
    {61224, QT_TRANSLATE_NOOP("Lumicarve", "Error writing")},
    {61225, QT_TRANSLATE_NOOP("Lumicarve", "Control Toolbar")},
    {61226, QT_TRANSLATE_NOOP("Lumicarve", "Windows video")},
    {61227, QT_TRANSLATE_NOOP("Lumicarve", "Windows bitmap")},
    {61228, QT_TRANSLATE_NOOP("Lumicarve", "CompuServe GIF")},
    {61230, QT_TRANSLATE_NOOP("Lumicarve", "JPEG file")},
    {61231, QT_TRANSLATE_NOOP("Lumicarve", "QuickTime video")},
    {61232, QT_TRANSLATE_NOOP("Lumicarve", "MPEG video")},
    {61233, QT_TRANSLATE_NOOP("Lumicarve", "Portable network graphics")},
    {61234, QT_TRANSLATE_NOOP("Lumicarve", "Tagged image file format")},
    {61235, QT_TRANSLATE_NOOP("Lumicarve", "Windows media video")},
    {61236, QT_TRANSLATE_NOOP("Lumicarve", "AVCHD video")},
    {61238, QT_TRANSLATE_NOOP("Lumicarve", "Please select one or more file formats")},
    {61239, QT_TRANSLATE_NOOP("Lumicarve", "3GPP video")},
    {61240, QT_TRANSLATE_NOOP("Lumicarve", "MP4 video")},
    {61241, QT_TRANSLATE_NOOP("Lumicarve", "Canon RAW v2")},
    {61242, QT_TRANSLATE_NOOP("Lumicarve", "Nikon RAW")},
    {61243, QT_TRANSLATE_NOOP("Lumicarve", "Pentax RAW")},
    {61244, QT_TRANSLATE_NOOP("Lumicarve", "Olympus RAW")},
    {61245, QT_TRANSLATE_NOOP("Lumicarve", "Digital Negative")},
    {61246, QT_TRANSLATE_NOOP("Lumicarve", "Sony RAW")},
    {61247, QT_TRANSLATE_NOOP("Lumicarve", "Panasonic RAW")},
    {61248, QT_TRANSLATE_NOOP("Lumicarve", "Samsung RAW")},
    {61249, QT_TRANSLATE_NOOP("Lumicarve", "bytes")},
    {61250, QT_TRANSLATE_NOOP("Lumicarve", "KB")},
    {61251, QT_TRANSLATE_NOOP("Lumicarve", "n/a")},
    {61252, QT_TRANSLATE_NOOP("Lumicarve", "File preview not available while drive is being scanned.")},
    {61253, QT_TRANSLATE_NOOP("Lumicarve", "MB")},
    {61254, QT_TRANSLATE_NOOP("Lumicarve", "Extraction complete")},
    {61258, QT_TRANSLATE_NOOP("Lumicarve", "Error opening manual")},
    {61259, QT_TRANSLATE_NOOP("Lumicarve", "error code")},
    {61260,
     QT_TRANSLATE_NOOP("Lumicarve",
         "The device is no longer available. The scan was stopped at %s MB.")},
    {61261, QT_TRANSLATE_NOOP("Lumicarve", "Error reading")},
    {61280,
     QT_TRANSLATE_NOOP("Lumicarve",
         "%d disks need your permission to be read: select one and Lumicarve asks for it.")},
    {61281,
     QT_TRANSLATE_NOOP("Lumicarve",
         "1 disk needs your permission to be read: select it and Lumicarve asks for it.")},
    {61282,
     QT_TRANSLATE_NOOP("Lumicarve",
         "No disk to scan. Insert a card, or open a disk image (File > Open disk image...).")},
    {61283, QT_TRANSLATE_NOOP("Lumicarve", "Cannot open the disk image:")},
    {61284,
     QT_TRANSLATE_NOOP("Lumicarve",
         "Lumicarve needs permission to read %s, and udisks2, the system service that asks for it, "
         "is not running. Install the udisks2 package (it starts when asked), or scan the disk with "
         "lumicarve-cli run with sudo.")},
    {61285,
     QT_TRANSLATE_NOOP("Lumicarve",
         "Permission to read %s was not given. Select the disk again to be asked once more, or scan "
         "it with lumicarve-cli run with sudo.")},
    {61286, QT_TRANSLATE_NOOP("Lumicarve", "%s could not be opened for reading:")},
    {61287,
     QT_TRANSLATE_NOOP("Lumicarve",
         "%d disks could not be opened: install udisks2 so that Lumicarve can ask for permission to "
         "read them, or scan them with lumicarve-cli run with sudo.")},
    {61288,
     QT_TRANSLATE_NOOP("Lumicarve",
         "1 disk could not be opened: install udisks2 so that Lumicarve can ask for permission to "
         "read it, or scan it with lumicarve-cli run with sudo.")},
    {61289,
     QT_TRANSLATE_NOOP("Lumicarve",
         "Lumicarve could not ask for permission to read %s: no permission prompt (polkit "
         "authentication agent) runs in this session. Log in to a desktop session, or scan the disk "
         "with lumicarve-cli run with sudo.")},
    {61290, QT_TRANSLATE_NOOP("Lumicarve", "Invalid image file")},
    {61300, QT_TRANSLATE_NOOP("Lumicarve", "Please enter a positive integer.")},
    {61320,
     QT_TRANSLATE_NOOP("Lumicarve",
         "Lumicarve cannot tell which disk holds the destination folder, so it could lie on the "
         "source drive. Choose a folder on another drive.")},
    {61400, QT_TRANSLATE_NOOP("Lumicarve", "HEIF image")},
    {61401, QT_TRANSLATE_NOOP("Lumicarve", "AVIF image")},
    {61402, QT_TRANSLATE_NOOP("Lumicarve", "WebP image")},
    {61403, QT_TRANSLATE_NOOP("Lumicarve", "Matroska video")},
    {61404, QT_TRANSLATE_NOOP("Lumicarve", "WebM video")},
    {61405, QT_TRANSLATE_NOOP("Lumicarve", "Canon RAW v3")},
    {61406, QT_TRANSLATE_NOOP("Lumicarve", "Fujifilm RAW")},
};

}  // namespace

const char* LoadString(uint32_t id) {
  auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                             [](const StringEntry& e, uint32_t v) { return e.id < v; });
  if (it == std::end(kStrings) || it->id != id) return "";
  return it->text;
}

}  // namespace lumicarve
