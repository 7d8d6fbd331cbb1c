// Builders over a user service that throws: a user stream that cannot be subscribed leaves the
// builder stopped until a later start() succeeds; a user whose premium state throws, emitted by the
// host's own stream, loads nothing and lets nothing escape into the host's emission; a throwing
// premium check withholds the ad and the reload. Each fault is logged at error level.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Builders/AppOpenAdBuilder.h"
#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"
#include "QVRAdKit/Builders/RewardedVideoAdBuilder.h"
#include "Support/AdsHarness.h"
#include "Support/ThrowingHostServices.h"

namespace QVRAdKit {
namespace {

using Strings = std::vector<std::string>;

class BuilderHostFaultTest : public ::testing::Test {
 protected:
  [[nodiscard]] std::size_t errorsMentioning(const std::string& text) const {
    std::size_t count = 0;
    for (const auto& entry : h.logger->entries()) {
      if (entry.flag == LogFlag::error && entry.message.find(text) != std::string::npos) ++count;
    }
    return count;
  }

  Testing::AdsHarness h;
  std::shared_ptr<Testing::ThrowingHostServices> host =
      std::make_shared<Testing::ThrowingHostServices>();
};

TEST_F(BuilderHostFaultTest, WaterfallBuilderStaysStoppedUntilTheUserStreamCanBeSubscribed) {
  auto builder = InterstitialAdBuilderV2::create(*h.env, host, h.reporting,
                                                 InterstitialAdPlacement::connect, AdSource::adMob);
  builder->update({"a"});
  host->failing = "userStream";
  EXPECT_NO_THROW(builder->start());
  h.drain();
  EXPECT_FALSE(builder->running());
  EXPECT_EQ(errorsMentioning("userStream"), 1U);
  EXPECT_TRUE(h.gma->requests().empty());

  host->failing.clear();
  builder->start();  // tries again
  h.drain();
  EXPECT_TRUE(builder->running());
  EXPECT_EQ(h.requestedUnits(), (Strings{"a"}));
}

TEST_F(BuilderHostFaultTest, UserWhosePremiumStateThrowsLoadsNothingAndDropsNothing) {
  auto interstitials = InterstitialAdBuilderV2::create(
      *h.env, h.users, h.reporting, InterstitialAdPlacement::connect, AdSource::adMob);
  interstitials->update({"a"});
  interstitials->start();
  auto rewarded =
      RewardedVideoAdBuilder::create(*h.env, AdSource::adMob, "r", h.users, h.reporting, true);
  h.drain();
  ASSERT_EQ(h.requestedUnits(), (Strings{"r", "a"}))
      << "the waterfall loads a main-queue turn later";
  h.gma->fill(h.lastRequest("a"));

  // The host's emission goes through both builders without an exception reaching it.
  EXPECT_NO_THROW(h.users->setUser(std::make_shared<Testing::ThrowingUser>()));
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (Strings{"r", "a"})) << "nothing loads";
  EXPECT_EQ(errorsMentioning("QVUser.isPremium"), 2U) << "one per builder";
  EXPECT_NE(interstitials->getAd(), nullptr) << "the loaded ad was kept";
}

TEST_F(BuilderHostFaultTest, ThrowingPremiumCheckWithholdsTheAppOpenAdAndTheReload) {
  auto builder = AppOpenAdBuilder::create(*h.env, host, h.reporting, {"o"});
  builder->update({"o"});
  builder->start();
  h.drain();
  ASSERT_EQ(h.requestedUnits(), (Strings{"o"}));
  h.gma->fill(h.lastRequest("o"));

  host->failing = "isPremium";
  std::shared_ptr<AppOpenAd> ad;
  EXPECT_NO_THROW(ad = builder->getAd());
  EXPECT_EQ(ad, nullptr);
  EXPECT_NO_THROW(builder->reload());
  h.drain();
  EXPECT_EQ(h.requestedUnits(), (Strings{"o"})) << "no reload";
  EXPECT_EQ(errorsMentioning("isPremium"), 2U);

  host->failing.clear();
  EXPECT_NE(builder->getAd(), nullptr) << "the loaded ad was kept for a readable user";
}

}  // namespace
}  // namespace QVRAdKit
