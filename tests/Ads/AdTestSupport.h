#pragma once
// Shared fixtures of the ad tests: one ordered log into which a recording reporter and recording
// host delegates write, so a test checks the interleaving of reports, flag changes and delegate
// calls; and fresh environments with the scripted Google Mobile Ads or IronSource SDK installed.
// Main thread only.

#include <gtest/gtest.h>

#include "QVRAdKit/Ads/AppOpenAdDelegate.h"
#include "QVRAdKit/Ads/InterstitialAdDelegate.h"
#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Ads/RewardedVideoAd.h"
#include "QVRAdKit/Ads/RewardedVideoAdDelegate.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Reporting/AdsReportable.h"
#include "QVRAdKit/Rx/Observable.h"
#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"
#include "Sandbox/IronSource/ScriptedIronSource.h"

namespace QVRAdKit::AdTesting {

using Strings = std::vector<std::string>;

// The entries in order. A probe, when set, is evaluated at each entry and appended to it, so a
// test sees an ad's flags as they were at the moment of each call; onAdd, when set, sees each
// entry once written, so a test can act the way a host would at that moment. With shortUuids each
// uuid is written as A, B, ... in the order it first appears.
struct Log : Strings {
  std::function<std::string()> probe;
  std::function<void(std::string)> onAdd;
  bool shortUuids = false;
  Strings seen;

  void add(std::string entry) {
    if (probe) entry += " [" + probe() + "]";
    push_back(std::move(entry));
    if (onAdd) onAdd(back());
  }
  std::string uuid(std::string_view raw) {
    if (!shortUuids) return std::string(raw);
    auto at = std::find(seen.begin(), seen.end(), raw);
    if (at == seen.end()) at = seen.insert(seen.end(), std::string(raw));
    return std::string(1, static_cast<char>('A' + (at - seen.begin())));
  }
  Strings take() { return std::exchange(static_cast<Strings&>(*this), {}); }
  static std::string text(const std::optional<std::string>& s) { return s.value_or("nil"); }
  static std::string text(const AdsReportable::Text& s) { return s ? std::string(*s) : "nil"; }
  static std::string text(const Platform::Error& e) {
    return e.domain + "#" + std::to_string(e.code);
  }
};

// Records every report as "kind(source, unitID, uuid[, network][, error])".
class RecordingReporter final : public AdsReportable {
 public:
  using Text = AdsReportable::Text;
  explicit RecordingReporter(std::shared_ptr<Log> log) : log_(std::move(log)) {}

  void reportAdRequested(AdSource source, Text unit, std::string_view uuid) override {
    record("requested", source, unit, uuid, "");
  }
  void reportAdLoaded(AdSource source, Text unit, std::string_view uuid, Text network) override {
    record("loaded", source, unit, uuid, ", " + Log::text(network));
  }
  void reportAdFailed(AdSource source, Text unit, std::string_view uuid, Text network,
                      const Platform::Error& error) override {
    record("failed", source, unit, uuid, ", " + Log::text(network) + ", " + Log::text(error));
  }
  void reportAdOpened(AdSource source, Text unit, std::string_view uuid, Text network) override {
    record("opened", source, unit, uuid, ", " + Log::text(network));
  }
  void reportAdViewed(AdSource source, Text unit, std::string_view uuid, Text network,
                      const std::optional<Platform::Error>& error) override {
    record("viewed", source, unit, uuid,
           ", " + Log::text(network) + (error ? ", " + Log::text(*error) : ""));
  }

