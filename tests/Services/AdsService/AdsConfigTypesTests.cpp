// The configuration values: placements as keys and texts, and the host mappings. (The pause
// switches are tested through the service's decisions.)

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>

#include "Services/AdsService/AdsServiceTestSupport.h"

namespace QVRAdKit {
namespace {

using testing_support::kAllPlacements;

TEST(AdsPlacementTest, IdentityTextHashAndTheHostMappings) {
  std::vector<std::string> texts;
  std::unordered_map<AdsPlacement, std::size_t> index;
  for (const auto& placement : kAllPlacements) {
    texts.push_back(placement.description());
    index.emplace(placement, index.size());
  }
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "interstitial(QVRAdKit.InterstitialAdPlacement.connect)",
                       "interstitial(QVRAdKit.InterstitialAdPlacement.disconnect)",
                       "interstitial(QVRAdKit.InterstitialAdPlacement.appLaunch)",
                       "rewarded(QVRAdKit.RewardedAdPlacement.timewall)",
                       "appOpen(QVRAdKit.AppOpenAdPlacement.main)",
                       "appOpen(QVRAdKit.AppOpenAdPlacement.appLaunch)",
                   }));
  // Equal underlying values in different formats (appLaunch) are different keys; a fresh equal
  // value finds its entry.
  ASSERT_EQ(index.size(), kAllPlacements.size());
  for (std::size_t i = 0; i < kAllPlacements.size(); ++i)
    EXPECT_EQ(index.at(AdsPlacement(kAllPlacements[i])), i);

  // The host's choices: none maps to no placement, every other case to its namesake.
  EXPECT_EQ(placement(InterstitialType::none), std::nullopt);
  EXPECT_EQ(placement(InterstitialType::connect), InterstitialAdPlacement::connect);
  EXPECT_EQ(placement(InterstitialType::disconnect), InterstitialAdPlacement::disconnect);
  EXPECT_EQ(placement(InterstitialType::appLaunch), InterstitialAdPlacement::appLaunch);
  EXPECT_EQ(placement(AppOpenAdType::none), std::nullopt);
  EXPECT_EQ(placement(AppOpenAdType::main), AppOpenAdPlacement::main);
  EXPECT_EQ(placement(AppOpenAdType::appLaunch), AppOpenAdPlacement::appLaunch);
}

TEST(AdPlacementConfigTest, FactoriesSetTheSourceAndNoTimeout) {
  const auto adMob = AdPlacementConfig::adMob({});
  EXPECT_TRUE(adMob.keys().empty());
  EXPECT_EQ(adMob.source(), AdSource::adMob);
  EXPECT_EQ(adMob.timeout(), 0);
  const auto ironSource = AdPlacementConfig::ironSource({"b", "a"});
  EXPECT_EQ(ironSource.keys(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(ironSource.source(), AdSource::ironSource);
  EXPECT_EQ(ironSource.timeout(), 0);
}

}  // namespace
}  // namespace QVRAdKit
