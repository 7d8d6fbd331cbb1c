#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/Config/SandboxConfigurationCheck.h"
#include "Sandbox/Config/StrictJsonParser.h"
#include "Support/TemporaryDirectory.h"

namespace QVRAdKit::Sandbox {
namespace {

using Lines = std::vector<std::string>;
using ErrorCode = SandboxConfiguration::ErrorCode;

TEST(SandboxConfigurationCheckTest, ListsEveryErrorWithItsPlaceAndRunsNothing) {
  const auto check = SandboxConfigurationCheck::ofText(R"({
    "sources": {"ironSource": null},
    "interstitial": {
      "connect": {"source": "adMob", "keys": ["a", "b", "a"], "timeout": -1},
      "disconnect": {"source": "ironSource", "keys": ["d"], "source": "ironSource"}
    },
    "appOpen": {"main": {"source": "ironSource", "keys": ["m"]}},
    "simulation": {
      "adMob": {"defaults": {"fillRate": 1.5, "errorCodes": [9223372036854775808],
                             "reward": {"amount": 1e-300}},
                "adUnits": {"a": {"latency": {"minimum": -2}}}},
      "ironSource": {"interstitialShowsPerHour": {"d": 4294967296},
                     "reward": {"amount": 1e200}},
      "session": {"connected": {"minimum": 5, "maximum": 1}}
    }
  })");
  EXPECT_FALSE(check.configuration.has_value());
  EXPECT_EQ(check.code, ErrorCode::invalidConfiguration);
  EXPECT_EQ(check.errors,
            (Lines{
                // While reading the JSON: the field named twice.
                "interstitial.disconnect: field \"source\" appears more than once",
                // Field by field, in document order.
                "interstitial.connect.keys[2]: duplicate key \"a\"",
                "interstitial.connect.timeout: must not be negative, found -1",
                "simulation.adMob.defaults.fillRate: must be between 0 and 1, found 1.5",
                "simulation.adMob.defaults.errorCodes[0]: is too large, found "
                "9223372036854775808",
                "simulation.adMob.defaults.reward.amount: cannot be represented as a reward "
                "amount, found 1e-300",
                "simulation.adMob.adUnits.a.latency.minimum: must not be negative, found -2",
                "simulation.ironSource.interstitialShowsPerHour.d: is too large, found 4294967296",
                "simulation.ironSource.reward.amount: cannot be represented as a reward amount, "
                "found 1e+200",
                "simulation.session.connected: minimum (5) is greater than maximum (1)",
                // Across fields.
                "interstitial.connect.source: network \"adMob\" is not configured in sources",
                "appOpen.main.source: app-open ads are served by adMob only, found "
                "\"ironSource\"",
                "sources.ironSource: IronSource needs an application key, found null",
            }));
  // The one-line form names the first and counts the rest.
  const auto parsed = SandboxConfiguration::parse(R"({"sources": {"ironSource": ""}, "x": 1})");
  ASSERT_FALSE(parsed.hasValue());
  EXPECT_EQ(parsed.error().localizedDescription,
            "configuration: unknown field \"x\" (expected sources, interstitial, appOpen, "
            "rewarded or simulation) (and 1 more problem)");
}

TEST(SandboxConfigurationCheckTest, WarnsOfLegalMistakesAndStillAcceptsTheConfiguration) {
  const auto check = SandboxConfigurationCheck::ofText(R"({
    "sources": {"adMob": null, "ironSource": "key"},
    "interstitial": {"connect": {"source": "adMob", "keys": []},
                     "appLaunch": {"source": "adMob", "keys": ["l"], "timeout": 30}},
    "rewarded": {"timewall": {"source": "adMob", "keys": ["r1", "r2", "r3"]}},
    "appOpen": {"main": {"source": "adMob"}},
    "simulation": {
      "adMob": {"adUnits": {"l": {}, "unused": {"fillRate": 1, "onScreenDuration": 700}}},
      "ironSource": {"interstitialShowsPerHour": {"nowhere": 2}}
    }
  })");
  EXPECT_TRUE(check.errors.empty()) << check.errors.front();
  ASSERT_TRUE(check.configuration.has_value());
  EXPECT_EQ(check.warnings,
            (Lines{
                "interstitial.connect.keys: no keys: the placement never shows an ad",
                "interstitial.appLaunch.timeout: is not used for this placement",
                "appOpen.main: no keys: the placement never shows an ad",
                "rewarded.timewall.keys: only the first key is used; the other 2 are ignored",
                "sources.ironSource: no placement uses this network",
                "simulation.adMob.adUnits.unused: no adMob placement uses this ad unit",
                "simulation.ironSource.interstitialShowsPerHour.nowhere: no ironSource "
                "interstitial placement uses this key",
                "simulation.adMob.adUnits.unused.onScreenDuration: an ad on screen for 700 s "
                "outlasts the user's shortest stay connected or disconnected (60 s): the "
                "simulated user may tap through it, and another full-screen ad may open over it",
            }));
  // The embedded configuration is clean.
  const auto embedded = SandboxConfigurationCheck::ofText(kDefaultSandboxConfigurationJson);
  EXPECT_EQ(embedded.errors, Lines{});
  EXPECT_EQ(embedded.warnings, Lines{});
}

