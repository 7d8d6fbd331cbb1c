#include "tools/Interruption.h"

#include <atomic>
#include <csignal>
#include <string_view>

#include <unistd.h>

#include "Sandbox/Output/TemporaryFiles.h"

namespace QVRAdKit::Sandbox {
namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only store lock-free");

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void writeAll(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

extern "C" void onStopSignal(int signal) {
  const int savedErrno = errno;
  int expected = 0;
  if (received.compare_exchange_strong(expected, signal)) {
    errno = savedErrno;
    return;  // the first: the run stops at its next step
  }
  // The second: no waiting for the run. Its temporary files go; its outputs keep their old files.
  TemporaryFiles::removeAllNow();
  writeAll("qvr-sandbox: stopped at once by a second signal; nothing more was written\n");
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // pending until the handler returns, then ends the process
}

}  // namespace

void Interruption::install() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // Blocked while one is handled, so two at once cannot both take the first one's path.
  for (const int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
  action.sa_flags = SA_RESTART;
  for (const int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

int Interruption::signal() {
  return received.load();
}

void Interruption::request(int signal) {
  received.store(signal);
}

}  // namespace QVRAdKit::Sandbox
