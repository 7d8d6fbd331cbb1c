// The configuration values: placements as keys and texts, the host mappings, placement configs
// and the pause switches.

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "QVRAdKit/Services/AdsService/AdPlacementConfig.h"
#include "QVRAdKit/Services/AdsService/AdsPauseConfig.h"
#include "QVRAdKit/Services/AdsService/AdsPlacement.h"

namespace QVRAdKit {
namespace {

const std::vector<AdsPlacement> kAllPlacements = {
    AdsPlacement::interstitial(InterstitialAdPlacement::connect),
    AdsPlacement::interstitial(InterstitialAdPlacement::disconnect),
    AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch),
    AdsPlacement::rewarded(RewardedAdPlacement::timewall),
    AdsPlacement::appOpen(AppOpenAdPlacement::main),
    AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch),
};

TEST(AdsPlacementTest, FormatAndPlacementTogetherMakeTheIdentity) {
  // Payloads with equal underlying values in different formats are different keys.
  EXPECT_NE(AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch),
            AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch));
  EXPECT_NE(AdsPlacement::interstitial(InterstitialAdPlacement::connect),
            AdsPlacement::rewarded(RewardedAdPlacement::timewall));
  EXPECT_NE(AdsPlacement::interstitial(InterstitialAdPlacement::connect),
            AdsPlacement::appOpen(AppOpenAdPlacement::main));

  std::unordered_map<AdsPlacement, int> byPlacement;
  for (std::size_t i = 0; i < kAllPlacements.size(); ++i) {
    EXPECT_EQ(kAllPlacements[i], kAllPlacements[i]);
    byPlacement[kAllPlacements[i]] = static_cast<int>(i);
  }
  ASSERT_EQ(byPlacement.size(), kAllPlacements.size());
  for (std::size_t i = 0; i < kAllPlacements.size(); ++i) {
    // A freshly made equal value finds the entry: equal values hash alike.
    const AdsPlacement copy = kAllPlacements[i];
    EXPECT_EQ(byPlacement.at(copy), static_cast<int>(i));
  }
  std::unordered_set<std::size_t> hashes;
  for (const auto& placement : kAllPlacements) hashes.insert(std::hash<AdsPlacement>{}(placement));
  EXPECT_EQ(hashes.size(), kAllPlacements.size()) << "the six placements should not collide";

  EXPECT_EQ(kAllPlacements[3].format(), AdsPlacement::Format::rewarded);
  EXPECT_EQ(kAllPlacements[5].appOpenPlacement(), AppOpenAdPlacement::appLaunch);
  EXPECT_EQ(kAllPlacements[5].interstitialPlacement(), std::nullopt);
  EXPECT_EQ(kAllPlacements[0].rewardedPlacement(), std::nullopt);
}

TEST(AdsPlacementTest, DescriptionNamesFormatModuleTypeAndCase) {
  std::vector<std::string> texts;
  for (const auto& placement : kAllPlacements) texts.push_back(placement.description());
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "interstitial(QVRAdKit.InterstitialAdPlacement.connect)",
                       "interstitial(QVRAdKit.InterstitialAdPlacement.disconnect)",
                       "interstitial(QVRAdKit.InterstitialAdPlacement.appLaunch)",
                       "rewarded(QVRAdKit.RewardedAdPlacement.timewall)",
                       "appOpen(QVRAdKit.AppOpenAdPlacement.main)",
                       "appOpen(QVRAdKit.AppOpenAdPlacement.appLaunch)",
                   }));
}

TEST(HostPlacementMappingTest, NoneMapsToNoPlacementAndEveryOtherCaseToItsNamesake) {
  EXPECT_EQ(placement(InterstitialType::none), std::nullopt);
  EXPECT_EQ(placement(InterstitialType::connect), InterstitialAdPlacement::connect);
  EXPECT_EQ(placement(InterstitialType::disconnect), InterstitialAdPlacement::disconnect);
  EXPECT_EQ(placement(InterstitialType::appLaunch), InterstitialAdPlacement::appLaunch);
  EXPECT_EQ(placement(AppOpenAdType::none), std::nullopt);
  EXPECT_EQ(placement(AppOpenAdType::main), AppOpenAdPlacement::main);
  EXPECT_EQ(placement(AppOpenAdType::appLaunch), AppOpenAdPlacement::appLaunch);
}

TEST(AdPlacementConfigTest, FactoriesSetTheSourceAndAZeroTimeoutAndKeepKeyOrder) {
  const auto adMob = AdPlacementConfig::adMob({});
  EXPECT_TRUE(adMob.keys().empty());
  EXPECT_EQ(adMob.source(), AdSource::adMob);
  EXPECT_EQ(adMob.timeout(), 0);

  const auto ironSource = AdPlacementConfig::ironSource({"second", "first"});
  EXPECT_EQ(ironSource.keys(), (std::vector<std::string>{"second", "first"}));
  EXPECT_EQ(ironSource.source(), AdSource::ironSource);
  EXPECT_EQ(ironSource.timeout(), 0);
}

TEST(AdsPauseConfigTest, OnlyTheExactPlacementsSwitchIsAskedEachTime) {
  EXPECT_FALSE(AdsPauseConfig({}).checkCondition(kAllPlacements[0]));

  int calls = 0;
  bool answer = true;
  const AdsPauseConfig pause({{AdsPlacement::interstitial(InterstitialAdPlacement::connect), [&] {
                                 ++calls;
                                 return answer;
                               }}});
  for (std::size_t i = 1; i < kAllPlacements.size(); ++i) {
    EXPECT_FALSE(pause.checkCondition(kAllPlacements[i])) << kAllPlacements[i].description();
  }
  EXPECT_EQ(calls, 0);

  EXPECT_TRUE(pause.checkCondition(kAllPlacements[0]));
  answer = false;
  EXPECT_FALSE(pause.checkCondition(kAllPlacements[0]));
  EXPECT_EQ(calls, 2);

  // A copy shares the switches: it asks the same callback.
  const AdsPauseConfig copy = pause;
  answer = true;
  EXPECT_TRUE(copy.checkCondition(kAllPlacements[0]));
  EXPECT_EQ(calls, 3);

  // A switch given without a callable holds nothing back.
  EXPECT_FALSE(AdsPauseConfig({{kAllPlacements[1], nullptr}}).checkCondition(kAllPlacements[1]));
}

}  // namespace
}  // namespace QVRAdKit
