#pragma once
// PartnerAdsProvider turns the partner ads the host attaches to its user into the content of at
// most one banner, and publishes it in `model` whenever the user or the connection changes. It is
// the banner's BannerAdConfigProvider and tells the host which partner-ad experiments the user
// takes part in (ExperimentsProvider).
//
// The ad shown is the first of the user's partner ads with a non-empty title and an icon address
// (an ad whose iconUrl() is none counts as having an empty address). Its enabledState then decides
// whether it is shown: 1 and 3 always, 2 unless the VPN status's raw value is 3 (connected),
// anything else never. A disabled first candidate hides every later ad: it is not skipped.
// Every reload and every connection change publishes, repeats included; consumers drop repeats.
// While the host has no user, the last state stays in place.
// Host code that throws (the user service, the user, an ad's accessors, the connection service) is
// logged at error level and never reaches the host: a stream that cannot be subscribed is not
// followed, a user service that throws counts as no user,
// an ad that throws while chosen is passed over, and one that throws while published hides the
// banner.
//
// Example:
//   auto partnerAds = PartnerAdsProvider::create(userService, connectionService);
//   auto banner = BannerAdBuilder(partnerAds, appearances).buildBannerAd(listener);
// Threading: main queue only. It publishes on the thread on which the host's user and connection
// streams deliver, and banners draw on the thread a model is published on, so those streams must
// deliver on the main queue.
// Ownership: owns both services; its two subscriptions hold it weakly and end with it.

#include <memory>
#include <string>

#include "QVRAdKit/Banner/BannerAdConfigProvider.h"
#include "QVRAdKit/Host/ConnectionServiceProtocol.h"
#include "QVRAdKit/Host/ExperimentsProvider.h"
#include "QVRAdKit/Host/QVPartnerAd.h"
#include "QVRAdKit/Host/UserServiceProtocol.h"
#include "QVRAdKit/Rx/DisposeBag.h"

namespace QVRAdKit {

class PartnerAdsProvider final : public ExperimentsProvider,
                                 public BannerAdConfigProvider,
                                 public std::enable_shared_from_this<PartnerAdsProvider> {
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  // Stores the services, loads the current user's partner ads once, then follows the connection
  // and the user. A consumer subscribing right after sees the first result. Both services are
  // required: with either null this reports an assertion failure naming it and returns nullptr.
  static std::shared_ptr<PartnerAdsProvider> create(
      std::shared_ptr<UserServiceProtocol> userService,
      std::shared_ptr<ConnectionServiceProtocol> connectionService);

  PartnerAdsProvider(ConstructionKey key, std::shared_ptr<UserServiceProtocol> userService,
                     std::shared_ptr<ConnectionServiceProtocol> connectionService);
  PartnerAdsProvider(const PartnerAdsProvider&) = delete;
  PartnerAdsProvider& operator=(const PartnerAdsProvider&) = delete;

  // "testId:testGroup" for every ad that has both, each pair once, joined with "," in no defined
  // order; empty when no ad has both.
  [[nodiscard]] std::string experimentGroups() const override { return experimentGroups_; }
  void setExperimentGroups(std::string groups) { experimentGroups_ = std::move(groups); }

  // The ad last chosen, or nullptr when none qualified.
  [[nodiscard]] std::shared_ptr<const QVPartnerAd> currentAd() const { return currentAd_; }
  void setCurrentAd(std::shared_ptr<const QVPartnerAd> ad) { currentAd_ = std::move(ad); }

  // The same relay for the provider's whole life: it cannot be replaced, so banners built on it
  // never go stale.
  [[nodiscard]] std::shared_ptr<BannerAdModelRelay> model() const override { return model_; }

  // Has no effect: a banner marked as seen is offered again the next time it is published.
  void markAsSeen(const BannerAdModel& model) override;

 private:
  void reloadPartnerAds();
  void updateModelFromConnection();
  void updateModel(QVVPNManagerStatus status);

  const std::shared_ptr<UserServiceProtocol> userService_;
  const std::shared_ptr<ConnectionServiceProtocol> connectionService_;
  Rx::DisposeBag bag_;
  std::string experimentGroups_;
  std::shared_ptr<const QVPartnerAd> currentAd_;
  const std::shared_ptr<BannerAdModelRelay> model_;
};

}  // namespace QVRAdKit
