#include "QVRAdKit/Builders/RewardedVideoAdBuilder.h"

#include <gtest/gtest.h>

#include "QVRAdKit/Ads/RewardedAdError.h"
#include "Support/AdsHarness.h"

namespace QVRAdKit {
namespace {

class RewardedVideoAdBuilderTests : public ::testing::Test {
 protected:
  // A builder for "unit" whose loading stream is recorded into loading.
  std::shared_ptr<RewardedVideoAdBuilder> make(bool start, AdSource source = AdSource::adMob) {
    auto builder =
        RewardedVideoAdBuilder::create(*h.env, source, "unit", h.users, h.reporting, start);
    subscription = builder->isLoadingStream().subscribe([this](bool v) { loading.push_back(v); });
    return builder;
  }

  Testing::AdsHarness h;
  std::vector<bool> loading;
  Rx::Disposable subscription;
};

TEST_F(RewardedVideoAdBuilderTests, NotStartedBuilderFollowsNoUserButReloadStillLoads) {
  auto builder = make(false);
  h.setPremium(false);
  EXPECT_TRUE(h.gma->requests().empty());
  builder->reload();
  EXPECT_EQ(h.requestedUnits(), std::vector<std::string>{"unit"});
  EXPECT_EQ(loading, std::vector<bool>{false}) << "the loading relay was never bound";
}

TEST_F(RewardedVideoAdBuilderTests, StartFlagLoadsAtOnceAndEachNonPremiumUserRebinds) {
  auto builder = make(true);
  builder->start();
  EXPECT_EQ(h.users->subscriberCount(), 1U) << "a second start subscribes no more";
  EXPECT_EQ(h.gma->requests().size(), 1U);
  h.setPremium(false);  // a second load request while loading is ignored by the ad
  h.gma->fill(h.lastRequest("unit"));
  EXPECT_EQ(loading, (std::vector<bool>{true, false}));

  // An IronSource builder loads the network's one rewarded slot and ignores the key.
  auto ironSource = make(true, AdSource::ironSource);
  EXPECT_EQ(h.ironSource->rewardedVideoLoadCalls(), 1U);
  EXPECT_EQ(ironSource->getAd()->adUnitID(), "");

  h.setPremium(true);  // premium keeps the loaded ad
  h.users->setUser(nullptr);
  EXPECT_TRUE(builder->getAd()->isReady());
  EXPECT_EQ(h.gma->requests().size(), 1U);
}

TEST_F(RewardedVideoAdBuilderTests, DroppedBuilderTakesItsAdWithIt) {
  auto builder = make(true);
  std::weak_ptr<RewardedVideoAd> ad = builder->getAd();
  std::weak_ptr<RewardedVideoAdBuilder> weakBuilder = builder;
  builder.reset();
  EXPECT_TRUE(weakBuilder.expired());
  EXPECT_TRUE(ad.expired());
  EXPECT_EQ(h.users->subscriberCount(), 0U);
  h.reporting->clear();
  h.gma->fill(h.lastRequest("unit"));
  h.setPremium(false);
  EXPECT_TRUE(h.reporting->events().empty());
  EXPECT_EQ(h.gma->requests().size(), 1U);
}

TEST(RewardedAdErrorTests, CodesAndDescriptions) {
  EXPECT_EQ(code(RewardedAdError::none), 0);
  EXPECT_EQ(errorDescription(RewardedAdError::none), std::nullopt);
  const auto error = toError(RewardedAdError::isNotReady);
  EXPECT_EQ(error.code, 1);
  EXPECT_EQ(error.localizedDescription, "Rewarded video is not ready or failed to load");
  EXPECT_EQ(error.domain, "QVRAdKit.RewardedAdError");
}

}  // namespace
}  // namespace QVRAdKit
