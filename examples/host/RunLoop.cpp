#include "RunLoop.h"

#include <algorithm>
#include <optional>

namespace ExampleHost {

bool RunLoop::run(std::chrono::milliseconds limit) {
  using Steady = std::chrono::steady_clock;
  auto& queue = environment_.mainQueue();
  const auto deadline = Steady::now() + limit;
  stopped_ = false;
  while (true) {
    queue.runUntilIdle();
    if (stopped_) return true;
    const auto now = Steady::now();
    if (now >= deadline) return false;
    // Sleep until the next timer falls due; a task posted meanwhile wakes the queue earlier.
    auto wakeUp = deadline;
    if (const std::optional<QVRAdKit::Platform::Date> next = queue.nextDueDate()) {
      const double seconds = std::max(0.0, next->timeIntervalSince(environment_.clock().now()));
      wakeUp = std::min(deadline, now + std::chrono::duration_cast<Steady::duration>(
                                            std::chrono::duration<double>(seconds)));
    }
    queue.waitForReadyTask(wakeUp);
  }
}

}  // namespace ExampleHost
