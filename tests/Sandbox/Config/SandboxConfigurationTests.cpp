#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/Config/SandboxAdsConfigProvider.h"
#include "Sandbox/Config/SandboxConfiguration.h"

namespace QVRAdKit::Sandbox {
namespace {

using Distribution = SimulatedGoogleMobileAds::Latency::Distribution;

SandboxConfiguration parsed(std::string_view json) {
  auto result = SandboxConfiguration::parse(json);
  EXPECT_TRUE(result.hasValue()) << (result ? "" : result.error().localizedDescription);
  return result ? std::move(result).value() : SandboxConfiguration{};
}

std::string errorOf(std::string_view json) {
  auto result = SandboxConfiguration::parse(json);
  return result ? std::string("(parsed)") : result.error().localizedDescription;
}

std::vector<std::string> keys(const AdPlacementConfig& config) {
  return config.keys();
}

TEST(SandboxConfigurationTest, EmbeddedDefaultsDescribeBothNetworksAndEveryPlacement) {
  const SandboxConfiguration configuration = SandboxConfiguration::defaults();
  const AdsConfig& ads = configuration.ads;

  ASSERT_EQ(ads.sources().size(), 2u);
  EXPECT_FALSE(ads.sources().at(AdSource::adMob).has_value());
  EXPECT_EQ(ads.sources().at(AdSource::ironSource), "sandbox-ironsource-app-key");

  const auto& connect = ads.interstitialPlacements().at(InterstitialAdPlacement::connect);
  EXPECT_EQ(connect.source(), AdSource::adMob);
  EXPECT_EQ(connect.keys().size(), 3u);
  EXPECT_EQ(connect.timeout(), 60);
  const auto& disconnect = ads.interstitialPlacements().at(InterstitialAdPlacement::disconnect);
  EXPECT_EQ(disconnect.source(), AdSource::ironSource);
  EXPECT_EQ(keys(disconnect),
            (std::vector<std::string>{"disconnect_primary", "disconnect_fallback"}));
  EXPECT_EQ(disconnect.timeout(), 120);
  EXPECT_EQ(ads.interstitialPlacements().at(InterstitialAdPlacement::appLaunch).source(),
            AdSource::adMob);
  EXPECT_EQ(ads.appOpenPlacements().at(AppOpenAdPlacement::main).timeout(), 30);
  EXPECT_EQ(ads.appOpenPlacements().at(AppOpenAdPlacement::appLaunch).source(), AdSource::adMob);
  EXPECT_EQ(keys(ads.rewardedPlacements().at(RewardedAdPlacement::timewall)),
            (std::vector<std::string>{"/sandbox/rewarded/timewall"}));

  // An ad-unit entry overrides only what it names: the rest comes from the defaults section.
  const auto& gma = configuration.googleMobileAds;
  const auto& medium = gma.adUnits.at("/sandbox/interstitial/connect-medium");
  EXPECT_EQ(medium.fillRate, 0.6);
  EXPECT_EQ(medium.latency.distribution, Distribution::logNormal);
  EXPECT_EQ(medium.latency.maximum, 8);
  const auto& low = gma.adUnits.at("/sandbox/interstitial/connect-low");
  EXPECT_EQ(low.latency.distribution, Distribution::uniform);
  EXPECT_EQ(low.latency.median, gma.defaults.latency.median);
  EXPECT_EQ(configuration.ironSource.interstitialShowsPerHour.at("disconnect_primary"), 4u);

  // The printed text and the parsed defaults are the same configuration.
  EXPECT_TRUE(SandboxConfiguration::parse(kDefaultSandboxConfigurationJson).hasValue());
}

TEST(SandboxConfigurationTest, ReadsEveryField) {
  const SandboxConfiguration c = parsed(R"({
    "sources": {"adMob": "admob-app", "ironSource": "is-key"},
    "interstitial": {"connect": {"source": "ironSource", "keys": ["a", "b"], "timeout": 1.5}},
    "appOpen": {"main": {"source": "adMob", "keys": ["m"], "timeout": 7}},
    "rewarded": {"timewall": {"source": "ironSource"}},
    "simulation": {
      "adMob": {
        "startDelay": 2,
        "defaults": {"fillRate": 0.5,
                     "latency": {"distribution": "logNormal", "minimum": 1, "maximum": 9,
                                 "median": 4, "sigma": 0.2},
                     "errorCodes": [3, 11], "networkClassNames": ["N1", "N2"],
                     "onScreenDuration": 20, "reward": {"amount": 2.5, "type": "gems"}},
        "adUnits": {"/u": {"fillRate": 1, "latency": {"maximum": 12}}}
      },
      "ironSource": {
        "initializationLatency": 4,
        "interstitial": {"fillRate": 0.25, "latency": {"minimum": 2, "maximum": 5},
                         "adNetworks": ["X"], "loadErrors": [{"code": 7, "message": "m7"}],
                         "onScreenDuration": 9},
        "rewardedVideo": {"fillRate": 0, "adNetworks": []},
        "interstitialShowsPerHour": {"a": 0, "b": 3},
        "reward": {"name": "coins", "amount": 5, "placement": "P"}
      },
      "consent": {"updateLatency": 1, "formLoadLatency": 2, "answerLatency": 3},
      "session": {"appLaunchTimeout": 4, "disconnected": {"minimum": 5, "maximum": 6},
                  "connected": {"minimum": 7, "maximum": 8}, "rewardedChance": 0.1,
                  "backgroundChance": 1, "background": {"minimum": 9, "maximum": 10}}
    }
  })");

