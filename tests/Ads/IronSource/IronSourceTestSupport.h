#pragma once
// Shared fixtures of the IronSource bridge tests: a fresh environment with the scripted SDK
// installed, and fakes of the reporter and of the host delegates that write into one ordered log,
// so that a test can check the interleaving of reports, flags and delegate calls. Main thread only.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/Ads/InterstitialAdDelegate.h"
#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Ads/RewardedVideoAd.h"
#include "QVRAdKit/Ads/RewardedVideoAdDelegate.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Reporting/AdsReportable.h"
#include "Sandbox/IronSource/ScriptedIronSource.h"

namespace QVRAdKit::IronSourceTesting {

using Log = std::vector<std::string>;

inline std::string text(const std::optional<std::string>& value) {
  return value.value_or("nil");
}

// Records every report as "kind(source, unitID, uuid[, network][, error code])".
class RecordingReporter final : public AdsReportable {
 public:
  using Text = std::optional<std::string>;
  explicit RecordingReporter(std::shared_ptr<Log> log) : log_(std::move(log)) {}

  void reportAdRequested(AdSource source, const Text& unit, const std::string& uuid) override {
    record("requested", source, unit, uuid, "");
  }
  void reportAdLoaded(AdSource source, const Text& unit, const std::string& uuid,
                      const Text& network) override {
    record("loaded", source, unit, uuid, ", " + text(network));
  }
  void reportAdFailed(AdSource source, const Text& unit, const std::string& uuid,
                      const Text& network, const Platform::Error& error) override {
    record("failed", source, unit, uuid, ", " + text(network) + ", " + std::to_string(error.code));
  }
  void reportAdOpened(AdSource source, const Text& unit, const std::string& uuid,
                      const Text& network) override {
    record("opened", source, unit, uuid, ", " + text(network));
  }
  void reportAdViewed(AdSource source, const Text& unit, const std::string& uuid,
                      const Text& network, const std::optional<Platform::Error>& error) override {
    record("viewed", source, unit, uuid,
           ", " + text(network) + ", " + (error ? std::to_string(error->code) : "nil"));
  }

 private:
  void record(const std::string& kind, AdSource source, const Text& unit, const std::string& uuid,
              const std::string& rest) {
    log_->push_back(kind + "(" + std::string(caseName(source)) + ", " + text(unit) + ", " + uuid + rest + ")");
  }

  std::shared_ptr<Log> log_;
};

// Records "name(uuid)" for each call, the uuid being the ad's.
class RecordingInterstitialDelegate final : public InterstitialAdDelegate {
 public:
  explicit RecordingInterstitialDelegate(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  void interstitialAdDidOpen(InterstitialAd& ad) override { record("didOpen", ad); }
  void interstitialAdWillClose(InterstitialAd& ad) override { record("willClose", ad); }
  void interstitialAdDidClose(InterstitialAd& ad) override { record("didClose", ad); }
  void interstitialAdDidFail(InterstitialAd& ad) override { record("didFail", ad); }
  void interstitialAdDidFailToShow(InterstitialAd& ad) override { record("didFailToShow", ad); }

 private:
  void record(const std::string& name, InterstitialAd& ad) {
    auto* ironSourceAd = dynamic_cast<IronSourceInterstitialAd*>(&ad);
    log_->push_back(name + "(" + (ironSourceAd ? ironSourceAd->uuid() : "?") + ")");
  }
  std::shared_ptr<Log> log_;
};

// Records each call by name; error codes and the reward at hand where the call carries them.
class RecordingRewardedDelegate final : public RewardedVideoAdDelegate {
 public:
  explicit RecordingRewardedDelegate(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  void rewardedVideoAdDidEarnReward(RewardedVideoAd& ad) override {
    log_->push_back("didEarnReward(" + ad.getRewardType() + ", " +
                    ad.getRewardValue().stringValue() + ")");
  }
  void rewardedVideoAdDidStartLoading(RewardedVideoAd&) override {
    log_->push_back("didStartLoading");
  }
  void rewardedVideoAdDidLoad(RewardedVideoAd&) override { log_->push_back("didLoad"); }
  void rewardedVideoAdDidFailToLoad(RewardedVideoAd&, const Platform::Error& error) override {
    log_->push_back("didFailToLoad(" + std::to_string(error.code) + ")");
  }
  void rewardedVideoAdDidOpen(RewardedVideoAd&) override { log_->push_back("didOpen"); }
  void rewardedVideoAdDidFailToPresent(RewardedVideoAd&, const Platform::Error& error) override {
    log_->push_back("didFailToPresent(" + std::to_string(error.code) + ")");
  }
  void rewardedVideoAdDidClose(RewardedVideoAd&) override { log_->push_back("didClose"); }

 private:
  std::shared_ptr<Log> log_;
};

// A fresh environment per test with the scripted SDK installed in it.
class IronSourceTest : public ::testing::Test {
 protected:
  std::shared_ptr<IronSourceHelper> startedHelper() {
    auto helper = IronSourceHelper::sharedInstance();
    helper->start("app-key", [] {});
    return helper;
  }

  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<Sandbox::ScriptedIronSource> sdk = [this] {
    auto scripted = Sandbox::ScriptedIronSource::create();
    scripted->install(*environment);
    return scripted;
  }();
  std::shared_ptr<Log> log = std::make_shared<Log>();
  std::shared_ptr<RecordingReporter> reporter = std::make_shared<RecordingReporter>(log);
  std::shared_ptr<Platform::ViewController> root = std::make_shared<Platform::ViewController>();
  const Platform::Error loadError{"test", 7, "no fill"};
};

}  // namespace QVRAdKit::IronSourceTesting
