#include "QVRAdKit/Banner/PartnerAdsProvider.h"

#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

namespace QVRAdKit {
namespace {

// The VPN status raw value (connected) that hides banners whose enabled state is 2.
constexpr std::int64_t kHidingVPNStatus = 3;

bool isShown(std::int64_t enabledState, QVVPNManagerStatus status) {
  switch (enabledState) {
    case 1:
    case 3:
      return true;
    case 2:
      return rawValue(status) != kHidingVPNStatus;
    default:
      return false;
  }
}

constexpr std::string_view kReload = "reloadPartnerAds()";
constexpr std::string_view kUpdate = "updateModel(with:)";

// An ad whose accessors throw is logged and passed over, as one without a title would be.
bool qualifies(const QVPartnerAd& ad) {
  return callHost(QVR_FILE_TEXT, kReload, __LINE__, false, [&] {
    if (ad.title().empty()) return false;
    const auto icon = ad.iconUrl();
    return icon && !icon->absoluteString().empty();
  });
}

std::string joinedExperimentGroups(const std::vector<std::shared_ptr<const QVPartnerAd>>& ads) {
  std::unordered_set<std::string> groups;
  for (const auto& ad : ads) {
    if (!ad) continue;
    // An ad whose experiment accessors throw is logged and counts as one without both.
    std::string pair = callHost(QVR_FILE_TEXT, kReload, __LINE__, std::string(), [&] {
      std::string testId = ad->testId();
      const std::string testGroup = ad->testGroup();
      if (testId.empty() || testGroup.empty()) return std::string();
      testId += ':';
      testId += testGroup;
      return testId;
    });
    if (!pair.empty()) groups.insert(std::move(pair));
  }
  std::string joined;
  for (const auto& group : groups) {
    if (!joined.empty()) joined += ',';
    joined += group;
  }
  return joined;
}

}  // namespace

std::shared_ptr<PartnerAdsProvider> PartnerAdsProvider::create(
    std::shared_ptr<UserServiceProtocol> userService,
    std::shared_ptr<ConnectionServiceProtocol> connectionService) {
  QVR_CHECK_MAIN_QUEUE();
  if (!userService || !connectionService) {
    QVLogAssertionFailure(!userService ? "PartnerAdsProvider needs a user service: got null"
                                       : "PartnerAdsProvider needs a connection service: got null",
                          QVR_FILE_TEXT, "init(userService:connectionService:)", __LINE__);
    return nullptr;
  }
  auto provider = std::make_shared<PartnerAdsProvider>(ConstructionKey{}, std::move(userService),
                                                       std::move(connectionService));
  // Loaded once before following anything, so a consumer subscribing right after sees a result
  // even from services whose streams do not replay their current value.
  provider->reloadPartnerAds();

  std::weak_ptr<PartnerAdsProvider> weak = provider;
  // A stream the host fails to give or subscribe is logged and not followed: the first result
  // stands.
  constexpr std::string_view kCreate = "init(userService:connectionService:)";
  callHostAction(QVR_FILE_TEXT, kCreate, __LINE__, [&] {
    // A connection change only says "read the VPN status again"; the event itself is not used.
    provider->connectionService_->connectionStatusStream()
        .map([weak](const ConnectionStatus&) { return weak.lock(); })
        .unwrap()
        .subscribe([](const std::shared_ptr<PartnerAdsProvider>& self) {
          self->updateModelFromConnection();
        })
        .disposed(provider->bag_);
  });
  callHostAction(QVR_FILE_TEXT, kCreate, __LINE__, [&] {
    // A user change reloads from currentUser: the emitted user is not used.
    provider->userService_->userStream()
        .subscribe([weak](const QVUserPtr&) {
          if (auto self = weak.lock()) self->reloadPartnerAds();
        })
        .disposed(provider->bag_);
  });
  return provider;
}

PartnerAdsProvider::PartnerAdsProvider(ConstructionKey /*key*/,
                                       std::shared_ptr<UserServiceProtocol> userService,
                                       std::shared_ptr<ConnectionServiceProtocol> connectionService)
    : userService_(std::move(userService)),
      connectionService_(std::move(connectionService)),
      model_(std::make_shared<BannerAdModelRelay>(std::nullopt)) {}

void PartnerAdsProvider::markAsSeen(const BannerAdModel& /*model*/) {}

// Every host call is guarded: an exception is logged and never reaches the host's stream that
// triggered the reload. A user service that throws counts as no user; a user whose ads cannot be
// read keeps what was shown, as no user does.
void PartnerAdsProvider::reloadPartnerAds() {
  const QVUserPtr user = callHost(QVR_FILE_TEXT, kReload, __LINE__, QVUserPtr(),
                                  [&] { return userService_->currentUser(); });
  if (!user) return;  // no user yet: keep what was shown
  using Ads = std::vector<std::shared_ptr<const QVPartnerAd>>;
  const auto ads = callHost(QVR_FILE_TEXT, kReload, __LINE__, std::optional<Ads>(),
                            [&] { return std::optional<Ads>(user->partnerAds()); });
  if (!ads) return;
  experimentGroups_ = joinedExperimentGroups(*ads);
  currentAd_ = nullptr;
  for (const auto& ad : *ads) {
    if (ad && qualifies(*ad)) {
      currentAd_ = ad;
      break;
    }
  }
  updateModelFromConnection();
}

// A connection service whose status cannot be read is logged and publishes nothing: the banner
// keeps what it shows.
void PartnerAdsProvider::updateModelFromConnection() {
  const auto status =
      callHost(QVR_FILE_TEXT, kUpdate, __LINE__, std::optional<QVVPNManagerStatus>(),
               [&] { return std::optional(connectionService_->vpnStatus()); });
  if (status) updateModel(*status);
}

// An ad whose accessors throw here is logged and hides the banner, as a disabled ad does.
void PartnerAdsProvider::updateModel(QVVPNManagerStatus status) {
  // Held locally: a subscriber may replace the relay or the current ad while it is told.
  const auto relay = model_;
  const auto ad = currentAd_;
  const auto model = callHost(
      QVR_FILE_TEXT, kUpdate, __LINE__, std::optional<BannerAdModel>(),
      [&]() -> std::optional<BannerAdModel> {
        if (!ad || !isShown(ad->enabledState(), status)) return std::nullopt;
        // qualifies() let only ads with an icon address become current; a host may also set one.
        auto icon = ad->iconUrl();
        if (icon) {
          return BannerAdModel(ad->partnerName(), ad->title(), ad->subtitle(), std::move(*icon),
                               ad->redirectUrl(), ad->isCloseEnabled());
        }
        QVLogAssertionFailure("The current partner ad has no icon address; no banner is shown",
                              QVR_FILE_TEXT, kUpdate, __LINE__);
        return std::nullopt;
      });
  relay->accept(model);
}

}  // namespace QVRAdKit
