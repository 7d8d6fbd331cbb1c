#pragma once
// SandboxUser is a plain user value for the sandbox host and tests: premium or not, with partner
// ads.

#include <memory>
#include <utility>
#include <vector>

#include "QVRAdKit/Host/QVUser.h"

namespace QVRAdKit::Sandbox {

class SandboxUser final : public QVUser {
 public:
  explicit SandboxUser(bool premium,
                       std::vector<std::shared_ptr<const QVPartnerAd>> partnerAds = {})
      : premium_(premium), partnerAds_(std::move(partnerAds)) {}

  static QVUserPtr make(bool premium) { return std::make_shared<SandboxUser>(premium); }

  [[nodiscard]] bool isPremium() const override { return premium_; }
  [[nodiscard]] std::vector<std::shared_ptr<const QVPartnerAd>> partnerAds() const override {
    return partnerAds_;
  }

 private:
  bool premium_;
  std::vector<std::shared_ptr<const QVPartnerAd>> partnerAds_;
};

}  // namespace QVRAdKit::Sandbox
