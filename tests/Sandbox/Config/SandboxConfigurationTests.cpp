#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/Config/SandboxAdsConfigProvider.h"
#include "Sandbox/Config/SandboxConfiguration.h"
#include "Sandbox/Config/SandboxConfigurationCheck.h"
#include "Support/TemporaryDirectory.h"

namespace QVRAdKit::Sandbox {
namespace {

using Distribution = SimulatedGoogleMobileAds::Latency::Distribution;
using Strings = std::vector<std::string>;
using std::tuple;

SandboxConfiguration parsed(std::string_view json) {
  auto result = SandboxConfiguration::parse(json);
  EXPECT_TRUE(result.hasValue()) << (result ? "" : result.error().localizedDescription);
  return result ? std::move(result).value() : SandboxConfiguration{};
}

// The first problem found (fields in document order come before the rules across fields).
std::string errorOf(std::string_view json) {
  auto check = SandboxConfigurationCheck::ofText(json);
  return check.errors.empty() ? std::string("(parsed)") : check.errors.front();
}

SandboxConfiguration::ErrorCode codeOf(std::string_view json) {
  auto result = SandboxConfiguration::parse(json);
  return static_cast<SandboxConfiguration::ErrorCode>(result ? 0 : result.error().code);
}

// Comparable views of the parsed values: one expectation covers every field.
auto fields(const AdPlacementConfig& p) {
  return tuple(p.source(), p.keys(), p.timeout());
}
auto fields(const SimulatedGoogleMobileAds::Latency& l) {
  return tuple(l.distribution, l.minimum, l.maximum, l.median, l.sigma);
}

TEST(SandboxConfigurationTest, EmbeddedDefaultsDescribeBothNetworksAndEveryPlacement) {
  const SandboxConfiguration configuration = SandboxConfiguration::defaults();
  const AdsConfig& ads = configuration.ads;
  EXPECT_EQ(ads.sources(),
            (AdsConfig::Sources{{AdSource::adMob, std::nullopt},
                                {AdSource::ironSource, "sandbox-ironsource-app-key"}}));
  const auto& connect = ads.interstitialPlacements().at(InterstitialAdPlacement::connect);
  EXPECT_EQ(tuple(connect.source(), connect.keys().size(), connect.timeout()),
            tuple(AdSource::adMob, 3u, 60.0));
  EXPECT_EQ(
      fields(ads.interstitialPlacements().at(InterstitialAdPlacement::disconnect)),
      tuple(AdSource::ironSource, Strings{"disconnect_primary", "disconnect_fallback"}, 120.0));
  EXPECT_EQ(ads.interstitialPlacements().at(InterstitialAdPlacement::appLaunch).source(),
            AdSource::adMob);
  EXPECT_EQ(ads.appOpenPlacements().at(AppOpenAdPlacement::main).timeout(), 30);
  EXPECT_EQ(ads.appOpenPlacements().at(AppOpenAdPlacement::appLaunch).source(), AdSource::adMob);
  EXPECT_EQ(ads.rewardedPlacements().at(RewardedAdPlacement::timewall).keys(),
            Strings{"/sandbox/rewarded/timewall"});

  // An ad-unit entry overrides only what it names: the rest comes from the defaults section.
  const auto& gma = configuration.googleMobileAds;
  const auto& medium = gma.adUnits.at("/sandbox/interstitial/connect-medium");
  EXPECT_EQ(tuple(medium.fillRate, medium.latency.distribution, medium.latency.maximum),
            tuple(0.6, Distribution::logNormal, 8.0));
  const auto& low = gma.adUnits.at("/sandbox/interstitial/connect-low");
  EXPECT_EQ(tuple(low.latency.distribution, low.latency.median),
            tuple(Distribution::uniform, gma.defaults.latency.median));
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
      "adMob": {"startDelay": 2,
        "defaults": {"fillRate": 0.5,
          "latency": {"distribution": "logNormal", "minimum": 1, "maximum": 9, "median": 4,
                      "sigma": 0.2},
          "errorCodes": [3, 11], "networkClassNames": ["N1", "N2"],
          "onScreenDuration": 20, "reward": {"amount": 2.5, "type": "gems"}},
        "adUnits": {"/u": {"fillRate": 1, "latency": {"maximum": 12}}}},
      "ironSource": {"initializationLatency": 4,
        "interstitial": {"fillRate": 0.25, "latency": {"minimum": 2, "maximum": 5},
          "adNetworks": ["X"], "loadErrors": [{"code": 7, "message": "m7"}], "onScreenDuration": 9},
        "rewardedVideo": {"fillRate": 0, "adNetworks": []},
        "interstitialShowsPerHour": {"a": 0, "b": 3},
        "reward": {"name": "coins", "amount": 5, "placement": "P"}},
      "consent": {"updateLatency": 1, "formLoadLatency": 2, "answerLatency": 3},
      "session": {"appLaunchTimeout": 4, "disconnected": {"minimum": 5, "maximum": 6},
                  "connected": {"minimum": 7, "maximum": 8}, "rewardedChance": 0.1,
                  "backgroundChance": 1, "background": {"minimum": 9, "maximum": 10}}}
  })");

  EXPECT_EQ(c.ads.sources().at(AdSource::adMob), "admob-app");
  EXPECT_EQ(c.ads.interstitialPlacements().size(), 1u);
  EXPECT_EQ(fields(c.ads.interstitialPlacements().at(InterstitialAdPlacement::connect)),
            tuple(AdSource::ironSource, Strings{"a", "b"}, 1.5));
  EXPECT_EQ(c.ads.appOpenPlacements().at(AppOpenAdPlacement::main).timeout(), 7);
  EXPECT_EQ(fields(c.ads.rewardedPlacements().at(RewardedAdPlacement::timewall)),
            tuple(AdSource::ironSource, Strings{}, 0.0));

  const auto& gma = c.googleMobileAds;
  EXPECT_EQ(tuple(gma.startDelay, gma.defaults.fillRate, gma.defaults.onScreenDuration),
            tuple(2.0, 0.5, 20.0));
  EXPECT_EQ(fields(gma.defaults.latency), tuple(Distribution::logNormal, 1.0, 9.0, 4.0, 0.2));
  EXPECT_EQ(gma.defaults.errorCodes, (std::vector<std::int64_t>{3, 11}));
  EXPECT_EQ(gma.defaults.networkClassNames, (Strings{"N1", "N2"}));
  EXPECT_EQ(tuple(gma.defaults.reward.amount, gma.defaults.reward.type),
            tuple(Platform::Decimal::fromDouble(2.5), "gems"));
  const auto& unit = gma.adUnits.at("/u");
  // The minimum and the reward come from the defaults.
  EXPECT_EQ(tuple(unit.fillRate, unit.latency.minimum, unit.latency.maximum, unit.reward.type),
            tuple(1.0, 1.0, 12.0, "gems"));

  const auto& is = c.ironSource;
  EXPECT_EQ(
      tuple(is.initializationLatency, is.interstitial.fillRate, is.interstitial.minimumLatency,
            is.interstitial.maximumLatency, is.interstitial.onScreenDuration),
      tuple(4.0, 0.25, 2.0, 5.0, 9.0));
  EXPECT_EQ(is.interstitial.loadErrors,
            (std::vector<Platform::Error>{{SimulatedIronSource::kErrorDomain, 7, "m7"}}));
  // The ad unit is not configurable.
  EXPECT_EQ(tuple(is.interstitial.adNetworks, is.interstitial.adUnit),
            tuple(Strings{"X"}, "interstitial"));
  EXPECT_EQ(tuple(is.rewardedVideo.fillRate, is.rewardedVideo.adNetworks), tuple(0.0, Strings{}));
  EXPECT_EQ(is.interstitialShowsPerHour, (std::map<std::string, unsigned>{{"a", 0}, {"b", 3}}));
  EXPECT_EQ(is.reward, (ISPlacementInfo{"coins", Platform::Decimal::fromInt(5), "P"}));

  EXPECT_EQ(tuple(c.consent.updateLatency, c.consent.formLoadLatency, c.consent.answerLatency),
            tuple(1.0, 2.0, 3.0));
  EXPECT_EQ(c.session, (SandboxSessionProfile{4, {5, 6}, {7, 8}, 0.1, 1, {9, 10}}));
}

