// The naming template of recovered files: "%Y\%M\%D\%4N" files a picture as
// year/month/day/number below the destination.
#pragma once

#include <cstdint>
#include <string>

#include "scan/file_types.h"

namespace lumicarve {

// The longest name component a template can produce: leaves room for a
// " (n)" suffix, the extension and the hidden partial-file decoration within
// the 255 bytes a Linux file name may have.
inline constexpr size_t kMaxNameComponent = 200;

// Turns `nameTemplate` and one found file into a path relative to the
// destination, with '/' between its components:
//   %Y  the file's year, four digits;  %M, %D  month and day, two digits;
//   %xN the sequence number `sequence` with x digits (1 to 9; %N is %4N);
//   '\' and '/' separate folders; any other character is copied.
// The type's extension follows with a dot (".JPG"). A file without a date
// goes to the folder "unsorted" from the first folder that names a date
// element on; in the file name its date elements become zeros. Empty, "."
// and ".." components are dropped and control characters become '_', so
// the result always lies below the destination. With `createDataFolders`
// false the folder part is dropped.
std::string ExpandNameTemplate(const char* nameTemplate, const FoundFile& file, uint32_t sequence,
                               const TypeCatalogue& catalogue, bool createDataFolders = true);

}  // namespace lumicarve
