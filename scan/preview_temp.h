// The preview temp file of the latest found picture, and the process's private
// temp directory that holds it and the thumbnail copies.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "scan/scan_context.h"

namespace lumicarve {

// A directory made with mkdtemp (mode 0700) under $TMPDIR or /tmp on first
// use and removed with its content when the process exits. Empty when it
// cannot be made.
const std::string& PrivateTempDir();
// Removes the directory now (also done at exit). A later call of
// PrivateTempDir makes a new one.
void RemovePrivateTempDir();
// Removes the private temp directories this user's ended processes left
// behind (killed ones); a live process's directory is held by its lock.
// Returns how many were removed.
int RemoveStaleTempDirs();

// Opens temp.<ext> for a picture or RAW type; for any other type stores -1.
void OpenPreviewTemp(ScanContext& context, FileTypeMask type);
// Closes and removes an open temp file whose candidate was not listed, so the
// next picture's preview is not preceded by a stranger's bytes.
void DiscardPreviewTemp(ScanContext& context);
void AppendPreviewTemp(ScanContext& context, const void* bytes, size_t count);
// Completes the temp file from the device where needed, closes it, and hands
// the record to the sink (code 1).
void ExtractToPreviewTemp(ScanContext& context, std::unique_ptr<FoundFile> record);

}  // namespace lumicarve