TEST(SandboxConfigurationTest, AbsentSectionsKeepTheSimulatorsDefaults) {
  const SandboxConfiguration c = parsed("{}");
  EXPECT_TRUE(c.ads.sources().empty() && c.ads.interstitialPlacements().empty() &&
              c.ads.appOpenPlacements().empty() && c.ads.rewardedPlacements().empty());

  const SimulatedGoogleMobileAds::Configuration gma;
  EXPECT_EQ(tuple(c.googleMobileAds.startDelay, c.googleMobileAds.defaults.fillRate,
                  c.googleMobileAds.defaults.errorCodes),
            tuple(gma.startDelay, gma.defaults.fillRate, gma.defaults.errorCodes));
  EXPECT_TRUE(c.googleMobileAds.adUnits.empty());
  const SimulatedIronSource::Configuration is;
  EXPECT_EQ(tuple(c.ironSource.interstitial.fillRate, c.ironSource.rewardedVideo.adUnit,
                  c.ironSource.reward),
            tuple(is.interstitial.fillRate, "rewardedvideo", is.reward));
  EXPECT_EQ(c.consent.answerLatency, SimulatedConsentPlatform::Options{}.answerLatency);
  EXPECT_EQ(c.session, SandboxSessionProfile{});

  // A partial range keeps the other bound.
  const auto connected =
      parsed(R"({"simulation": {"session": {"connected": {"maximum": 1000}}}})").session.connected;
  EXPECT_EQ(tuple(connected.minimum, connected.maximum),
            tuple(SandboxSessionProfile{}.connected.minimum, 1000.0));
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
      // A pause's end must stay a date a store keeps: ten years at most.
      {R"({"simulation": {"session": {"pauseAfterRewardSeconds": 315360000.5}}})",
       "simulation.session.pauseAfterRewardSeconds: must be at most 315360000 (3650 days), found "
       "315360000.5"},
      {R"({"simulation": {"session": {"pauseAfterRewardSeconds": 1e308}}})",
       "simulation.session.pauseAfterRewardSeconds: must be at most 315360000 (3650 days), found "
       "1e+308"},
      {R"({"simulation": {"session": {"pauseAfterRewardSeconds": 315360000}}})", "(parsed)"},
      {R"({"simulation": {"session": {"pauseAfterRewardSeconds": -1}}})",
       "simulation.session.pauseAfterRewardSeconds: must not be negative, found -1"},
      {R"({"simulation": {"weather": {}}})",
       "simulation: unknown field \"weather\" (expected adMob, ironSource, consent or session)"},
  };
  for (const auto& [json, message] : cases) EXPECT_EQ(errorOf(json), message) << json;

  const std::string_view malformedJson = "{\"sources\": {\n  \"adMob\": null,\n}";
  const auto malformed = errorOf(malformedJson);
  EXPECT_TRUE(malformed.starts_with("invalid JSON: parse error at line 3")) << malformed;
  // A number beyond every number type is bad JSON too, not an escaping exception.
  EXPECT_EQ(errorOf(R"({"simulation": {"adMob": {"startDelay": 8e0555}}})"),
            "invalid JSON: number overflow parsing '8e0555'");
  using enum SandboxConfiguration::ErrorCode;
  EXPECT_EQ(codeOf(malformedJson), invalidJson);
  EXPECT_EQ(codeOf(""), invalidJson);
  EXPECT_EQ(codeOf(R"({"sources": 1})"), invalidConfiguration);
  EXPECT_EQ(SandboxConfiguration::parse(malformedJson).error().domain,
            SandboxConfiguration::kErrorDomain);
}

