#include "shell/termination.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QMetaObject>
#include <QObject>

#include <cerrno>
#include <mutex>
#include <thread>

#include "results/temp_dir.h"

namespace lumicarve {
namespace {

int g_pipe[2] = {-1, -1};
std::mutex g_receiverMutex;
QObject* g_receiver = nullptr;
std::function<void(int)> g_onSignal;

// Only async-signal-safe calls here; a full pipe drops the byte, which
// costs nothing since a signal is already waiting in it.
void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

void Watch() {
  bool handedOver = false;
  for (;;) {
    unsigned char signal = 0;
    const ssize_t n = ::read(g_pipe[0], &signal, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    if (!handedOver) {
      std::lock_guard<std::mutex> lock(g_receiverMutex);
      if (g_receiver) {
        handedOver = true;
        const int s = signal;
        QMetaObject::invokeMethod(
            g_receiver, [s] { g_onSignal(s); }, Qt::QueuedConnection);
        continue;
      }
    }
    RemovePrivateTempDir();
    ::_exit(128 + signal);
  }
}

}  // namespace

bool InstallTerminationSignals(QObject* receiver, std::function<void(int)> onSignal) {
  if (g_pipe[0] != -1) return false;
  if (::pipe2(g_pipe, O_CLOEXEC) != 0) return false;
  // The handler must never block on a full pipe.
  ::fcntl(g_pipe[1], F_SETFL, ::fcntl(g_pipe[1], F_GETFL) | O_NONBLOCK);
  {
    std::lock_guard<std::mutex> lock(g_receiverMutex);
    g_receiver = receiver;
    g_onSignal = std::move(onSignal);
  }
  try {
    std::thread(Watch).detach();
  } catch (const std::system_error&) {
    return false;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sa.sa_flags = SA_RESTART;
  ::sigemptyset(&sa.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &sa, nullptr);
  return true;
}

void ReleaseTerminationReceiver() {
  std::lock_guard<std::mutex> lock(g_receiverMutex);
  g_receiver = nullptr;
}

}  // namespace lumicarve