TEST(SandboxConfigurationCheckTest, IronSourceNeedsANonEmptyApplicationKey) {
  const auto withKey = [](const std::string& key) {
    return SandboxConfigurationCheck::ofText(
        R"({"sources": {"ironSource": )" + key +
        R"(}, "interstitial": {"disconnect": {"source": "ironSource", "keys": ["d"]}}})");
  };
  EXPECT_EQ(withKey("null").errors,
            Lines{"sources.ironSource: IronSource needs an application key, found null"});
  EXPECT_EQ(withKey(R"("")").errors,
            Lines{"sources.ironSource: IronSource needs an application key, found an empty "
                  "string"});
  EXPECT_TRUE(withKey(R"("k")").configuration.has_value());
}

TEST(SandboxConfigurationCheckTest, RewardAmountsAndIntegersStayWithinWhatTheFieldsHold) {
  const auto amount = [](const std::string& value) {
    auto check = SandboxConfigurationCheck::ofText(
        R"({"simulation": {"adMob": {"defaults": {"reward": {"amount": )" + value + "}}}}}");
    return check.configuration
               ? check.configuration->googleMobileAds.defaults.reward.amount.stringValue()
               : check.errors.front();
  };
  EXPECT_EQ(amount("0"), "0");
  EXPECT_EQ(amount("0.25"), "0.25");
  EXPECT_EQ(amount("9223372036854775807"), "9223372036854775807");
  EXPECT_EQ(amount("9223372036854775808"),
            "simulation.adMob.defaults.reward.amount: is too large, found 9223372036854775808");
  EXPECT_EQ(amount("1e-129"),  // one step beyond the smallest exponent the decimal keeps
            "simulation.adMob.defaults.reward.amount: cannot be represented as a reward amount, "
            "found 1e-129");
  EXPECT_EQ(amount("1e-128"), "0." + std::string(127, '0') + "1");
  // Too small even for the JSON reader's double, which would make it a silent 0.
  EXPECT_EQ(amount("1e-400"),
            "simulation.adMob.defaults.reward.amount: is too small to represent, found 1e-400");
  EXPECT_EQ(amount("-0.0e-400"), "0") << "a zero written small is still zero";

  const auto shows = [](const std::string& value) {
    auto check = SandboxConfigurationCheck::ofText(
        R"({"simulation": {"ironSource": {"interstitialShowsPerHour": {"p": )" + value + "}}}}");
    return check.configuration
               ? std::to_string(check.configuration->ironSource.interstitialShowsPerHour.at("p"))
               : check.errors.front();
  };
  EXPECT_EQ(shows("4294967295"), "4294967295");
  EXPECT_EQ(shows("4294967296"),
            "simulation.ironSource.interstitialShowsPerHour.p: is too large, found 4294967296");
  EXPECT_EQ(shows("-1"),
            "simulation.ironSource.interstitialShowsPerHour.p: must not be negative, found -1");
}

