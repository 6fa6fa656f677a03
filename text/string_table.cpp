#include "text/string_table.h"

#include <algorithm>
#include <iterator>

namespace lumicarve {
namespace {

struct StringEntry {
  uint32_t id;
  const char* text;
};

// Sorted by id.
constexpr StringEntry kStrings[] = {
    {61207, "unsorted"},
    {61209, "Search files"},
    {61210, "Recover files"},
    {61211, "Cancel"},
    {61212, "No files or folders selected"},
    {61213, "Select destination folder"},
    {61214, "Invalid folder location"},
    {61215,
     "Destination drive cannot be the same as the source drive.\nThis would reduce the "
     "possibility to recover files.\n"},
    {61216, "File recovery in progress.\nPlease cancel before closing the application."},
    {61217, "Scan completed."},
    {61218, "files found"},
    {61219, "Select folders or files and press the 'Recover files' button to save the files."},
    {61220, "Insufficient disk space on"},
    {61221, "required"},
    {61222, "available"},
    {61223, "No files found"},
    {61224, "Error writing"},
    {61225, "Control Toolbar"},
    {61226, "Windows video"},
    {61227, "Windows bitmap"},
    {61228, "CompuServe GIF"},
    {61230, "JPEG file"},
    {61231, "QuickTime video"},
    {61232, "MPEG video"},
    {61233, "Portable network graphics"},
    {61234, "Tagged image file format"},
    {61235, "Windows media video"},
    {61236, "AVCHD video"},
    {61238, "Please select one or more file formats"},
    {61239, "3GPP video"},
    {61240, "MP4 video"},
    {61241, "Canon RAW v2"},
    {61242, "Nikon RAW"},
    {61243, "Pentax RAW"},
    {61244, "Olympus RAW"},
    {61245, "Digital Negative"},
    {61246, "Sony RAW"},
    {61247, "Panasonic RAW"},
    {61248, "Samsung RAW"},
    {61249, "bytes"},
    {61250, "KB"},
    {61251, "n/a"},
    {61252, "File preview not available while drive is being scanned."},
    {61253, "MB"},
    {61254, "Extraction complete"},
    {61258, "Error opening manual"},
    {61259, "error code"},
    {61260, "The device is no longer available. The scan was stopped at %s MB."},
    {61261, "Error reading"},
    {61280, "%d disks need your permission to be read: select one and Lumicarve asks for it."},
    {61281, "1 disk needs your permission to be read: select it and Lumicarve asks for it."},
    {61282, "No disk to scan. Insert a card, or open a disk image (File > Open disk image...)."},
    {61283, "Cannot open the disk image:"},
    {61284,
     "Lumicarve needs permission to read %s, and udisks2, the system service that asks for it, "
     "is not running. Install the udisks2 package (it starts when asked), or scan the disk with "
     "lumicarve-cli run with sudo."},
    {61285,
     "Permission to read %s was not given. Select the disk again to be asked once more, or scan "
     "it with lumicarve-cli run with sudo."},
    {61286, "%s could not be opened for reading:"},
    {61287,
     "%d disks could not be opened: install udisks2 so that Lumicarve can ask for permission to "
     "read them, or scan them with lumicarve-cli run with sudo."},
    {61288,
     "1 disk could not be opened: install udisks2 so that Lumicarve can ask for permission to "
     "read it, or scan it with lumicarve-cli run with sudo."},
    {61289,
     "Lumicarve could not ask for permission to read %s: no permission prompt (polkit "
     "authentication agent) runs in this session. Log in to a desktop session, or scan the disk "
     "with lumicarve-cli run with sudo."},
    {61290, "Invalid image file"},
    {61300, "Please enter a positive integer."},
    {61320,
     "Lumicarve cannot tell which disk holds the destination folder, so it could lie on the "
     "source drive. Choose a folder on another drive."},
    {61400, "HEIF image"},
    {61401, "AVIF image"},
    {61402, "WebP image"},
    {61403, "Matroska video"},
    {61404, "WebM video"},
    {61405, "Canon RAW v3"},
    {61406, "Fujifilm RAW"},
};

}  // namespace

const char* LoadString(uint32_t id) {
  auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                             [](const StringEntry& e, uint32_t v) { return e.id < v; });
  if (it == std::end(kStrings) || it->id != id) return "";
  return it->text;
}

}  // namespace lumicarve
