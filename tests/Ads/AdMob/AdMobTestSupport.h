#pragma once
// Shared fixture of the ad tests: a fresh environment on a manual clock with the scripted Google
// Mobile Ads sandbox installed, and one ordered log into which the recording reporter and the
// recording host delegates write. A probe, when set, is evaluated at each entry and appended to
// it, so a test sees the flags as they were at the moment of each call. Main thread only.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/Ads/AppOpenAdDelegate.h"
#include "QVRAdKit/Ads/InterstitialAdDelegate.h"
#include "QVRAdKit/Ads/RewardedVideoAd.h"
#include "QVRAdKit/Ads/RewardedVideoAdDelegate.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Reporting/AdsReportable.h"
#include "QVRAdKit/Rx/Observable.h"
#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"

namespace QVRAdKit::AdMobTesting {

using Strings = std::vector<std::string>;

struct EventLog {
  Strings entries;
  Strings uuids;  // the uuid of every report, in order
  std::function<std::string()> probe;

  void add(std::string entry) {
    if (probe) entry += " [" + probe() + "]";
    entries.push_back(std::move(entry));
  }
  Strings take() { return std::exchange(entries, {}); }
};

inline std::string text(const std::optional<std::string>& value) { return value.value_or("-"); }
inline std::string text(const Platform::Error& error) {
  return error.domain + "#" + std::to_string(error.code);
}

// "loaded unit NetA": the uuid goes to its own list and the source is checked apart.
class RecordingReportable final : public AdsReportable {
 public:
  using Unit = std::optional<std::string>;
  explicit RecordingReportable(std::shared_ptr<EventLog> log) : log_(std::move(log)) {}

  void reportAdRequested(AdSource source, const Unit& unit, const std::string& uuid) override {
    record(source, uuid, "requested " + text(unit));
  }
  void reportAdLoaded(AdSource source, const Unit& unit, const std::string& uuid,
                      const Unit& network) override {
    record(source, uuid, "loaded " + text(unit) + " " + text(network));
  }
  void reportAdFailed(AdSource source, const Unit& unit, const std::string& uuid,
                      const Unit& network, const Platform::Error& error) override {
    record(source, uuid, "failed " + text(unit) + " " + text(network) + " " + text(error));
  }
  void reportAdOpened(AdSource source, const Unit& unit, const std::string& uuid,
                      const Unit& network) override {
    record(source, uuid, "opened " + text(unit) + " " + text(network));
  }
  void reportAdViewed(AdSource source, const Unit& unit, const std::string& uuid,
                      const Unit& network, const std::optional<Platform::Error>& error) override {
    record(source, uuid,
           "viewed " + text(unit) + " " + text(network) + (error ? " " + text(*error) : ""));
  }

 private:
  void record(AdSource source, const std::string& uuid, std::string entry) {
    EXPECT_EQ(source, AdSource::adMob) << entry;
    log_->uuids.push_back(uuid);
    log_->add(std::move(entry));
  }
  std::shared_ptr<EventLog> log_;
};

class RecordingInterstitialDelegate final : public InterstitialAdDelegate {
 public:
  explicit RecordingInterstitialDelegate(std::shared_ptr<EventLog> log) : log_(std::move(log)) {}
  void interstitialAdDidOpen(InterstitialAd&) override { log_->add("didOpen"); }
  void interstitialAdWillClose(InterstitialAd&) override { log_->add("willClose"); }
  void interstitialAdDidClose(InterstitialAd&) override { log_->add("didClose"); }
  void interstitialAdDidFail(InterstitialAd&) override { log_->add("didFail"); }
  void interstitialAdDidFailToShow(InterstitialAd&) override { log_->add("didFailToShow"); }

 private:
  std::shared_ptr<EventLog> log_;
};

class RecordingAppOpenDelegate final : public AppOpenAdDelegate {
 public:
  explicit RecordingAppOpenDelegate(std::shared_ptr<EventLog> log) : log_(std::move(log)) {}
  void appOpenAdDidOpen(AppOpenAd&) override { log_->add("didOpen"); }
  void appOpenAdDidClose(AppOpenAd&) override { log_->add("didClose"); }
  void appOpenAdDidFailToPresent(AppOpenAd&) override { log_->add("didFailToPresent"); }

 private:
  std::shared_ptr<EventLog> log_;
};

class RecordingRewardedDelegate final : public RewardedVideoAdDelegate {
 public:
  explicit RecordingRewardedDelegate(std::shared_ptr<EventLog> log) : log_(std::move(log)) {}
  void rewardedVideoAdDidEarnReward(RewardedVideoAd& ad) override {
    log_->add("didEarnReward " + ad.getRewardValue().stringValue() + " " + ad.getRewardType());
  }
  void rewardedVideoAdDidStartLoading(RewardedVideoAd&) override { log_->add("didStartLoading"); }
  void rewardedVideoAdDidLoad(RewardedVideoAd&) override { log_->add("didLoad"); }
  void rewardedVideoAdDidFailToLoad(RewardedVideoAd&, const Platform::Error& error) override {
    log_->add("didFailToLoad " + text(error));
  }
  void rewardedVideoAdDidOpen(RewardedVideoAd&) override { log_->add("didOpen"); }
  void rewardedVideoAdDidFailToPresent(RewardedVideoAd&, const Platform::Error& error) override {
    log_->add("didFailToPresent " + text(error) + " " + error.localizedDescription);
  }
  void rewardedVideoAdDidClose(RewardedVideoAd&) override { log_->add("didClose"); }

 private:
  std::shared_ptr<EventLog> log_;
};

// Every event of a stream, as text: "1", "0", "completed".
struct StreamRecorder {
  Strings events;
  Rx::Disposable subscription;

  explicit StreamRecorder(const Rx::Observable<bool>& stream)
      : subscription(stream.subscribe([this](bool value) { events.push_back(value ? "1" : "0"); },
                                      [this](const Rx::Error&) { events.push_back("error"); },
                                      [this] { events.push_back("completed"); })) {}
};

class AdMobAdapterTest : public ::testing::Test {
 protected:
  using RequestID = Sandbox::GoogleMobileAdsSandbox::RequestID;
  using AdKind = Sandbox::GoogleMobileAdsSandbox::AdKind;

  static Platform::Error error(int code) { return {"com.google.admob", code, "failed"}; }

  // The single request the sandbox holds now, checked for kind and ad-unit key.
  RequestID onlyRequest(AdKind kind, const std::string& adUnitID) {
    auto all = gma->requests();
    EXPECT_EQ(all.size(), 1u);
    if (all.empty()) return 0;
    EXPECT_EQ(all.front().kind, kind);
    EXPECT_EQ(all.front().adUnitID, adUnitID);
    return all.front().id;
  }

  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<Sandbox::GoogleMobileAdsSandbox> gma =
      Sandbox::GoogleMobileAdsSandbox::install(*environment);
  std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
  std::shared_ptr<RecordingReportable> reporter = std::make_shared<RecordingReportable>(log);
  std::shared_ptr<Platform::ViewController> viewController =
      std::make_shared<Platform::ViewController>("home");
};

}  // namespace QVRAdKit::AdMobTesting
