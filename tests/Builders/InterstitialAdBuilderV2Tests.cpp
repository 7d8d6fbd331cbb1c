#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"

#include <gtest/gtest.h>

#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Platform/Device.h"
#include "Support/AdsHarness.h"

namespace QVRAdKit {
namespace {

using Strings = std::vector<std::string>;
using Platform::DeviceOrientation;

class InterstitialAdBuilderV2Tests : public ::testing::Test {
 protected:
  // A builder over keys (for the disconnect placement unless told), started or not.
  std::shared_ptr<InterstitialAdBuilderV2> make(
      const Strings& keys, bool start = true, AdSource source = AdSource::adMob,
      InterstitialAdPlacement placement = InterstitialAdPlacement::disconnect) {
    auto builder = InterstitialAdBuilderV2::create(*h.env, h.users, h.reporting, placement, source);
    builder->update(keys);
    if (start) builder->start();
    h.drain();
    return builder;
  }
  void rotate(DeviceOrientation orientation) {
    h.env->device().setOrientation(orientation);
    h.drain();
  }

  Testing::AdsHarness h;
};

TEST_F(InterstitialAdBuilderV2Tests, UserStreamDrivesLoadsAndDropsWithoutLoadingRepeats) {
  auto builder = make({"a", "b", "a"}, /*start=*/false);
  std::vector<bool> loading;
  auto subscription = builder->isLoadingStream().subscribe([&](bool v) { loading.push_back(v); });
  EXPECT_EQ(builder->adKeys(), (Strings{"a", "b"})) << "a key listed twice is kept once";
  EXPECT_EQ(h.logger->messages().size(), 1U);
  builder->reload();
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty()) << "neither keys nor a reload load before start";
  h.users->setUser(nullptr);
  builder->start();
  builder->start();  // a second start changes nothing
  EXPECT_EQ(h.users->subscriberCount(), 1U) << "one subscription to the user stream";
  h.setPremium(true);
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty()) << "neither an absent nor a premium user loads";

  h.setPremium(false);
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (Strings{"a", "b"}));
  EXPECT_EQ(loading, (std::vector<bool>{false, true}));
  h.gma->fill(h.lastRequest("a"));
  h.setPremium(true);  // premium empties the cache, loaded ads included
  EXPECT_EQ(loading, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(builder->getAd(), nullptr);

  h.setPremium(false);
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (Strings{"a", "b", "a", "b"}));
}

TEST_F(InterstitialAdBuilderV2Tests, ReloadAndTabletRotationDropTheLoadedAdAndRequestAgain) {
  auto builder = make({"a"});
  h.gma->fill(h.lastRequest("a"));
  builder->reload();
  h.drain();
  EXPECT_EQ(h.gma->requests().size(), 2U);
  EXPECT_EQ(builder->getAd(), nullptr) << "reload dropped the loaded ad";

  h.gma->fill(h.lastRequest("a"));
  rotate(DeviceOrientation::landscapeLeft);
  EXPECT_EQ(h.gma->requests().size(), 2U) << "phones ignore orientation changes";
  h.env->device().setIsPad(true);
  rotate(DeviceOrientation::portrait);
  EXPECT_EQ(h.gma->requests().size(), 3U);
  EXPECT_EQ(builder->getAd(), nullptr) << "a tablet drops the loaded ad";

  h.setPremium(true);
  rotate(DeviceOrientation::landscapeRight);
  builder->reload();
  h.drain();
  EXPECT_EQ(h.gma->requests().size(), 3U) << "nothing for a premium user";
}

TEST_F(InterstitialAdBuilderV2Tests, KeyUpdateWhileRunningDropsLoadedAdsAndUnmapsOldKeys) {
  auto builder = make({"a", "b"});
  h.gma->fill(h.lastRequest("a"));
  builder->update({"new"});
  h.drain();
  EXPECT_EQ(builder->getAd(), nullptr) << "the loaded ad was dropped";
  EXPECT_EQ(builder->reporter()->adUnitIdToActionMapping().count("a"), 0U);

  h.reporting->clear();
  h.gma->fill(h.lastRequest("b"));  // the dropped ad is gone: its answer is not reported
  h.gma->fill(h.lastRequest("new"));
  EXPECT_EQ(h.eventNames(), Strings{"ad_loaded"});
  EXPECT_EQ(std::get<std::string>(*h.reporting->events()[0].parameter("action")), "disconnect");
  EXPECT_NE(builder->getAd(), nullptr);
}

TEST_F(InterstitialAdBuilderV2Tests, EachPlacementReportsItsOwnActionAndKeysAloneLoadNothing) {
  const struct {
    InterstitialAdPlacement placement;
    AdEventAction action;
    const char* reported;
  } table[] = {{InterstitialAdPlacement::connect, AdEventAction::connect, "connect"},
               {InterstitialAdPlacement::disconnect, AdEventAction::disconnect, "disconnect"},
               {InterstitialAdPlacement::appLaunch, AdEventAction::appLaunch, "app_launch"}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.reported);
    const std::string key = std::string(row.reported) + "-unit";
    auto builder = make({key, "shared"}, false, AdSource::adMob, row.placement);
    EXPECT_EQ(builder->adKeys(), (Strings{key, "shared"}));
    EXPECT_EQ(builder->reporter()->adUnitIdToActionMapping(),
              (AdsReporter::ActionMapping{{key, row.action}, {"shared", row.action}}));
    EXPECT_EQ(h.lastRequest(key), 0U) << "keys without start() load nothing";
    EXPECT_TRUE(builder->waterfallService()->adsCache().empty());

    builder->start();
    h.drain();
    ASSERT_TRUE(h.gma->fill(h.lastRequest(key)));
    const auto events = h.reporting->events();
    ASSERT_EQ(events.back().name, "ad_loaded");
    EXPECT_EQ(std::get<std::string>(*events.back().parameter("action")), row.reported);
  }
}

TEST_F(InterstitialAdBuilderV2Tests, OneNetworkPerBuilder) {
  IronSourceHelper::sharedInstance(*h.env)->start("app-key", [] {});
  auto builder = make({"placementA", "placementB"}, true, AdSource::ironSource);
  EXPECT_TRUE(h.gma->requests().empty());
  EXPECT_EQ(h.ironSource->interstitialLoadCalls(), 1U) << "one shared IronSource slot";
  h.ironSource->fillInterstitialLoad("ironSourceNetwork");
  EXPECT_NE(std::dynamic_pointer_cast<IronSourceInterstitialAd>(builder->getAd()), nullptr);
}

TEST_F(InterstitialAdBuilderV2Tests, DroppedBuilderLeavesNothingAliveAndLateAnswersAreIgnored) {
  const size_t registrations = h.env->notificationCenter().observerCount();
  auto builder = make({"a"});
  EXPECT_GT(h.env->notificationCenter().observerCount(), registrations);
  std::weak_ptr<InterstitialAdBuilderV2> weakBuilder = builder;
  builder.reset();
  EXPECT_TRUE(weakBuilder.expired());
  EXPECT_EQ(h.users->subscriberCount(), 0U);
  h.reporting->clear();
  h.gma->fill(h.lastRequest("a"));
  h.setPremium(false);
  h.env->device().setIsPad(true);
  rotate(DeviceOrientation::landscapeLeft);
  EXPECT_TRUE(h.reporting->events().empty());
  EXPECT_EQ(h.gma->requests().size(), 1U);
  // The post dropped the registrations held for a gone owner; none of the builder's is left.
  EXPECT_EQ(h.env->notificationCenter().observerCount(), registrations);
}

}  // namespace
}  // namespace QVRAdKit
