#include "QVRAdKit/Services/AdsService/AdsService.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <variant>

#include "QVRAdKit/Builders/AppOpenAdBuilder.h"
#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"
#include "QVRAdKit/Builders/RewardedVideoAdBuilder.h"
#include "QVRAdKit/Consent/AdsConsentService.h"
#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Host/QVVPNManagerStatus.h"
#include "QVRAdKit/Host/RateUsMoment.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"
#include "QVRAdKit/Services/AdsService/AdsServiceLogText.h"

namespace QVRAdKit {

namespace {

constexpr std::string_view kInit =
    "init(configProvider:userService:connectionService:rateUsService:adsConsentService:reporting:"
    "storage:freeUseService:adsPauseConfigProvider:)";
constexpr std::string_view kShouldShowAd = "shouldShowAd(for:)";
constexpr std::string_view kPauseAds = "pauseAds(for:)";

// The VPN status raw values that call for an interstitial.
constexpr std::int64_t kStatusBeforeConnect = 1;
constexpr std::int64_t kStatusBeforeDisconnect = 3;

constexpr std::size_t index(InterstitialAdPlacement placement) {
  return static_cast<std::size_t>(placement);
}

template <class Map, class Key>
const AdPlacementConfig* entry(const Map& map, Key key) {
  const auto found = map.find(key);
  return found == map.end() ? nullptr : &found->second;
}

using AdsServiceLogText::kFile;

}  // namespace

std::shared_ptr<AdsService> AdsService::create(
    std::shared_ptr<AdsConfigProvidable> configProvider,
    std::shared_ptr<UserServiceProtocol> userService,
    std::shared_ptr<ConnectionServiceProtocol> connectionService,
    std::shared_ptr<RateUsServiceProtocol> rateUsService,
    std::shared_ptr<AdsConsentService> adsConsentService, std::shared_ptr<QVReporting> reporting,
    std::shared_ptr<Storage> storage, std::shared_ptr<FreeUseServiceProtocol> freeUseService,
    std::shared_ptr<AdsPauseConfigProvidable> adsPauseConfigProvider) {
  return create(Dependencies{nullptr, std::move(configProvider), std::move(userService),
                             std::move(connectionService), std::move(rateUsService),
                             std::move(adsConsentService), std::move(reporting), std::move(storage),
                             std::move(freeUseService), std::move(adsPauseConfigProvider)});
}

std::shared_ptr<AdsService> AdsService::create(Dependencies dependencies) {
  Dependencies& d = dependencies;
  const std::pair<bool, std::string_view> required[] = {
      {d.configProvider == nullptr, "AdsService needs a configProvider"},
      {d.userService == nullptr, "AdsService needs a userService"},
      {d.connectionService == nullptr, "AdsService needs a connectionService"},
      {d.rateUsService == nullptr, "AdsService needs a rateUsService"},
      {d.reporting == nullptr, "AdsService needs a reporting"},
      {d.storage == nullptr, "AdsService needs a storage"},
  };
  for (const auto& [missing, message] : required) {
    if (missing) QVLogAssertionFailure(message, kFile, kInit, __LINE__);
  }
  // The host's edge: a host that names no environment runs the service in the installed one.
  Platform::Environment& environment =
      d.environment != nullptr ? *d.environment : Platform::Environment::current();
  return std::shared_ptr<AdsService>(
      new AdsService(environment, std::move(d.configProvider), std::move(d.userService),
                     std::move(d.connectionService), std::move(d.rateUsService),
                     std::move(d.adsConsentService), std::move(d.reporting), std::move(d.storage),
                     std::move(d.freeUseService), std::move(d.adsPauseConfigProvider)));
}

AdsService::AdsService(Platform::Environment& environment,
                       std::shared_ptr<AdsConfigProvidable> configProvider,
                       std::shared_ptr<UserServiceProtocol> userService,
                       std::shared_ptr<ConnectionServiceProtocol> connectionService,
                       std::shared_ptr<RateUsServiceProtocol> rateUsService,
                       std::shared_ptr<AdsConsentService> adsConsentService,
                       std::shared_ptr<QVReporting> reporting, std::shared_ptr<Storage> storage,
                       std::shared_ptr<FreeUseServiceProtocol> freeUseService,
                       std::shared_ptr<AdsPauseConfigProvidable> adsPauseConfigProvider)
    : environment_(environment),
      configProvider_(std::move(configProvider)),
      userService_(std::move(userService)),
      connectionService_(std::move(connectionService)),
      freeUseService_(std::move(freeUseService)),
      rateUsService_(std::move(rateUsService)),
      adsConsentService_(std::move(adsConsentService)),
      reporting_(std::move(reporting)),
      storage_(std::move(storage)),
      adsPauseConfigProvider_(std::move(adsPauseConfigProvider)) {}

AdsService::~AdsService() = default;

const AdPlacementConfig* AdsService::adPlacementConfig(const AdsPlacement& placement) const {
  if (!config_) return nullptr;
  struct Find {
    const AdsConfig& config;
    const AdPlacementConfig* operator()(InterstitialAdPlacement key) const {
      return entry(config.interstitialPlacements(), key);
    }
    const AdPlacementConfig* operator()(RewardedAdPlacement key) const {
      return entry(config.rewardedPlacements(), key);
    }
    const AdPlacementConfig* operator()(AppOpenAdPlacement key) const {
      return entry(config.appOpenPlacements(), key);
    }
  };
  return std::visit(Find{*config_}, placement.payload());
}

bool AdsService::isPausedByConfig(const AdsPlacement& placement) const {
  if (!adsPauseConfigProvider_) return false;
  const std::optional<AdsPauseConfig> pauseConfig = adsPauseConfigProvider_->pauseConfig();
  return pauseConfig && pauseConfig->checkCondition(placement);
}

bool AdsService::isPausedByStoredDate() const {
  std::optional<StorableValue> stored;
  try {
    stored = storage_->value(kAdsPausedTillDateKey);
  } catch (...) {
    reportUnusablePauseDate("it could not be read: " + describeException(std::current_exception()));
    return false;
  }
  if (!stored) return false;
  const auto* pausedTill = std::get_if<Platform::Date>(&*stored);
  if (pausedTill == nullptr) {
    reportUnusablePauseDate("the stored value is not a date");
    return false;
  }
  // A date that has passed stays stored and is simply ignored.
  return environment_.clock().now() < *pausedTill;
}

void AdsService::reportUnusablePauseDate(std::string_view reason) const {
  if (reportedUnusablePauseDate_) return;
  reportedUnusablePauseDate_ = true;
  std::string message = "ADs pause under \"";
  message.append(kAdsPausedTillDateKey).append("\" is ignored: ").append(reason);
  QVLog(LogFlag::error, message, kFile, kShouldShowAd, __LINE__);
}

bool AdsService::shouldShowAd(const AdsPlacement& placement) const {
  QVR_CHECK_MAIN_QUEUE();
  return callHost(kFile, kShouldShowAd, __LINE__, false,
                  [&] { return decideShouldShowAd(placement); });
}

bool AdsService::decideShouldShowAd(const AdsPlacement& placement) const {
  if (!userService_ || userService_->isPremium()) return false;
  if (freeUseService_ && freeUseService_->isFreeUseActive()) return false;
  const AdPlacementConfig* placementConfig = adPlacementConfig(placement);
  if (placementConfig == nullptr) return false;
  if (!storage_ || isPausedByStoredDate()) return false;
  if (isPausedByConfig(placement)) {
    QVLog(LogFlag::warning, "ADs would be paused for placement: " + placement.description(), kFile,
          kShouldShowAd, __LINE__);
    return false;
  }
  return !placementConfig->keys().empty();
}

InterstitialType AdsService::interstitialTypeToPresent() {
  QVR_CHECK_MAIN_QUEUE();
  // A host service that throws part-way records no grant: the grant is the last step.
  return callHost(kFile, "interstitialTypeToPresent()", __LINE__, InterstitialType::none,
                  [&] { return decideInterstitialTypeToPresent(); });
}

InterstitialType AdsService::decideInterstitialTypeToPresent() {
  if (!userService_ || userService_->isPremium()) return InterstitialType::none;
  if (!config_ || config_->interstitialPlacements().empty()) return InterstitialType::none;
  if (!connectionService_ || !rateUsService_) return InterstitialType::none;

  InterstitialAdPlacement candidate{};
  InterstitialType result{};
  RateUsMoment moment{};
  switch (rawValue(connectionService_->vpnStatus())) {
    case kStatusBeforeConnect:
      candidate = InterstitialAdPlacement::connect;
      result = InterstitialType::connect;
      moment = RateUsMoment::connect;
      break;
    case kStatusBeforeDisconnect:
      candidate = InterstitialAdPlacement::disconnect;
      result = InterstitialType::disconnect;
      moment = RateUsMoment::disconnect;
      break;
    default:
      return InterstitialType::none;
  }

  const AdPlacementConfig* placementConfig =
      adPlacementConfig(AdsPlacement::interstitial(candidate));
  // The network's own capping applies only once its bridge has been started.
  if (placementConfig != nullptr && placementConfig->source() == AdSource::ironSource &&
      ironSource_ && ironSource_->isInterstitialCappedFor(placementConfig->keys())) {
    return InterstitialType::none;
  }
  // The interval runs from the last grant of this placement, not from a presentation.
  const std::optional<Platform::Date>& lastGrant = adRequestDates_[index(candidate)];
  if (lastGrant && placementConfig != nullptr &&
      environment_.clock().now().timeIntervalSince(*lastGrant) < placementConfig->timeout()) {
    return InterstitialType::none;
  }
  // The prompt flag is asked only at a rate-us moment.
  if (rateUsService_->rateUsMomentCheck(moment) && !rateUsService_->rateUsPromptFlag()) {
    return InterstitialType::none;
  }
  if (rateUsService_->rateUsMomentBlock(moment)) return InterstitialType::none;

  adRequestDates_[index(candidate)] = environment_.clock().now();
  return result;
}

void AdsService::pauseAds(Platform::TimeInterval interval) {
  QVR_CHECK_MAIN_QUEUE();
  if (std::isnan(interval)) {
    QVLogAssertionFailure("ADs pause needs a number of seconds, got NaN; the pause is unchanged",
                          kFile, kPauseAds, __LINE__);
    return;
  }
  if (!storage_) return;  // create() has reported it
  // An infinite interval has no end date of its own: +infinity pauses "until further notice",
  // which is the farthest date the store keeps, and -infinity means a pause that ended long ago,
  // which lifts any pause like every other negative interval. Finite intervals reaching beyond
  // those dates are held to them too, so that the stored date is always a real, comparable one.
  const Platform::Date pausedTill =
      std::clamp(environment_.clock().now().addingTimeInterval(interval),
                 Platform::Date::distantPast(), Platform::Date::distantFuture());
  std::optional<Platform::Error> error;
  try {
    error = storage_->write<Platform::Date>(pausedTill, kAdsPausedTillDateKey);
  } catch (...) {
    error = Platform::Error{"", 0, describeException(std::current_exception())};
  }
  if (error) {
    QVLog(LogFlag::error, "ADs pause could not be saved: " + error->localizedDescription, kFile,
          kPauseAds, __LINE__);
  }
}

std::optional<AdsPlacement> AdsService::appLaunchPlacement() const {
  QVR_CHECK_MAIN_QUEUE();
  if (!config_) return std::nullopt;
  if (config_->interstitialPlacements().contains(InterstitialAdPlacement::appLaunch)) {
    return AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch);
  }
  if (config_->appOpenPlacements().contains(AppOpenAdPlacement::appLaunch)) {
    return AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch);
  }
  return std::nullopt;
}

bool AdsService::shouldShowAppLaunchAd() const {
  QVR_CHECK_MAIN_QUEUE();
  const std::optional<AdsPlacement> placement = appLaunchPlacement();
  return placement && shouldShowAd(*placement);
}

double AdsService::appOpenAdTimeout() const {
  QVR_CHECK_MAIN_QUEUE();
  if (!config_) return 0;
  const AdPlacementConfig* main = entry(config_->appOpenPlacements(), AppOpenAdPlacement::main);
  return main == nullptr ? 0 : main->timeout();
}

bool AdsService::shouldShowDisconnectAd() const {
  QVR_CHECK_MAIN_QUEUE();
  return shouldShowAd(AdsPlacement::interstitial(InterstitialAdPlacement::disconnect));
}

}  // namespace QVRAdKit
