#pragma once
// RunLoop makes the calling thread the module's main thread: it runs the environment's main-queue
// tasks as they fall due on the environment's clock and, in between, waits (without spinning)
// until the next timer is due or another thread posts work (the ads service's start-up run hands
// its results back from the background executor). A phone app's own run loop does the same on
// every turn.
// Example:
//   RunLoop loop(*environment);
//   app->onFinished([&loop] { loop.stop(); });
//   const bool stopped = loop.run(std::chrono::seconds(30));
// Threading: run() on the thread that calls the module; stop() from a main-queue task.

#include <chrono>

#include "QVRAdKit/Platform/Environment.h"

namespace ExampleHost {

class RunLoop {
 public:
  explicit RunLoop(QVRAdKit::Platform::Environment& environment) : environment_(environment) {}

  // Runs until stop() is called (true) or the limit passes first (false).
  bool run(std::chrono::milliseconds limit);
  void stop() { stopped_ = true; }

 private:
  QVRAdKit::Platform::Environment& environment_;
  bool stopped_ = false;
};

}  // namespace ExampleHost
