#pragma once
// SandboxUserService is a user service that the sandbox host or a test drives: setUser() publishes
// a new user (or none) to every subscriber of userStream().
// Threading: any thread; subscribers are called on the thread that sets the user.

#include "QVRAdKit/Host/UserServiceProtocol.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"

namespace QVRAdKit::Sandbox {

class SandboxUserService final : public UserServiceProtocol {
 public:
  explicit SandboxUserService(QVUserPtr user = nullptr) : user_(std::move(user)) {}

  void setUser(QVUserPtr user) { user_.accept(std::move(user)); }

  [[nodiscard]] QVUserPtr currentUser() const override { return user_.value(); }
  // A user that is absent counts as not premium.
  [[nodiscard]] bool isPremium() const override {
    auto user = user_.value();
    return user && user->isPremium();
  }
  [[nodiscard]] Rx::Observable<QVUserPtr> userStream() const override {
    return user_.asObservable();
  }
  // How many subscriptions to userStream() are live.
  [[nodiscard]] std::size_t subscriberCount() const { return user_.subscriberCount(); }

 private:
  Rx::BehaviorRelay<QVUserPtr> user_;
};

}  // namespace QVRAdKit::Sandbox