TEST(SandboxConfigurationCheckTest, BoundsSizeNestingAndListLengthQuickly) {
  // Nesting: 32 levels are read (and then refused as a configuration), 33 are not parsed further.
  const auto nested = [](int levels) {
    return SandboxConfigurationCheck::ofText(std::string(static_cast<std::size_t>(levels), '[') +
                                             std::string(static_cast<std::size_t>(levels), ']'));
  };
  EXPECT_EQ(nested(StrictJsonParser::kMaxDepth).errors,
            Lines{"configuration: expected an object, found an array"});
  std::string place;
  for (int level = 0; level < StrictJsonParser::kMaxDepth; ++level) place += "[0]";
  const auto tooDeep = nested(StrictJsonParser::kMaxDepth + 1);
  EXPECT_EQ(tooDeep.code, ErrorCode::tooLarge);
  EXPECT_EQ(tooDeep.errors, Lines{place + ": nested deeper than 32 levels"});
  // Half a million levels (just under the size bound) answer the same way, at once.
  EXPECT_EQ(nested(500'000).errors, Lines{place + ": nested deeper than 32 levels"});

  // Size: a text over the bound is refused before parsing.
  const std::string large(StrictJsonParser::kMaxBytes + 1, ' ');
  EXPECT_EQ(SandboxConfigurationCheck::ofText(large).errors,
            Lines{"the configuration is 1048577 bytes, more than the limit of 1048576"});

  // A 50 MB file is refused by its size, without being read.
  const QVRAdKit::Testing::TemporaryDirectory dir("qvr-config-large-");
  const std::string path = dir.write("large.json", "{");
  std::filesystem::resize_file(path, 50u << 20);
  const auto file = SandboxConfigurationCheck::ofFile(path);
  EXPECT_EQ(file.code, ErrorCode::tooLarge);
  EXPECT_EQ(file.errors, Lines{"the configuration is 52428800 bytes, more than the limit of "
                               "1048576"});

  // Lists: 100 keys are fine, 101 are not.
  const auto keys = [](int count) {
    std::string list;
    for (int index = 0; index < count; ++index) {
      list += (index ? ",\"k" : "\"k") + std::to_string(index) + "\"";
    }
    return SandboxConfigurationCheck::ofText(
        R"({"sources": {"adMob": null}, "interstitial": {"connect": {"source": "adMob", "keys": [)" +
        list + "]}}}");
  };
  EXPECT_TRUE(keys(100).configuration.has_value());
  EXPECT_EQ(keys(101).errors,
            Lines{"interstitial.connect.keys: has 101 elements, more than the limit of 100"});
}

TEST(SandboxConfigurationCheckTest, FieldsNamedTwiceAreErrorsAtEveryLevel) {
  const auto check = SandboxConfigurationCheck::ofText(R"({
    "sources": {"adMob": null},
    "sources": {"adMob": null},
    "simulation": {"adMob": {"adUnits": {"/u\n": {"fillRate": 0.1, "fillRate": 0.9}}}},
    "interstitial": {"connect": {"source": "adMob", "keys": ["/u\n"]}}
  })");
  EXPECT_EQ(check.code, ErrorCode::invalidConfiguration);
  EXPECT_EQ(check.errors,
            (Lines{"configuration: field \"sources\" appears more than once",
                   "simulation.adMob.adUnits[\"/u\\n\"]: field \"fillRate\" appears more than "
                   "once"}));
}

// Numbers are matched to their places in document order, so strings that look like numbers, and
// numbers in arrays and at the top level, must not shift the places.
TEST(SandboxConfigurationCheckTest, NumbersTooSmallForADoubleAreNamedAtTheirPlaces) {
  ConfigurationProblems problems;
  const auto parsed = StrictJsonParser::parse(
      R"({"a\"1e-999": "2e-999", "b": [0, 1, {"c": -3E-400}], "d": 5e-324, "e": 0e-999})",
      problems);
  EXPECT_EQ(parsed.outcome, StrictJsonParser::Outcome::parsed);
  EXPECT_EQ(problems.errors(), (Lines{"b[2].c: is too small to represent, found -3E-400"}));

  ConfigurationProblems atTop;
  EXPECT_EQ(StrictJsonParser::parse("1e-500", atTop).outcome, StrictJsonParser::Outcome::parsed);
  EXPECT_EQ(atTop.errors(), (Lines{"configuration: is too small to represent, found 1e-500"}));
}

