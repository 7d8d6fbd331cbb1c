#pragma once
// StartUpProgress keeps, for diagnostics only, the step the latest start-up run waits on and
// since when, and how the last run that ended ended (with the consent platform's error text when
// it failed). No decision reads it. The run moves on from the main queue and from the background
// executor while the snapshot reads on the main queue, hence the lock.
// Threading: any thread.

#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "QVRAdKit/Services/AdsService/StartUpRunState.h"

namespace QVRAdKit {

class StartUpProgress {
 public:
  void waitOn(const StartUpWait& wait) {
    const std::lock_guard lock(mutex_);
    wait_ = wait;
  }
  // The run no longer waits; error is the consent platform's text for consentError.
  void ended(StartUpOutcome outcome, std::string error = {}) {
    const std::lock_guard lock(mutex_);
    wait_.reset();
    outcome_ = outcome;
    error_ = std::move(error);
  }
  [[nodiscard]] std::optional<StartUpWait> wait() const {
    const std::lock_guard lock(mutex_);
    return wait_;
  }
  [[nodiscard]] std::optional<StartUpOutcome> outcome() const {
    const std::lock_guard lock(mutex_);
    return outcome_;
  }
  [[nodiscard]] std::string error() const {
    const std::lock_guard lock(mutex_);
    return error_;
  }

 private:
  mutable std::mutex mutex_;
  std::optional<StartUpWait> wait_;
  std::optional<StartUpOutcome> outcome_;
  std::string error_;
};

}  // namespace QVRAdKit