TEST(SandboxConfigurationTest, LoadsFilesAndNamesThePathInErrors) {
  const QVRAdKit::Testing::TemporaryDirectory directory("qvr-config-test-");
  const std::string good = directory.write(
      "good.json",
      R"({"sources": {"adMob": null}, "rewarded": {"timewall": {"source": "adMob", "keys": ["t"]}}})");
  const std::string bad = directory.write(
      "bad.json", R"({"rewarded": {"timewall": {"source": "adMob", "timeout": -1}}})");
  const std::string missing = directory.file("missing.json");
  auto loaded = SandboxConfiguration::load(good);
  ASSERT_TRUE(loaded.hasValue());
  EXPECT_EQ(loaded->ads.rewardedPlacements().at(RewardedAdPlacement::timewall).keys(),
            Strings{"t"});
  EXPECT_EQ(
      SandboxConfiguration::load(bad).error().localizedDescription,
      bad + ": rewarded.timewall.timeout: must not be negative, found -1 (and 1 more problem)");
  auto absent = SandboxConfiguration::load(missing);
  ASSERT_FALSE(absent.hasValue());
  EXPECT_EQ(absent.error().code,
            static_cast<std::int64_t>(SandboxConfiguration::ErrorCode::unreadable));
  EXPECT_EQ(absent.error().localizedDescription,
            "cannot read the configuration file \"" + missing + "\": No such file or directory");
  EXPECT_EQ(
      SandboxConfiguration::load(directory.dir.string()).error().localizedDescription,
      "cannot read the configuration file \"" + directory.dir.string() + "\": it is a directory");
}

AdsConfig configWithConnectKeys(Strings keys) {
  return AdsConfig({{AdSource::adMob, std::nullopt}},
                   {{InterstitialAdPlacement::connect, AdPlacementConfig::adMob(std::move(keys))}},
                   {}, {});
}

Strings connectKeys(const AdsConfig& config) {
  return config.interstitialPlacements().at(InterstitialAdPlacement::connect).keys();
}

TEST(SandboxAdsConfigProviderTest, StreamGivesTheCurrentConfigurationAtOnceAndEveryChange) {
  SandboxAdsConfigProvider provider(configWithConnectKeys({"first"}));
  EXPECT_EQ(provider.configurationName(), "sandbox");
  EXPECT_EQ(&provider.rx(), &provider);

  std::vector<Strings> seen;
  auto subscription = provider.rx().adsConfig().subscribe(
      [&seen](const AdsConfig& config) { seen.push_back(connectKeys(config)); });
  EXPECT_EQ(seen, std::vector<Strings>{{"first"}});  // at once, without waiting for a change
  provider.setConfig(configWithConnectKeys({"second"}));
  EXPECT_EQ(seen, (std::vector<Strings>{{"first"}, {"second"}}));
  EXPECT_EQ(connectKeys(provider.config()), Strings{"second"});

  // A later subscriber, like the next start-up run, starts from the latest configuration.
  Strings late;
  auto first = provider.adsConfig().take(1).subscribe(
      [&late](const AdsConfig& config) { late = connectKeys(config); });
  EXPECT_EQ(late, Strings{"second"});
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
