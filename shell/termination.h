// Ending the window on SIGINT, SIGTERM and SIGHUP. The handler only writes
// the signal's number into a pipe; a watcher thread reads it and hands the
// first signal to the window's thread, which stops what runs and leaves its
// event loops. A second signal, or one that comes once the window is gone,
// ends the process at once after removing the private temp folder.
#pragma once

#include <functional>

class QObject;

namespace lumicarve {

// Installs the handlers. At the first signal `onSignal(signal)` is queued to
// `receiver`'s thread. False when the pipe or the watcher could not be made
// (the signals then keep their default action).
bool InstallTerminationSignals(QObject* receiver, std::function<void(int)> onSignal);
// The receiver is going away: from now on every signal ends the process.
void ReleaseTerminationReceiver();

}  // namespace lumicarve
