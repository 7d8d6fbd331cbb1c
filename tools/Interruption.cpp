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
std::atomic<bool> stopsAtOnce{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may only read lock-free");

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
  const bool first = received.compare_exchange_strong(expected, signal);
  if (first && !stopsAtOnce.load()) {
    errno = savedErrno;
    return;  // the first, during a run: the run stops at its next step
  }
  // The second, or any before a run began: no waiting. Temporary files go; outputs keep their old
  // files.
  TemporaryFiles::removeAllNow();
  writeAll(first ? "qvr-sandbox: stopped before any output was written\n"
                 : "qvr-sandbox: stopped at once by a second signal; nothing more was written\n");
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

void Interruption::setStopsAtOnce(bool atOnce) {
  stopsAtOnce.store(atOnce);
}

int Interruption::signal() {
  return received.load();
}

void Interruption::request(int signal) {
  received.store(signal);
}

}  // namespace QVRAdKit::Sandbox
