#pragma once
// Recording delegates of the IronSource SDK port for the sandbox tests: each callback becomes one
// line "<seconds since the recorder was made> <event> <details>" in a shared trace, so a test can
// compare what a face delivered, and when.

#include <memory>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/IronSource/ISInitializationDelegate.h"
#include "QVRAdKit/SDK/IronSource/LevelPlayInterstitialDelegate.h"
#include "QVRAdKit/SDK/IronSource/LevelPlayRewardedVideoDelegate.h"
#include "QVRAdKit/SDK/IronSource/LevelPlayRewardedVideoManualDelegate.h"

namespace QVRAdKit::IronSourceTesting {

using Trace = std::vector<std::string>;

class TraceWriter {
 public:
  explicit TraceWriter(std::shared_ptr<Trace> trace)
      : trace_(std::move(trace)), start_(Platform::Environment::current().clock().now()) {}

 protected:
  void write(const std::string& event, const std::string& details = "") {
    std::ostringstream line;
    line << Platform::Environment::current().clock().now().timeIntervalSince(start_) << " "
         << event;
    if (!details.empty()) line << " " << details;
    trace_->push_back(line.str());
  }
  static std::string describe(const ISAdInfo& info) { return info.ad_unit + "/" + info.ad_network; }
  static std::string describe(const Platform::Error& error) { return std::to_string(error.code); }

 private:
  std::shared_ptr<Trace> trace_;
  Platform::Date start_;
};

class InitializationRecorder final : public ISInitializationDelegate, TraceWriter {
 public:
  using TraceWriter::TraceWriter;
  void initializationDidComplete() override { write("initialized"); }
};

class InterstitialRecorder final : public LevelPlayInterstitialDelegate, TraceWriter {
 public:
  using TraceWriter::TraceWriter;
  void didLoadWithAdInfo(const ISAdInfo& info) override { write("i.load", describe(info)); }
  void didFailToLoadWithError(const Platform::Error& error) override {
    write("i.fail", describe(error));
  }
  void didOpenWithAdInfo(const ISAdInfo& info) override { write("i.open", describe(info)); }
  void didShowWithAdInfo(const ISAdInfo& info) override { write("i.show", describe(info)); }
  void didFailToShowWithError(const Platform::Error& error, const ISAdInfo&) override {
    write("i.failToShow", describe(error));
  }
  void didClickWithAdInfo(const ISAdInfo& info) override { write("i.click", describe(info)); }
  void didCloseWithAdInfo(const ISAdInfo& info) override { write("i.close", describe(info)); }
};

class RewardedRecorder final : public LevelPlayRewardedVideoDelegate,
                               public LevelPlayRewardedVideoManualDelegate,
                               TraceWriter {
 public:
  using TraceWriter::TraceWriter;
  void hasAvailableAdWithAdInfo(const ISAdInfo& info) override {
    write("r.available", describe(info));
  }
  void hasNoAvailableAd() override { write("r.unavailable"); }
  void didReceiveRewardForPlacement(const ISPlacementInfo& placement, const ISAdInfo&) override {
    const auto* amount = std::get_if<Platform::Decimal>(&placement.rewardAmount);
    write("r.reward", placement.rewardName + "/" + (amount ? amount->stringValue() : "?") + "/" +
                          placement.placementName);
  }
  void didFailToShowWithError(const Platform::Error& error, const ISAdInfo&) override {
    write("r.failToShow", describe(error));
  }
  void didOpenWithAdInfo(const ISAdInfo& info) override { write("r.open", describe(info)); }
  void didClick(const ISPlacementInfo&, const ISAdInfo& info) override {
    write("r.click", describe(info));
  }
  void didCloseWithAdInfo(const ISAdInfo& info) override { write("r.close", describe(info)); }
  void didLoadWithAdInfo(const ISAdInfo& info) override { write("r.load", describe(info)); }
  void didFailToLoadWithError(const Platform::Error& error) override {
    write("r.fail", describe(error));
  }
};

}  // namespace QVRAdKit::IronSourceTesting
