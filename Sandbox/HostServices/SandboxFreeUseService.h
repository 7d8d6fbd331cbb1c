#pragma once
// SandboxFreeUseService is a free-use switch that the sandbox host or a test sets.

#include <atomic>

#include "QVRAdKit/Host/FreeUseServiceProtocol.h"

namespace QVRAdKit::Sandbox {

class SandboxFreeUseService final : public FreeUseServiceProtocol {
 public:
  explicit SandboxFreeUseService(bool active = false) : active_(active) {}
  void setFreeUseActive(bool active) { active_ = active; }
  [[nodiscard]] bool isFreeUseActive() const override { return active_; }

 private:
  std::atomic<bool> active_;
};

}  // namespace QVRAdKit::Sandbox
