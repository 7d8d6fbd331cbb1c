#include "QVRAdKit/Services/AdsService/AdsLoader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace QVRAdKit {
namespace {

struct MockInterstitials : InterstitialAdBuilderProtocol {
  MOCK_METHOD(std::shared_ptr<InterstitialAd>, getAd, (AdSource), (override));
  MOCK_METHOD(void, start, (), (override));
  MOCK_METHOD(Rx::Observable<bool>, adsLoadingStream, (), (const, override));
  MOCK_METHOD(bool, running, (), (const, override));
};
struct MockAppOpen : AppOpenAdBuilderProtocol {
  MOCK_METHOD(void, start, (), (override));
  MOCK_METHOD(void, reload, (), (override));
  MOCK_METHOD(Rx::Observable<bool>, isLoadingStream, (), (const, override));
  MOCK_METHOD(std::shared_ptr<AppOpenAd>, getAd, (), (override));
};
struct MockRewarded : RewardedVideoAdBuilderProtocol {
  MOCK_METHOD(void, start, (), (override));
  MOCK_METHOD(void, reload, (), (override));
  MOCK_METHOD(Rx::Observable<bool>, isLoadingStream, (), (const, override));
  MOCK_METHOD(std::shared_ptr<RewardedVideoAd>, getAd, (), (const, override));
};

TEST(AdsLoaderTests, StartsInterstitialThenRewardedThenAppOpenAndSkipsAbsentBuilders) {
  auto interstitials = std::make_shared<::testing::StrictMock<MockInterstitials>>();
  auto appOpen = std::make_shared<::testing::StrictMock<MockAppOpen>>();
  auto rewarded = std::make_shared<::testing::StrictMock<MockRewarded>>();
  {
    ::testing::InSequence order;
    EXPECT_CALL(*interstitials, start());
    EXPECT_CALL(*rewarded, start());
    EXPECT_CALL(*appOpen, start()).Times(2);
  }
  AdsLoader(interstitials, appOpen, rewarded).loadAds();  // whatever the argument order
  AdsLoader().loadAds();
  AdsLoader(nullptr, appOpen).loadAds();
}

}  // namespace
}  // namespace QVRAdKit
