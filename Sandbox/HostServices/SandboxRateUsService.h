#pragma once
// SandboxRateUsService answers the three rate-us questions from values the sandbox host or a test
// sets per moment, and counts how often each was asked (tests check the order of the checks).

#include <array>
#include <atomic>

#include "QVRAdKit/Host/RateUsServiceProtocol.h"

namespace QVRAdKit::Sandbox {

class SandboxRateUsService final : public RateUsServiceProtocol {
 public:
  void setMomentCheck(RateUsMoment moment, bool value) { check_[index(moment)] = value; }
  void setPromptFlag(bool value) { promptFlag_ = value; }
  void setMomentBlock(RateUsMoment moment, bool value) { block_[index(moment)] = value; }

  [[nodiscard]] bool rateUsMomentCheck(RateUsMoment moment) const override {
    ++checkCalls_;
    return check_[index(moment)];
  }
  [[nodiscard]] bool rateUsPromptFlag() const override {
    ++flagCalls_;
    return promptFlag_;
  }
  [[nodiscard]] bool rateUsMomentBlock(RateUsMoment moment) const override {
    ++blockCalls_;
    return block_[index(moment)];
  }

  [[nodiscard]] int checkCalls() const { return checkCalls_; }
  [[nodiscard]] int flagCalls() const { return flagCalls_; }
  [[nodiscard]] int blockCalls() const { return blockCalls_; }

 private:
  static std::size_t index(RateUsMoment moment) { return static_cast<std::size_t>(moment); }

  std::array<std::atomic<bool>, 2> check_{};
  std::atomic<bool> promptFlag_{false};
  std::array<std::atomic<bool>, 2> block_{};
  mutable std::atomic<int> checkCalls_{0};
  mutable std::atomic<int> flagCalls_{0};
  mutable std::atomic<int> blockCalls_{0};
};

}  // namespace QVRAdKit::Sandbox
