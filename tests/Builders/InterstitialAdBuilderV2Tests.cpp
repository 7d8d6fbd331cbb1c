#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"

#include <gtest/gtest.h>

#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Platform/Device.h"
#include "Support/AdsHarness.h"

namespace QVRAdKit {
namespace {

using Testing::AdsHarness;

class InterstitialAdBuilderV2Tests : public ::testing::Test {
 protected:
  std::shared_ptr<InterstitialAdBuilderV2> makeBuilder(AdSource source = AdSource::adMob) {
    return InterstitialAdBuilderV2::create(h.users, h.reporting,
                                           InterstitialAdPlacement::disconnect, source);
  }
  // Subscribes to the builder's loading stream and records every value.
  Rx::Disposable recordLoading(const std::shared_ptr<InterstitialAdBuilderV2>& builder) {
    return builder->isLoadingStream().subscribe([this](bool v) { loading.push_back(v); });
  }

  AdsHarness h;
  std::vector<bool> loading;
};

TEST_F(InterstitialAdBuilderV2Tests, KeyUpdateBeforeStartMapsKeysAndLoadsNothing) {
  auto builder = makeBuilder();
  builder->update({"a", "b"});
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty());
  EXPECT_FALSE(builder->running());
  const auto& mapping = builder->reporter()->adUnitIdToActionMapping();
  ASSERT_EQ(mapping.size(), 2U);
  EXPECT_EQ(mapping.at("a"), AdEventAction::disconnect);
}

TEST_F(InterstitialAdBuilderV2Tests,
       UserStreamDrivesLoadsAndDropsWithoutRepeatsOnTheLoadingStream) {
  h.users->setUser(nullptr);
  auto builder = makeBuilder();
  builder->update({"a", "b"});
  auto subscription = recordLoading(builder);
  builder->start();
  builder->start();  // subscribes once: a single load round below
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty()) << "an absent user loads nothing";

  h.setPremium(false);
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(loading, (std::vector<bool>{false, true}));

  h.gma->fill(h.lastRequest("a"));
  h.setPremium(true);  // premium empties the cache, loaded ads included
  EXPECT_EQ(loading, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(builder->getAd(), nullptr);

  h.setPremium(false);
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (std::vector<std::string>{"a", "b", "a", "b"}));
  EXPECT_EQ(loading.back(), true);
}

TEST_F(InterstitialAdBuilderV2Tests, GetAdTakesFirstLoadedInKeyOrderAndRequestsItAgain) {
  auto builder = makeBuilder();
  builder->update({"a", "b"});
  builder->start();
  h.drain();
  h.gma->fill(h.lastRequest("b"), "NetworkB");  // a is still loading
  auto ad = std::dynamic_pointer_cast<AdmobInterstitialAd>(builder->getAd());
  ASSERT_NE(ad, nullptr);
  EXPECT_EQ(ad->adUnitID(), "b");
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (std::vector<std::string>{"a", "b", "b"}));
  EXPECT_EQ(builder->getAd(), nullptr) << "the taken ad left the cache";
}

TEST_F(InterstitialAdBuilderV2Tests, OrientationChangesReloadOnTabletsOnly) {
  auto builder = makeBuilder();
  builder->update({"a"});
  builder->start();
  h.drain();
  h.gma->fill(h.lastRequest("a"));

  h.env->device().setOrientation(Platform::DeviceOrientation::landscapeLeft);
  h.drain();
  EXPECT_EQ(h.gma->requests().size(), 1U) << "phones ignore orientation changes";

  h.env->device().setIsPad(true);
  h.env->device().setOrientation(Platform::DeviceOrientation::portrait);
  h.drain();
  EXPECT_EQ(h.gma->requests().size(), 2U) << "a tablet drops the loaded ad and requests again";
  EXPECT_EQ(builder->getAd(), nullptr);

  h.setPremium(true);
  h.env->device().setOrientation(Platform::DeviceOrientation::landscapeRight);
  h.drain();
  EXPECT_EQ(h.gma->requests().size(), 2U) << "nothing for a premium user";
}

TEST_F(InterstitialAdBuilderV2Tests, ReloadOnlyWhileRunningAndNotPremium) {
  auto builder = makeBuilder();
  builder->update({"a"});
  builder->reload();
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty());

  builder->start();
  h.drain();
  h.gma->fill(h.lastRequest("a"));
  builder->reload();
  h.drain();
  EXPECT_EQ(h.gma->requests().size(), 2U);
  EXPECT_EQ(builder->getAd(), nullptr) << "reload dropped the loaded ad";
}

TEST_F(InterstitialAdBuilderV2Tests, KeyUpdateWhileRunningDropsLoadedAdsAndUnmapsOldKeys) {
  auto builder = makeBuilder();
  builder->update({"old"});
  builder->start();
  h.drain();
  auto oldRequest = h.lastRequest("old");
  builder->update({"new"});
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (std::vector<std::string>{"old", "new"}));

  h.reporting->clear();
  h.gma->fill(oldRequest);  // the dropped ad is gone: its answer is not reported
  h.gma->fill(h.lastRequest("new"));
  auto events = h.reporting->events();
  ASSERT_EQ(events.size(), 1U);
  EXPECT_EQ(std::get<std::string>(*events[0].parameter("action")), "disconnect");
  ASSERT_NE(builder->getAd(), nullptr);
}

TEST_F(InterstitialAdBuilderV2Tests, OneNetworkPerBuilder) {
  IronSourceHelper::sharedInstance()->start("app-key", [] {});
  auto builder = makeBuilder(AdSource::ironSource);
  builder->update({"placementA", "placementB"});
  builder->start();
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty());
  EXPECT_EQ(h.ironSource->interstitialLoadCalls(), 1U) << "one shared IronSource slot";
  h.ironSource->fillInterstitialLoad("ironSourceNetwork");
  auto ad = builder->getAd();
  EXPECT_NE(std::dynamic_pointer_cast<IronSourceInterstitialAd>(ad), nullptr);
}

TEST_F(InterstitialAdBuilderV2Tests, DroppedBuilderLeavesNothingAliveAndLateAnswersAreIgnored) {
  auto builder = makeBuilder();
  std::weak_ptr<InterstitialAdBuilderV2> weakBuilder = builder;
  builder->update({"a"});
  builder->start();
  h.drain();
  builder.reset();
  EXPECT_TRUE(weakBuilder.expired());
  h.reporting->clear();
  h.gma->fill(h.lastRequest("a"));
  h.setPremium(false);
  h.env->device().setIsPad(true);
  h.env->device().setOrientation(Platform::DeviceOrientation::landscapeLeft);
  h.drain();
  EXPECT_TRUE(h.reporting->events().empty());
  EXPECT_EQ(h.gma->requests().size(), 1U);
}

TEST_F(InterstitialAdBuilderV2Tests, KeyListedTwiceIsKeptOnceAndLogged) {
  auto builder = makeBuilder();
  builder->update({"a", "b", "a"});
  EXPECT_EQ(builder->adKeys(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(h.logger->messages().size(), 1U);
}

}  // namespace
}  // namespace QVRAdKit
