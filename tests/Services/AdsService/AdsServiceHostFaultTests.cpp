// Host services that throw: every public decision of the ads service answers "no ad" (false,
// none) when a member it reaches throws, logs the fault with the member's text, lets nothing
// escape, and answers as before once the member recovers. Decisions that do not reach the
// failing member are unaffected.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "Services/AdsService/AdsServiceTestSupport.h"
#include "Support/ThrowingHostServices.h"

namespace QVRAdKit {
namespace {

using namespace testing_support;

// Every placement configured with keys, so that each decision says yes while nothing throws.
AdsConfig everyPlacement() {
  return AdsConfig({},
                   {{InterstitialAdPlacement::connect, AdPlacementConfig::adMob({"c"})},
                    {InterstitialAdPlacement::disconnect, AdPlacementConfig::adMob({"d"})},
                    {InterstitialAdPlacement::appLaunch, AdPlacementConfig::adMob({"l"})}},
                   {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({"t"})}},
                   {{AppOpenAdPlacement::main, AdPlacementConfig::adMob({"m"})}});
}

struct Decision {
  const char* name;
  std::function<bool(AdsService&)> saysYes;
  // The host members this decision asks; a throw from any of them must make it say no.
  std::vector<std::string> reaches;
};

const std::vector<std::string> kShouldShowMembers = {"isPremium", "isFreeUseActive"};

std::vector<Decision> decisions() {
  return {
      {"shouldShowAd",
       [](AdsService& s) {
         return s.shouldShowAd(AdsPlacement::interstitial(InterstitialAdPlacement::connect));
       },
       kShouldShowMembers},
      {"shouldShowAppLaunchAd", [](AdsService& s) { return s.shouldShowAppLaunchAd(); },
       kShouldShowMembers},
      {"shouldShowDisconnectAd", [](AdsService& s) { return s.shouldShowDisconnectAd(); },
       kShouldShowMembers},
      {"interstitialTypeToPresent",
       [](AdsService& s) { return s.interstitialTypeToPresent() == InterstitialType::connect; },
       {"isPremium", "vpnStatus", "rateUsMomentCheck", "rateUsPromptFlag", "rateUsMomentBlock"}},
  };
}

// The hand-out: without builders they answer none anyway, so what counts is that nothing escapes.
void takeEveryAd(AdsService& service) {
  EXPECT_EQ(service.interstitialAd(InterstitialAdPlacement::connect), nullptr);
  EXPECT_EQ(service.rewardedAd(RewardedAdPlacement::timewall), nullptr);
  EXPECT_EQ(service.appOpenAd(AppOpenAdPlacement::main), nullptr);
  service.reloadAds();
  service.reload(AdsPlacement::appOpen(AppOpenAdPlacement::main));
}

TEST(AdsServiceHostFaultTest, EachThrowingMemberTurnsEveryDecisionThatAsksItIntoNoAd) {
  AdsServiceHarness h;
  auto host = std::make_shared<Testing::ThrowingHostServices>();
  auto service = AdsService::create(h.configProvider, host, host, host, nullptr, h.reporting,
                                    h.storage, host, nullptr);
  AdsServiceTestAccess::setConfig(*service, everyPlacement());

  for (const Decision& decision : decisions()) {
    EXPECT_TRUE(decision.saysYes(*service)) << decision.name << " says yes while nothing throws";
  }
  for (const char* member : {"isPremium", "isFreeUseActive", "vpnStatus", "rateUsMomentCheck",
                             "rateUsPromptFlag", "rateUsMomentBlock"}) {
    host->failing = member;
    for (const Decision& decision : decisions()) {
      const bool reached = std::ranges::count(decision.reaches, member) > 0;
      h.logger->clear();
      bool answer = false;
      EXPECT_NO_THROW(answer = decision.saysYes(*service)) << decision.name << " / " << member;
      EXPECT_EQ(answer, !reached) << decision.name << " with a throwing " << member;
      const auto entries = h.logger->entries();
      if (reached) {
        ASSERT_EQ(entries.size(), 1U) << decision.name << " / " << member;
        EXPECT_EQ(entries[0].flag, LogFlag::error);
        EXPECT_NE(entries[0].message.find(member), std::string::npos) << entries[0].message;
        EXPECT_EQ(entries[0].file, "QVRAdKit/Services/AdsService/AdsService");
      } else {
        EXPECT_TRUE(entries.empty()) << decision.name << " / " << member;
      }
    }
    EXPECT_NO_THROW(takeEveryAd(*service)) << member;
  }
  host->failing.clear();
  for (const Decision& decision : decisions()) {
    EXPECT_TRUE(decision.saysYes(*service)) << decision.name << " recovers with the member";
  }
}

TEST(AdsServiceHostFaultTest, GrantIsNotRecordedWhenTheRateUsServiceThrowsAfterTheIntervalCheck) {
  AdsServiceHarness h;
  auto host = std::make_shared<Testing::ThrowingHostServices>();
  auto service = AdsService::create(h.configProvider, host, host, host, nullptr, h.reporting,
                                    h.storage, host, nullptr);
  AdsServiceTestAccess::setConfig(
      *service,
      AdsConfig(
          {}, {{InterstitialAdPlacement::connect, AdPlacementConfig({"c"}, AdSource::adMob, 600)}},
          {}, {}));
  host->failing = "rateUsMomentBlock";
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  host->failing.clear();
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect)
      << "the failed call started no 600 s interval";
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none) << "this one did";
}

}  // namespace
}  // namespace QVRAdKit