  EXPECT_EQ(c.ads.sources().at(AdSource::adMob), "admob-app");
  const auto& connect = c.ads.interstitialPlacements().at(InterstitialAdPlacement::connect);
  EXPECT_EQ(connect.source(), AdSource::ironSource);
  EXPECT_EQ(keys(connect), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(connect.timeout(), 1.5);
  EXPECT_EQ(c.ads.interstitialPlacements().size(), 1u);
  EXPECT_EQ(c.ads.appOpenPlacements().at(AppOpenAdPlacement::main).timeout(), 7);
  const auto& timewall = c.ads.rewardedPlacements().at(RewardedAdPlacement::timewall);
  EXPECT_TRUE(timewall.keys().empty());
  EXPECT_EQ(timewall.timeout(), 0);

  const auto& gma = c.googleMobileAds;
  EXPECT_EQ(gma.startDelay, 2);
  EXPECT_EQ(gma.defaults.fillRate, 0.5);
  EXPECT_EQ(gma.defaults.latency.distribution, Distribution::logNormal);
  EXPECT_EQ(gma.defaults.latency.minimum, 1);
  EXPECT_EQ(gma.defaults.latency.maximum, 9);
  EXPECT_EQ(gma.defaults.latency.median, 4);
  EXPECT_EQ(gma.defaults.latency.sigma, 0.2);
  EXPECT_EQ(gma.defaults.errorCodes, (std::vector<std::int64_t>{3, 11}));
  EXPECT_EQ(gma.defaults.networkClassNames, (std::vector<std::string>{"N1", "N2"}));
  EXPECT_EQ(gma.defaults.onScreenDuration, 20);
  EXPECT_EQ(gma.defaults.reward.amount, Platform::Decimal::fromDouble(2.5));
  EXPECT_EQ(gma.defaults.reward.type, "gems");
  const auto& unit = gma.adUnits.at("/u");
  EXPECT_EQ(unit.fillRate, 1);
  EXPECT_EQ(unit.latency.minimum, 1);  // from the defaults
  EXPECT_EQ(unit.latency.maximum, 12);
  EXPECT_EQ(unit.reward.type, "gems");

  const auto& is = c.ironSource;
  EXPECT_EQ(is.initializationLatency, 4);
  EXPECT_EQ(is.interstitial.fillRate, 0.25);
  EXPECT_EQ(is.interstitial.minimumLatency, 2);
  EXPECT_EQ(is.interstitial.maximumLatency, 5);
  EXPECT_EQ(is.interstitial.adNetworks, (std::vector<std::string>{"X"}));
  ASSERT_EQ(is.interstitial.loadErrors.size(), 1u);
  EXPECT_EQ(is.interstitial.loadErrors[0],
            (Platform::Error{SimulatedIronSource::kErrorDomain, 7, "m7"}));
  EXPECT_EQ(is.interstitial.onScreenDuration, 9);
  EXPECT_EQ(is.interstitial.adUnit, "interstitial");  // not configurable
  EXPECT_EQ(is.rewardedVideo.fillRate, 0);
  EXPECT_TRUE(is.rewardedVideo.adNetworks.empty());
  EXPECT_EQ(is.interstitialShowsPerHour, (std::map<std::string, unsigned>{{"a", 0}, {"b", 3}}));
  EXPECT_EQ(is.reward, (ISPlacementInfo{"coins", Platform::Decimal::fromInt(5), "P"}));

  EXPECT_EQ(c.consent.updateLatency, 1);
  EXPECT_EQ(c.consent.formLoadLatency, 2);
  EXPECT_EQ(c.consent.answerLatency, 3);
  EXPECT_EQ(c.session, (SandboxSessionProfile{4, {5, 6}, {7, 8}, 0.1, 1, {9, 10}}));
}

TEST(SandboxConfigurationTest, AbsentSectionsKeepTheSimulatorsDefaults) {
  const SandboxConfiguration c = parsed("{}");
  EXPECT_TRUE(c.ads.sources().empty());
  EXPECT_TRUE(c.ads.interstitialPlacements().empty());
  EXPECT_TRUE(c.ads.appOpenPlacements().empty());
  EXPECT_TRUE(c.ads.rewardedPlacements().empty());

  const SimulatedGoogleMobileAds::Configuration gma;
  EXPECT_EQ(c.googleMobileAds.startDelay, gma.startDelay);
  EXPECT_EQ(c.googleMobileAds.defaults.fillRate, gma.defaults.fillRate);
  EXPECT_EQ(c.googleMobileAds.defaults.errorCodes, gma.defaults.errorCodes);
  EXPECT_TRUE(c.googleMobileAds.adUnits.empty());
  const SimulatedIronSource::Configuration is;
  EXPECT_EQ(c.ironSource.interstitial.fillRate, is.interstitial.fillRate);
  EXPECT_EQ(c.ironSource.rewardedVideo.adUnit, "rewardedvideo");
  EXPECT_EQ(c.ironSource.reward, is.reward);
  EXPECT_EQ(c.consent.answerLatency, SimulatedConsentPlatform::Options{}.answerLatency);
  EXPECT_EQ(c.session, SandboxSessionProfile{});

  // A partial range keeps the other bound.
  const SandboxConfiguration partial =
      parsed(R"({"simulation": {"session": {"connected": {"maximum": 1000}}}})");
  EXPECT_EQ(partial.session.connected.minimum, SandboxSessionProfile{}.connected.minimum);
  EXPECT_EQ(partial.session.connected.maximum, 1000);
}

TEST(SandboxConfigurationTest, RejectsBadInputNamingTheField) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"([1, 2])", "configuration: expected an object, found an array"},
      {R"({"placements": {}})",
       "configuration: unknown field \"placements\" (expected sources, interstitial, appOpen, "
       "rewarded or simulation)"},
      {R"({"sources": {"facebook": "k"}})",
       "sources: unknown network \"facebook\" (expected adMob or ironSource)"},
      {R"({"sources": {"face\nbook": "k"}})",  // an error stays one line
       "sources: unknown network \"face\\nbook\" (expected adMob or ironSource)"},
      {R"({"sources": {"ironSource": 5}})",
       "sources.ironSource: expected a string, found a number"},
      {R"({"interstitial": {"launch": {"source": "adMob"}}})",
       "interstitial: unknown placement \"launch\" (expected connect, disconnect or appLaunch)"},
      {R"({"appOpen": {"connect": {"source": "adMob"}}})",
       "appOpen: unknown placement \"connect\" (expected main or appLaunch)"},
      {R"({"rewarded": {"bonus": {"source": "adMob"}}})",
       "rewarded: unknown placement \"bonus\" (expected timewall)"},
      {R"({"interstitial": {"connect": {"keys": []}}})",
       "interstitial.connect: missing field \"source\""},
      {R"({"interstitial": {"connect": {"source": "unity"}}})",
       "interstitial.connect.source: unknown network \"unity\" (expected adMob or ironSource)"},
      {R"({"interstitial": {"connect": {"source": "adMob", "timeout": -5}}})",
       "interstitial.connect.timeout: must not be negative, found -5"},
      {R"({"interstitial": {"connect": {"source": "adMob", "timeout": "60"}}})",
       "interstitial.connect.timeout: expected a number, found a string"},
      {R"({"interstitial": {"connect": {"source": "adMob", "keys": "a"}}})",
       "interstitial.connect.keys: expected an array, found a string"},
      {R"({"interstitial": {"connect": {"source": "adMob", "keys": ["a", 3]}}})",
       "interstitial.connect.keys[1]: expected a string, found a number"},
      {R"({"interstitial": {"connect": {"source": "adMob", "keys": [""]}}})",
       "interstitial.connect.keys[0]: must not be empty"},
      {R"({"interstitial": {"connect": {"source": "adMob", "timout": 5}}})",
       "interstitial.connect: unknown field \"timout\" (expected source, keys or timeout)"},
      {R"({"simulation": {"adMob": {"defaults": {"fillRate": 1.5}}}})",
       "simulation.adMob.defaults.fillRate: must be between 0 and 1, found 1.5"},
      {R"({"simulation": {"adMob": {"adUnits": {"/x": {"fillRate": true}}}}})",
       "simulation.adMob.adUnits[\"/x\"].fillRate: expected a number, found a boolean"},
      {R"({"simulation": {"adMob": {"defaults": {"latency": {"distribution": "normal"}}}}})",
       "simulation.adMob.defaults.latency.distribution: unknown distribution \"normal\" (expected "
       "uniform or logNormal)"},
      {R"({"simulation": {"adMob": {"defaults": {"latency": {"minimum": 5, "maximum": 1}}}}})",
       "simulation.adMob.defaults.latency: minimum (5) is greater than maximum (1)"},
      {R"({"simulation": {"adMob": {"defaults": {"errorCodes": [1.5]}}}})",
       "simulation.adMob.defaults.errorCodes[0]: expected an integer, found a number"},
      {R"({"simulation": {"ironSource": {"interstitial": {"latency": {"minimum": -1}}}}})",
       "simulation.ironSource.interstitial.latency.minimum: must not be negative, found -1"},
      {R"({"simulation": {"ironSource": {"interstitialShowsPerHour": {"p": -2}}}})",
       "simulation.ironSource.interstitialShowsPerHour.p: must not be negative, found -2"},
      {R"({"simulation": {"ironSource": {"interstitial": {"loadErrors": [{"message": "x"}]}}}})",
       "simulation.ironSource.interstitial.loadErrors[0]: missing field \"code\""},
      {R"({"simulation": {"consent": {"answerLatency": null}}})",
       "simulation.consent.answerLatency: expected a number, found null"},
      {R"({"simulation": {"session": {"rewardedChance": -0.1}}})",
       "simulation.session.rewardedChance: must be between 0 and 1, found -0.1"},
      {R"({"simulation": {"weather": {}}})",
       "simulation: unknown field \"weather\" (expected adMob, ironSource, consent or session)"},
  };
  for (const auto& [json, message] : cases) {
    EXPECT_EQ(errorOf(json), message) << json;
  }

  auto malformed = SandboxConfiguration::parse("{\"sources\": {\n  \"adMob\": null,\n}");
  ASSERT_FALSE(malformed.hasValue());
  EXPECT_EQ(malformed.error().domain, SandboxConfiguration::kErrorDomain);
  EXPECT_EQ(malformed.error().code,
            static_cast<std::int64_t>(SandboxConfiguration::ErrorCode::invalidJson));
  EXPECT_TRUE(
      malformed.error().localizedDescription.starts_with("invalid JSON: parse error at line 3"))
      << malformed.error().localizedDescription;
  EXPECT_EQ(SandboxConfiguration::parse("").error().code,
            static_cast<std::int64_t>(SandboxConfiguration::ErrorCode::invalidJson));
  // A number beyond every number type is bad JSON too, not an escaping exception.
  EXPECT_EQ(SandboxConfiguration::parse(R"({"simulation": {"adMob": {"startDelay": 8e0555}}})")
                .error()
                .localizedDescription,
            "invalid JSON: number overflow parsing '8e0555'");
  EXPECT_EQ(SandboxConfiguration::parse(R"({"sources": 1})").error().code,
            static_cast<std::int64_t>(SandboxConfiguration::ErrorCode::invalidConfiguration));
}

