#include "QVRAdKit/Builders/RewardedVideoAdBuilder.h"

#include <gtest/gtest.h>

#include "QVRAdKit/Ads/RewardedAdError.h"
#include "Support/AdsHarness.h"

namespace QVRAdKit {
namespace {

using Testing::AdsHarness;

class RewardedVideoAdBuilderTests : public ::testing::Test {
 protected:
  AdsHarness h;
  std::vector<bool> loading;
};

TEST_F(RewardedVideoAdBuilderTests, NotStartedBuilderSubscribesToNothingAndLoadsNothing) {
  auto builder =
      RewardedVideoAdBuilder::create(AdSource::adMob, "unit", h.users, h.reporting, false);
  auto subscription = builder->isLoadingStream().subscribe([&](bool v) { loading.push_back(v); });
  h.setPremium(false);
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty());
  EXPECT_FALSE(builder->running());
  EXPECT_EQ(builder->getAd()->adUnitID(), "unit");

  builder->reload();  // loads even though not started, but the relay was never bound
  EXPECT_EQ(h.requestedUnits(), (std::vector<std::string>{"unit"}));
  EXPECT_TRUE(builder->getAd()->isLoading());
  EXPECT_EQ(loading, (std::vector<bool>{false}));
}

TEST_F(RewardedVideoAdBuilderTests, StartFlagStartsAndEachNonPremiumValueLoadsAndRebinds) {
  auto builder =
      RewardedVideoAdBuilder::create(AdSource::adMob, "unit", h.users, h.reporting, true);
  EXPECT_TRUE(builder->running());
  auto subscription = builder->isLoadingStream().subscribe([&](bool v) { loading.push_back(v); });
  EXPECT_EQ(h.gma->requests().size(), 1U);
  EXPECT_EQ(loading, (std::vector<bool>{true}));

  h.setPremium(false);  // a second load request while loading is ignored by the ad
  EXPECT_EQ(h.gma->requests().size(), 1U);
  h.gma->fill(h.lastRequest("unit"));
  EXPECT_EQ(loading, (std::vector<bool>{true, false}));
  EXPECT_TRUE(builder->getAd()->isReady());

  h.setPremium(true);  // premium keeps the loaded ad
  h.users->setUser(nullptr);
  EXPECT_TRUE(builder->getAd()->isReady());
  EXPECT_EQ(h.gma->requests().size(), 1U);
}

TEST_F(RewardedVideoAdBuilderTests, IronSourceAdIgnoresTheKey) {
  auto builder =
      RewardedVideoAdBuilder::create(AdSource::ironSource, "unit", h.users, h.reporting, true);
  EXPECT_TRUE(h.gma->requests().empty());
  EXPECT_EQ(h.ironSource->rewardedVideoLoadCalls(), 1U);
  EXPECT_EQ(builder->getAd()->adUnitID(), "");
}

TEST_F(RewardedVideoAdBuilderTests, DroppedBuilderTakesItsAdWithIt) {
  auto builder =
      RewardedVideoAdBuilder::create(AdSource::adMob, "unit", h.users, h.reporting, true);
  std::weak_ptr<RewardedVideoAd> ad = builder->getAd();
  std::weak_ptr<RewardedVideoAdBuilder> weakBuilder = builder;
  builder.reset();
  EXPECT_TRUE(weakBuilder.expired());
  EXPECT_TRUE(ad.expired());
  h.reporting->clear();
  h.gma->fill(0);
  h.setPremium(false);
  EXPECT_TRUE(h.reporting->events().empty());
}

TEST(RewardedAdErrorTests, CodesAndDescriptions) {
  EXPECT_EQ(code(RewardedAdError::none), 0);
  EXPECT_EQ(errorDescription(RewardedAdError::none), std::nullopt);
  auto error = toError(RewardedAdError::isNotReady);
  EXPECT_EQ(error.code, 1);
  EXPECT_EQ(error.localizedDescription, "Rewarded video is not ready or failed to load");
  EXPECT_EQ(error.domain, "QVRAdKit.RewardedAdError");
}

}  // namespace
}  // namespace QVRAdKit
