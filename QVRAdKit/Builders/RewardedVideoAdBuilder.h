#pragma once
// RewardedVideoAdBuilder owns the single rewarded video of one rewarded placement for its whole
// life: an IronSource rewarded ad for ironSource (which takes no key) or an AdMob rewarded ad for
// the placement's first key. Every non-premium user value asks the ad to load and re-binds the
// loading relay to the ad's loading stream; absent and premium users change nothing. A user
// service that throws is logged: a stream that cannot be subscribed leaves the builder stopped (a
// later start() tries again), and a premium state that cannot be read counts as premium.
// Threading: main queue; the public operations check it. Owned by the ads service; its
// subscription holds it weakly.

#include <memory>
#include <string>

#include "QVRAdKit/Builders/RewardedVideoAdBuilderProtocol.h"
#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Host/UserServiceProtocol.h"
#include "QVRAdKit/Reporting/AdsReporter.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"
#include "QVRAdKit/Rx/DisposeBag.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class RewardedVideoAdBuilder final : public RewardedVideoAdBuilderProtocol,
                                     public std::enable_shared_from_this<RewardedVideoAdBuilder> {
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  // Creates the ad (which does not load yet); starts at once when shouldStart is true.
  // environment (where the ad loads, and whose clock times it) outlives the builder.
  static std::shared_ptr<RewardedVideoAdBuilder> create(
      Platform::Environment& environment, AdSource source, const std::string& adUnitID,
      std::shared_ptr<UserServiceProtocol> userService,
      const std::shared_ptr<QVReporting>& reporting, bool shouldStart);

  RewardedVideoAdBuilder(ConstructionKey key, Platform::Environment& environment, AdSource source,
                         const std::string& adUnitID,
                         std::shared_ptr<UserServiceProtocol> userService,
                         const std::shared_ptr<QVReporting>& reporting);
  RewardedVideoAdBuilder(const RewardedVideoAdBuilder&) = delete;
  RewardedVideoAdBuilder& operator=(const RewardedVideoAdBuilder&) = delete;

  void start() override;
  // Asks the ad to load now, whether running or not and whatever the user; the loading relay is
  // not re-bound here.
  void reload() override;
  // The loading state as last bound; false until the first non-premium user value.
  [[nodiscard]] Rx::Observable<bool> isLoadingStream() const override;
  [[nodiscard]] std::shared_ptr<RewardedVideoAd> getAd() const override;

  [[nodiscard]] const std::shared_ptr<RewardedVideoAd>& rewardedAd() const { return rewardedAd_; }
  [[nodiscard]] bool running() const { return running_; }
  // Running, but the user stream's last value was no user: nothing loads until a user comes.
  [[nodiscard]] bool waitsForUser() const { return running_ && !hasUser_; }
  [[nodiscard]] AdSource source() const { return source_; }
  [[nodiscard]] const std::shared_ptr<AdsReporter>& reporter() const { return reporter_; }

 private:
  void userChanged(const QVUser& user);
  void rebindLoadingRelay();

  std::shared_ptr<UserServiceProtocol> userService_;
  std::shared_ptr<RewardedVideoAd> rewardedAd_;
  std::shared_ptr<AdsReporter> reporter_;
  Rx::DisposeBag bag_;
  bool running_ = false;
  bool hasUser_ = false;
  AdSource source_;
  Rx::BehaviorRelay<bool> isLoadingRelay_{false};
  Rx::DisposeBag isLoadingBag_;
};

}  // namespace QVRAdKit