TEST(SandboxConfigurationTest, LoadsFilesAndNamesThePathInErrors) {
  const auto directory = std::filesystem::temp_directory_path() /
                         ("qvr-config-test-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(directory);
  const std::string good = (directory / "good.json").string();
  const std::string bad = (directory / "bad.json").string();
  std::ofstream(good) << R"({"rewarded": {"timewall": {"source": "adMob", "keys": ["t"]}}})";
  std::ofstream(bad) << R"({"rewarded": {"timewall": {"source": "adMob", "timeout": -1}}})";

  auto loaded = SandboxConfiguration::load(good);
  ASSERT_TRUE(loaded.hasValue());
  EXPECT_EQ(keys(loaded->ads.rewardedPlacements().at(RewardedAdPlacement::timewall)),
            (std::vector<std::string>{"t"}));

  EXPECT_EQ(SandboxConfiguration::load(bad).error().localizedDescription,
            bad + ": rewarded.timewall.timeout: must not be negative, found -1");

  const std::string missing = (directory / "missing.json").string();
  auto absent = SandboxConfiguration::load(missing);
  ASSERT_FALSE(absent.hasValue());
  EXPECT_EQ(absent.error().code,
            static_cast<std::int64_t>(SandboxConfiguration::ErrorCode::unreadable));
  EXPECT_EQ(absent.error().localizedDescription,
            "cannot read the configuration file \"" + missing + "\": No such file or directory");
  EXPECT_EQ(SandboxConfiguration::load(directory.string()).error().localizedDescription,
            "cannot read the configuration file \"" + directory.string() + "\": it is a directory");

  std::filesystem::remove_all(directory);
}

AdsConfig configWithConnectKeys(std::vector<std::string> keys) {
  return AdsConfig({{AdSource::adMob, std::nullopt}},
                   {{InterstitialAdPlacement::connect, AdPlacementConfig::adMob(std::move(keys))}},
                   {}, {});
}

std::vector<std::string> connectKeys(const AdsConfig& config) {
  return config.interstitialPlacements().at(InterstitialAdPlacement::connect).keys();
}

TEST(SandboxAdsConfigProviderTest, StreamGivesTheCurrentConfigurationAtOnceAndEveryChange) {
  SandboxAdsConfigProvider provider(configWithConnectKeys({"first"}));
  EXPECT_EQ(provider.configurationName(), "sandbox");
  EXPECT_EQ(&provider.rx(), &provider);

  std::vector<std::vector<std::string>> seen;
  auto subscription = provider.rx().adsConfig().subscribe(
      [&seen](const AdsConfig& config) { seen.push_back(connectKeys(config)); });
  ASSERT_EQ(seen.size(), 1u);  // at once, without waiting for a change
  EXPECT_EQ(seen[0], (std::vector<std::string>{"first"}));

  provider.setConfig(configWithConnectKeys({"second"}));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], (std::vector<std::string>{"second"}));
  EXPECT_EQ(connectKeys(provider.config()), (std::vector<std::string>{"second"}));

  // A later subscriber, like the next start-up run, starts from the latest configuration.
  std::vector<std::string> late;
  auto first = provider.adsConfig().take(1).subscribe(
      [&late](const AdsConfig& config) { late = connectKeys(config); });
  EXPECT_EQ(late, (std::vector<std::string>{"second"}));
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