// One fault, one line: what follows from a refused field (a required field "missing" beside its
// misspelling, a network "not configured" because its entry was refused, a network or ad unit
// "unused" because the placement using it was refused) is not reported again.
TEST(SandboxConfigurationCheckTest, OneFaultGivesOneLineAtItsPlace) {
  struct Case {
    std::string json;
    Lines errors;
  };
  const std::vector<Case> cases = {
      {R"({"sources": {"adMob": null},
           "interstitial": {"connect": {"sourse": "adMob", "keys": ["k"]}}})",
       {"interstitial.connect: unknown field \"sourse\" (expected source, keys or timeout)"}},
      {R"({"sources": {"adMbo": null},
           "interstitial": {"connect": {"source": "adMob", "keys": ["k"]}}})",
       {"sources: unknown network \"adMbo\" (expected adMob or ironSource)"}},
      {R"({"source": {"adMob": null},
           "interstitial": {"connect": {"source": "adMob", "keys": ["k"]}}})",
       {"configuration: unknown field \"source\" (expected sources, interstitial, appOpen, "
        "rewarded or simulation)"}},
      {R"({"sources": {"adMob": null, "ironSource": 7},
           "interstitial": {"connect": {"source": "ironSource", "keys": ["k"]}}})",
       {"sources.ironSource: expected a string, found a number"}},
      {R"({"sources": {"adMob": null},
           "interstitial": {"connect": {"source": "adMob", "keys": ["k"]}},
           "simulation": {"ironSource": {"interstitial": {"loadErrors": [{"cod": 1}]}}}})",
       {"simulation.ironSource.interstitial.loadErrors[0]: unknown field \"cod\" (expected code or "
        "message)"}},
      // A long name is cut at a character's start (the \u00e9 at byte 63 would be split).
      {R"({"sources": {"adMob": null}, ")" + std::string(63, 'x') + "\u00e9" +
           std::string(1000, 'y') + R"(": 1})",
       {"configuration: unknown field \"" + std::string(63, 'x') +
        "\"... (1065 bytes) (expected sources, interstitial, appOpen, rewarded or simulation)"}},
  };
  for (const Case& c : cases) {
    const auto check = SandboxConfigurationCheck::ofText(c.json);
    EXPECT_EQ(check.errors, c.errors) << c.json;
  }
  // A refused placement leaves its network and ad units without a user: no warning says so. A
  // placement kept despite a fault of another field still counts.
  const auto refused = SandboxConfigurationCheck::ofText(R"({"sources": {"adMob": null},
    "interstitial": {"connect": {"source": 5, "keys": ["k"]}},
    "simulation": {"adMob": {"adUnits": {"k": {}}}}})");
  EXPECT_EQ(refused.errors,
            Lines{"interstitial.connect.source: expected a string, found a number"});
  EXPECT_EQ(refused.warnings, Lines{});
  const auto kept = SandboxConfigurationCheck::ofText(R"({"sources": {"adMob": null},
    "interstitial": {"connect": {"source": "adMob", "keys": ["k"], "timeout": "x"}},
    "simulation": {"adMob": {"adUnits": {"k": {}, "unused": {}}}}})");
  EXPECT_EQ(kept.errors, Lines{"interstitial.connect.timeout: expected a number, found a string"});
  EXPECT_EQ(kept.warnings,
            Lines{"simulation.adMob.adUnits.unused: no adMob placement uses this ad unit"});
  // A field that is truly missing is still named.
  const auto missing = SandboxConfigurationCheck::ofText(
      R"({"sources": {"adMob": null}, "interstitial": {"connect": {"keys": ["k"]}}})");
  EXPECT_EQ(missing.errors, Lines{"interstitial.connect: missing field \"source\""});
}

// What only follows from a refused list of keys (no keys left, ad units no placement names) is
// not reported again; what the list's faults leave standing still is.
TEST(SandboxConfigurationCheckTest, ARefusedKeyListIsReportedOnce) {
  std::string tooMany = "\"k0\"";
  for (int key = 1; key <= 100; ++key) tooMany.append(", \"k").append(std::to_string(key)) += '"';
  struct Case {
    const char* name;
    std::string keys;
    Lines errors;
    Lines warnings;
  };
  const Case cases[] = {
      {"more keys than a list holds",
       "[" + tooMany + "]",
       {"interstitial.connect.keys: has 101 elements, more than the limit of 100"},
       {}},
      {"not a list",
       "\"k0\"",
       {"interstitial.connect.keys: expected an array, found a string"},
       {}},
      {"every key refused: no placement names k0",
       "[\"\", 5]",
       {"interstitial.connect.keys[0]: must not be empty",
        "interstitial.connect.keys[1]: expected a string, found a number"},
       {"simulation.adMob.adUnits.k0: no adMob placement uses this ad unit",
        "simulation.adMob.adUnits.other: no adMob placement uses this ad unit"}},
      {"a key named twice is still used",
       "[\"k0\", \"k0\"]",
       {"interstitial.connect.keys[1]: duplicate key \"k0\""},
       {"simulation.adMob.adUnits.other: no adMob placement uses this ad unit"}},
      {"an empty list written as such",
       "[]",
       {},
       {"interstitial.connect.keys: no keys: the placement never shows an ad",
        "simulation.adMob.adUnits.k0: no adMob placement uses this ad unit",
        "simulation.adMob.adUnits.other: no adMob placement uses this ad unit"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto check = SandboxConfigurationCheck::ofText(
        R"({"sources": {"adMob": null}, "interstitial": {"connect": {"source": "adMob", "keys": )" +
        c.keys + R"(}}, "simulation": {"adMob": {"adUnits": {"k0": {}, "other": {}}}}})");
    EXPECT_EQ(check.errors, c.errors);
    EXPECT_EQ(check.warnings, c.warnings);
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
