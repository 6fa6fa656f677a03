// The first sectors of a found JPEG, from the device or from a copy of it,
// handed to the one EXIF date parser.
#include "recovery/jpeg_exif_date.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "scan/formats/capture_date.h"
#include "scan/sector_reader.h"

namespace lumicarve {

bool DateJpegFromExif(int deviceFd, FoundFile& file) {
  if (file.type != FT_JPG || file.length == 0) return false;
  const uint64_t wanted = (file.length + kSectorSize - 1) / kSectorSize;
  constexpr uint32_t kHeadSectors = kJpegExifHeadBytes / kSectorSize;
  const uint32_t sectors = wanted < kHeadSectors ? static_cast<uint32_t>(wanted) : kHeadSectors;
  std::vector<uint8_t> head(size_t{sectors} * kSectorSize);
  if (!ReadSectors(deviceFd, file.startSector, sectors, kSectorSize, head.data())) return false;
  const size_t size = file.length < head.size() ? static_cast<size_t>(file.length) : head.size();
  uint64_t date = 0;
  if (!JpegExifDate(head.data(), size, date)) return false;
  file.date = date;
  return true;
}

}  // namespace lumicarve
