#include "tools/Interruption.h"

#include <atomic>
#include <csignal>

namespace QVRAdKit::Sandbox {
namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only store lock-free");

extern "C" void onStopSignal(int signal) {
  received.store(signal);
}

}  // namespace

void Interruption::install() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // The first signal is ours; the default action is back for the next one.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int Interruption::signal() {
  return received.load();
}

void Interruption::request(int signal) {
  received.store(signal);
}

}  // namespace QVRAdKit::Sandbox
