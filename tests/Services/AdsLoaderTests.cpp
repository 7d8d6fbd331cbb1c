#include "QVRAdKit/Services/AdsService/AdsLoader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace QVRAdKit {
namespace {

using Calls = std::vector<std::string>;

struct FakeInterstitials final : InterstitialAdBuilderProtocol {
  explicit FakeInterstitials(Calls& calls) : calls(calls) {}
  std::shared_ptr<InterstitialAd> getAd(AdSource /*source*/) override { return nullptr; }
  void start() override { calls.push_back("interstitial"); }
  [[nodiscard]] Rx::Observable<bool> adsLoadingStream() const override {
    return Rx::Observable<bool>::just(false);
  }
  [[nodiscard]] bool running() const override { return false; }
  Calls& calls;
};

struct FakeAppOpen final : AppOpenAdBuilderProtocol {
  explicit FakeAppOpen(Calls& calls) : calls(calls) {}
  void start() override { calls.push_back("appOpen"); }
  void reload() override {}
  [[nodiscard]] Rx::Observable<bool> isLoadingStream() const override {
    return Rx::Observable<bool>::just(false);
  }
  std::shared_ptr<AppOpenAd> getAd() override { return nullptr; }
  Calls& calls;
};

struct FakeRewarded final : RewardedVideoAdBuilderProtocol {
  explicit FakeRewarded(Calls& calls) : calls(calls) {}
  void start() override { calls.push_back("rewarded"); }
  void reload() override {}
  [[nodiscard]] Rx::Observable<bool> isLoadingStream() const override {
    return Rx::Observable<bool>::just(false);
  }
  [[nodiscard]] std::shared_ptr<RewardedVideoAd> getAd() const override { return nullptr; }
  Calls& calls;
};

TEST(AdsLoaderTests, StartsInterstitialThenRewardedThenAppOpenWhateverTheArgumentOrder) {
  Calls calls;
  AdsLoader loader(std::make_shared<FakeInterstitials>(calls), std::make_shared<FakeAppOpen>(calls),
                   std::make_shared<FakeRewarded>(calls));
  loader.loadAds();
  EXPECT_EQ(calls, (Calls{"interstitial", "rewarded", "appOpen"}));
}

TEST(AdsLoaderTests, AbsentBuildersAreSkipped) {
  Calls calls;
  AdsLoader empty;
  empty.loadAds();
  EXPECT_TRUE(calls.empty());
  AdsLoader appOpenOnly(nullptr, std::make_shared<FakeAppOpen>(calls));
  appOpenOnly.loadAds();
  EXPECT_EQ(calls, (Calls{"appOpen"}));
}

}  // namespace
}  // namespace QVRAdKit
