// The scan thread: reads the scanned device from its first sector to its last,
// recognises each file's start, ends it by its format's rule and reports every
// accepted file and the progress through the context's ScanNotifySink.
#pragma once

#include <thread>

#include "scan/scan_context.h"

namespace lumicarve {

// The thread procedure. Returns 0 when it stopped on cancel (or because the
// device was lost), 1 at the device end.
int ScanThread(ScanContext* context);

// What the scan start does before the thread runs: the scanned device becomes
// the selected one, the reader is bounded to its sector count, the activity
// word is 1 and no preview temp file is open. Then starts ScanThread on a
// std::thread, raised in priority where the system allows it. The caller joins.
std::thread StartScanThread(ScanContext& context);

}  // namespace lumicarve
