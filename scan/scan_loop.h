// The scan: reads the job's device from its first sector to its last,
// recognises each file's start, ends it by its format's rule and reports every
// accepted file, the progress and the end through the context's observer.
#pragma once

#include <thread>

#include "scan/scan_context.h"

namespace lumicarve {

// Runs the scan on the calling thread. Its last report is OnFinished with the
// same result it returns.
ScanResult RunScan(ScanContext& context);

// Bounds the sector reader to the job's device, then runs RunScan on a
// std::thread, raised in priority where the system allows it. The caller
// joins it and keeps `context` alive until then.
std::thread StartScanThread(ScanContext& context);

}  // namespace lumicarve