 private:
  void record(const std::string& kind, AdSource source, const Text& unit, std::string_view uuid,
              const std::string& rest) {
    log_->add(kind + "(" + std::string(caseName(source)) + ", " + Log::text(unit) + ", " +
              log_->uuid(uuid) + rest + ")");
  }
  std::shared_ptr<Log> log_;
};

// The host: records every delegate call by name, with the error or the reward it carries.
class RecordingDelegate final : public InterstitialAdDelegate,
                                public AppOpenAdDelegate,
                                public RewardedVideoAdDelegate {
 public:
  explicit RecordingDelegate(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  void interstitialAdDidOpen(InterstitialAd&) override { log_->add("didOpen"); }
  void interstitialAdWillClose(InterstitialAd&) override { log_->add("willClose"); }
  void interstitialAdDidClose(InterstitialAd&) override { log_->add("didClose"); }
  void interstitialAdDidFail(InterstitialAd&) override { log_->add("didFail"); }
  void interstitialAdDidFailToShow(InterstitialAd&) override { log_->add("didFailToShow"); }
  void appOpenAdDidOpen(AppOpenAd&) override { log_->add("didOpen"); }
  void appOpenAdDidClose(AppOpenAd&) override { log_->add("didClose"); }
  void appOpenAdDidFailToPresent(AppOpenAd&) override { log_->add("didFailToPresent"); }
  void rewardedVideoAdDidEarnReward(RewardedVideoAd& ad) override {
    log_->add("didEarnReward(" + ad.getRewardType() + ", " + ad.getRewardValue().stringValue() +
              ")");
  }
  void rewardedVideoAdDidStartLoading(RewardedVideoAd&) override { log_->add("didStartLoading"); }
  void rewardedVideoAdDidLoad(RewardedVideoAd&) override { log_->add("didLoad"); }
  void rewardedVideoAdDidFailToLoad(RewardedVideoAd&, const Platform::Error& error) override {
    log_->add("didFailToLoad(" + Log::text(error) + ")");
  }
  void rewardedVideoAdDidOpen(RewardedVideoAd&) override { log_->add("didOpen"); }
  void rewardedVideoAdDidFailToPresent(RewardedVideoAd&, const Platform::Error& error) override {
    log_->add("didFailToPresent(" + Log::text(error) + ", " + error.localizedDescription + ")");
  }
  void rewardedVideoAdDidClose(RewardedVideoAd&) override { log_->add("didClose"); }

 private:
  std::shared_ptr<Log> log_;
};

// Every event of a stream, as text: "1", "0", "completed". Lives where it is constructed.
struct StreamRecorder {
  Strings events;
  Rx::Disposable subscription;

  explicit StreamRecorder(const Rx::Observable<bool>& stream)
      : subscription(stream.subscribe([this](bool value) { events.push_back(value ? "1" : "0"); },
                                      {}, [this] { events.push_back("completed"); })) {}
};

// A fresh environment on a manual clock; the log writes short uuids.
class AdTest : public ::testing::Test {
 protected:
  AdTest() { log->shortUuids = true; }

  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<Log> log = std::make_shared<Log>();
  std::shared_ptr<RecordingReporter> reporter = std::make_shared<RecordingReporter>(log);
  std::shared_ptr<Platform::ViewController> root = std::make_shared<Platform::ViewController>();
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>(log);
};

class AdMobTest : public AdTest {
 protected:
  using RequestID = Sandbox::GoogleMobileAdsSandbox::RequestID;
  using AdKind = Sandbox::GoogleMobileAdsSandbox::AdKind;

  static Platform::Error error(int code) { return {"gma", code, "failed"}; }

  // The single request the sandbox holds now, checked for kind and ad-unit key ("unit").
  RequestID onlyRequest(AdKind kind) {
    const auto all = gma->requests();
    EXPECT_TRUE(all.size() == 1 && all[0].kind == kind && all[0].adUnitID == "unit");
    return all.empty() ? 0 : all.back().id;
  }

  std::shared_ptr<Sandbox::GoogleMobileAdsSandbox> gma =
      Sandbox::GoogleMobileAdsSandbox::install(*environment);
};

class IronSourceTest : public AdTest {
 protected:
  IronSourceTest() { sdk->install(*environment); }
  std::shared_ptr<IronSourceHelper> startedHelper() {
    auto helper = IronSourceHelper::sharedInstance(*environment);
    helper->start("app-key", [] {});
    return helper;
  }

  std::shared_ptr<Sandbox::ScriptedIronSource> sdk = Sandbox::ScriptedIronSource::create();
  const Platform::Error loadError{"test", 7, "no fill"};
};

}  // namespace QVRAdKit::AdTesting
