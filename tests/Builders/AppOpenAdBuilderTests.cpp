#include "QVRAdKit/Builders/AppOpenAdBuilder.h"

#include <gtest/gtest.h>

#include "Support/AdsHarness.h"

namespace QVRAdKit {
namespace {

using Testing::AdsHarness;

class AppOpenAdBuilderTests : public ::testing::Test {
 protected:
  std::shared_ptr<AppOpenAdBuilder> makeRunningBuilder(std::vector<std::string> keys) {
    auto builder = AppOpenAdBuilder::create(h.users, h.reporting, keys);
    builder->update(keys);
    builder->start();
    h.drain();
    return builder;
  }

  AdsHarness h;
};

TEST_F(AppOpenAdBuilderTests, ConstructionKeepsKeysAndLoadsNothingUntilStarted) {
  auto builder = AppOpenAdBuilder::create(h.users, h.reporting, {"a", "b"});
  EXPECT_EQ(builder->adKeys(), (std::vector<std::string>{"a", "b"}));
  builder->update({"a", "b"});
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty());
  for (const auto& [key, action] : builder->reporter()->adUnitIdToActionMapping()) {
    EXPECT_EQ(action, AdEventAction::appOpen) << key;
  }
  EXPECT_EQ(builder->reporter()->adUnitIdToActionMapping().size(), 2U);
}

TEST_F(AppOpenAdBuilderTests, PremiumUserGetsNothingAndTheCacheIsUntouched) {
  // Premium without a user-stream value: only getAd's own check stands in the way.
  auto builder = makeRunningBuilder({"a"});
  h.gma->fill(h.lastRequest("a"));
  auto premiumUsers =
      std::make_shared<Sandbox::SandboxUserService>(Sandbox::SandboxUser::make(true));
  auto premiumBuilder = AppOpenAdBuilder::create(premiumUsers, h.reporting, {"a"});
  premiumBuilder->update({"a"});
  EXPECT_EQ(premiumBuilder->getAd(), nullptr);

  h.users->setUser(Sandbox::SandboxUser::make(false));
  auto ad = builder->getAd();
  ASSERT_NE(ad, nullptr);
  EXPECT_EQ(builder->getAd(), nullptr) << "never handed out twice";
}

TEST_F(AppOpenAdBuilderTests, PremiumCheckComesBeforeTheWaterfall) {
  auto builder = makeRunningBuilder({"a"});
  h.gma->fill(h.lastRequest("a"));
  // A premium user empties the cache through the stream, and getAd() refuses before touching it.
  auto requestsBefore = h.gma->requests().size();
  h.setPremium(true);
  EXPECT_EQ(builder->getAd(), nullptr);
  h.drain();
  EXPECT_EQ(h.gma->requests().size(), requestsBefore);
}

TEST_F(AppOpenAdBuilderTests, StaleAdIsPassedOverAndKeepsItsKeyUntilAReset) {
  auto builder = makeRunningBuilder({"a", "b"});
  h.gma->fill(h.lastRequest("a"));
  h.env->manualClock()->advance(5 * 60 * 60);  // a's ad is now five hours old
  h.gma->fill(h.lastRequest("b"));
  auto ad = builder->getAd();
  ASSERT_NE(ad, nullptr);
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (std::vector<std::string>{"a", "b", "b"}))
      << "b is requested again; the stale a stays and is not requested";
  builder->reload();
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (std::vector<std::string>{"a", "b", "b", "a", "b"}));
}

TEST_F(AppOpenAdBuilderTests, FailedKeyIsReplacedWhenGetAdPassesOverIt) {
  auto builder = makeRunningBuilder({"a"});
  h.gma->fail(h.lastRequest("a"), Platform::Error{"GAD", 3, "no fill"});
  EXPECT_EQ(builder->getAd(), nullptr);
  EXPECT_EQ(h.requestedUnits(), (std::vector<std::string>{"a", "a"}));
}

}  // namespace
}  // namespace QVRAdKit
