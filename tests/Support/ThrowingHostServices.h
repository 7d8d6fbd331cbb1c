#pragma once
// Host services whose members throw on demand: one object plays the user, connection, rate-us and
// free-use services; `failing` names the member that throws (std::runtime_error with that name as
// its text), "" for none. Otherwise the answers favour an ad: a non-premium user, status raw 1
// (about to connect), a rate-us moment whose prompt flag lets the ad through, no block, no free
// use. A user whose isPremium() throws is available too, for streams. Threading: the test's thread.

#include <memory>
#include <stdexcept>
#include <string>

#include "QVRAdKit/Host/ConnectionServiceProtocol.h"
#include "QVRAdKit/Host/FreeUseServiceProtocol.h"
#include "QVRAdKit/Host/RateUsServiceProtocol.h"
#include "QVRAdKit/Host/UserServiceProtocol.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"
#include "Sandbox/HostServices/SandboxUser.h"

namespace QVRAdKit::Testing {

struct ThrowingUser final : QVUser {
  [[nodiscard]] bool isPremium() const override { throw std::runtime_error("QVUser.isPremium"); }
  [[nodiscard]] std::vector<std::shared_ptr<const QVPartnerAd>> partnerAds() const override {
    return {};
  }
};

struct ThrowingHostServices final : UserServiceProtocol,
                                    ConnectionServiceProtocol,
                                    RateUsServiceProtocol,
                                    FreeUseServiceProtocol {
  std::string failing;

  void maybeThrow(const char* member) const {
    if (failing == member) throw std::runtime_error(member);
  }

  [[nodiscard]] QVUserPtr currentUser() const override {
    maybeThrow("currentUser");
    return user.value();
  }
  [[nodiscard]] bool isPremium() const override {
    maybeThrow("isPremium");
    return false;
  }
  [[nodiscard]] Rx::Observable<QVUserPtr> userStream() const override {
    maybeThrow("userStream");
    return user.asObservable();
  }
  [[nodiscard]] QVVPNManagerStatus vpnStatus() const override {
    maybeThrow("vpnStatus");
    return QVVPNManagerStatus::disconnected;  // raw value 1: about to connect
  }
  [[nodiscard]] Rx::Observable<ConnectionStatus> connectionStatusStream() const override {
    return Rx::Observable<ConnectionStatus>::never();
  }
  [[nodiscard]] bool rateUsMomentCheck(RateUsMoment /*moment*/) const override {
    maybeThrow("rateUsMomentCheck");
    return true;
  }
  [[nodiscard]] bool rateUsPromptFlag() const override {
    maybeThrow("rateUsPromptFlag");
    return true;
  }
  [[nodiscard]] bool rateUsMomentBlock(RateUsMoment /*moment*/) const override {
    maybeThrow("rateUsMomentBlock");
    return false;
  }
  [[nodiscard]] bool isFreeUseActive() const override {
    maybeThrow("isFreeUseActive");
    return false;
  }

  Rx::BehaviorRelay<QVUserPtr> user{Sandbox::SandboxUser::make(false)};
};

}  // namespace QVRAdKit::Testing
