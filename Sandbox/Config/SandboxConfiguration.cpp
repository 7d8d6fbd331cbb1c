#include "Sandbox/Config/SandboxConfiguration.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"

namespace QVRAdKit::Sandbox {
namespace {

using Json = nlohmann::json;

// Thrown inside the parser only; parse() turns it into an Error.
class InvalidConfiguration : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Platform::Error makeError(SandboxConfiguration::ErrorCode code, std::string message) {
  return Platform::Error{std::string(SandboxConfiguration::kErrorDomain),
                         static_cast<std::int64_t>(code), std::move(message)};
}

bool isPlainName(std::string_view key) {
  return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
  });
}

// Text from the file as an error message quotes it: JSON-escaped, so the message stays one line.
std::string asJsonText(std::string_view text) {
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The path of a field, as the error messages name it: a.b.c, or a["/x"] for keys that are not
// plain names.
std::string child(const std::string& path, std::string_view key) {
  if (!isPlainName(key)) return path + "[" + asJsonText(key) + "]";
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

[[noreturn]] void fail(const std::string& path, const std::string& problem) {
  throw InvalidConfiguration((path.empty() ? std::string("configuration") : path) + ": " + problem);
}

std::string article(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::boolean:
      return "a boolean";
    default:
      return "a number";
  }
}

[[noreturn]] void wrongType(const std::string& path, std::string_view expected, const Json& value) {
  fail(path, "expected " + std::string(expected) + ", found " + article(value));
}

std::string names(std::initializer_list<std::string_view> allowed) {
  std::string text;
  std::size_t index = 0;
  for (std::string_view name : allowed) {
    if (index > 0) text += index + 1 == allowed.size() ? " or " : ", ";
    text += name;
    ++index;
  }
  return text;
}

// Checks that value is an object whose fields are all among allowed.
const Json& object(const Json& value, const std::string& path,
                   std::initializer_list<std::string_view> allowed) {
  if (!value.is_object()) wrongType(path, "an object", value);
  for (const auto& item : value.items()) {
    if (std::find(allowed.begin(), allowed.end(), item.key()) == allowed.end()) {
      fail(path, "unknown field " + asJsonText(item.key()) + " (expected " + names(allowed) + ")");
    }
  }
  return value;
}

// Calls apply(field value, field path) when the object has the field.
template <class Apply>
void field(const Json& object, const std::string& path, std::string_view name, Apply&& apply) {
  const auto found = object.find(name);
  if (found != object.end()) apply(*found, child(path, name));
}

double number(const Json& value, const std::string& path) {
  if (!value.is_number()) wrongType(path, "a number", value);
  return value.get<double>();
}

double nonNegative(const Json& value, const std::string& path) {
  const double result = number(value, path);
  if (result < 0) fail(path, "must not be negative, found " + value.dump());
  return result;
}

double probability(const Json& value, const std::string& path) {
  const double result = number(value, path);
  if (result < 0 || result > 1) fail(path, "must be between 0 and 1, found " + value.dump());
  return result;
}

std::int64_t integer(const Json& value, const std::string& path) {
  if (!value.is_number_integer()) wrongType(path, "an integer", value);
  if (value.is_number_unsigned() &&
      value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
    fail(path, "is too large, found " + value.dump());
  }
  return value.get<std::int64_t>();
}

std::string text(const Json& value, const std::string& path) {
  if (!value.is_string()) wrongType(path, "a string", value);
  return value.get<std::string>();
}

std::string nonEmptyText(const Json& value, const std::string& path) {
  std::string result = text(value, path);
  if (result.empty()) fail(path, "must not be empty");
  return result;
}

template <class Element>
std::vector<Element> list(const Json& value, const std::string& path,
                          Element (*element)(const Json&, const std::string&)) {
  if (!value.is_array()) wrongType(path, "an array", value);
  std::vector<Element> result;
  result.reserve(value.size());
  for (std::size_t index = 0; index < value.size(); ++index) {
    result.push_back(element(value[index], path + "[" + std::to_string(index) + "]"));
  }
  return result;
}

Platform::Decimal amount(const Json& value, const std::string& path) {
  const double result = nonNegative(value, path);
  if (value.is_number_integer()) return Platform::Decimal::fromInt(integer(value, path));
  return Platform::Decimal::fromDouble(result);
}

// A [minimum, maximum] pair; fields not given keep their current values.
void range(const Json& value, const std::string& path, double& minimum, double& maximum) {
  object(value, path, {"minimum", "maximum"});
  field(value, path, "minimum",
        [&](const Json& v, const std::string& p) { minimum = nonNegative(v, p); });
  field(value, path, "maximum",
        [&](const Json& v, const std::string& p) { maximum = nonNegative(v, p); });
  if (minimum > maximum) {
    std::ostringstream message;
    message << "minimum (" << minimum << ") is greater than maximum (" << maximum << ")";
    fail(path, message.str());
  }
}

// MARK: Ads configuration

AdSource source(const Json& value, const std::string& path) {
  const std::string name = text(value, path);
  if (name == "adMob") return AdSource::adMob;
  if (name == "ironSource") return AdSource::ironSource;
  fail(path, "unknown network " + asJsonText(name) + " (expected adMob or ironSource)");
}

AdsConfig::Sources sources(const Json& value, const std::string& path) {
  if (!value.is_object()) wrongType(path, "an object", value);
  AdsConfig::Sources result;
  for (const auto& item : value.items()) {
    const AdSource network = source(Json(item.key()), path);
    const std::string keyPath = child(path, item.key());
    // The application key: IronSource needs one; AdMob's is not used and may be null.
    if (item.value().is_null()) {
      result[network] = std::nullopt;
    } else {
      result[network] = text(item.value(), keyPath);
    }
  }
  return result;
}

AdPlacementConfig placementConfig(const Json& value, const std::string& path) {
  object(value, path, {"source", "keys", "timeout"});
  if (!value.contains("source")) fail(path, "missing field \"source\"");
  const AdSource network = source(value["source"], child(path, "source"));
  std::vector<std::string> keys;
  field(value, path, "keys",
        [&](const Json& v, const std::string& p) { keys = list<std::string>(v, p, nonEmptyText); });
  double timeout = 0;
  field(value, path, "timeout",
        [&](const Json& v, const std::string& p) { timeout = nonNegative(v, p); });
  return AdPlacementConfig(std::move(keys), network, timeout);
}

// The placements of one format, named by their case names.
template <class Placement, std::size_t Count>
std::map<Placement, AdPlacementConfig> placements(
    const Json& value, const std::string& path,
    const std::array<std::pair<std::string_view, Placement>, Count>& known) {
  if (!value.is_object()) wrongType(path, "an object", value);
  std::map<Placement, AdPlacementConfig> result;
  for (const auto& item : value.items()) {
    const auto found = std::find_if(known.begin(), known.end(),
                                    [&](const auto& entry) { return entry.first == item.key(); });
    if (found == known.end()) {
      std::string expected;
      for (std::size_t index = 0; index < Count; ++index) {
        if (index > 0) expected += index + 1 == Count ? " or " : ", ";
        expected += known[index].first;
      }
      fail(path, "unknown placement " + asJsonText(item.key()) + " (expected " + expected + ")");
    }
    result.emplace(found->second, placementConfig(item.value(), child(path, item.key())));
  }
  return result;
}

constexpr std::array<std::pair<std::string_view, InterstitialAdPlacement>, 3> kInterstitials{{
    {"connect", InterstitialAdPlacement::connect},
    {"disconnect", InterstitialAdPlacement::disconnect},
    {"appLaunch", InterstitialAdPlacement::appLaunch},
}};
constexpr std::array<std::pair<std::string_view, AppOpenAdPlacement>, 2> kAppOpens{{
    {"main", AppOpenAdPlacement::main},
    {"appLaunch", AppOpenAdPlacement::appLaunch},
}};
constexpr std::array<std::pair<std::string_view, RewardedAdPlacement>, 1> kRewardeds{{
    {"timewall", RewardedAdPlacement::timewall},
}};

// MARK: Simulation

void adMobLatency(const Json& value, const std::string& path,
                  SimulatedGoogleMobileAds::Latency& latency) {
  using Latency = SimulatedGoogleMobileAds::Latency;
  object(value, path, {"distribution", "minimum", "maximum", "median", "sigma"});
  field(value, path, "distribution", [&](const Json& v, const std::string& p) {
    const std::string name = text(v, p);
    if (name == "uniform") {
      latency.distribution = Latency::Distribution::uniform;
    } else if (name == "logNormal") {
      latency.distribution = Latency::Distribution::logNormal;
    } else {
      fail(p, "unknown distribution " + asJsonText(name) + " (expected uniform or logNormal)");
    }
  });
  Json bounds = Json::object();
  if (value.contains("minimum")) bounds["minimum"] = value["minimum"];
  if (value.contains("maximum")) bounds["maximum"] = value["maximum"];
  range(bounds, path, latency.minimum, latency.maximum);
  field(value, path, "median",
        [&](const Json& v, const std::string& p) { latency.median = nonNegative(v, p); });
  field(value, path, "sigma",
        [&](const Json& v, const std::string& p) { latency.sigma = nonNegative(v, p); });
}

void adUnitBehavior(const Json& value, const std::string& path,
                    SimulatedGoogleMobileAds::AdUnitBehavior& behavior) {
  object(value, path,
         {"fillRate", "latency", "errorCodes", "networkClassNames", "onScreenDuration", "reward"});
  field(value, path, "fillRate",
        [&](const Json& v, const std::string& p) { behavior.fillRate = probability(v, p); });
  field(value, path, "latency",
        [&](const Json& v, const std::string& p) { adMobLatency(v, p, behavior.latency); });
  field(value, path, "errorCodes", [&](const Json& v, const std::string& p) {
    behavior.errorCodes = list<std::int64_t>(v, p, integer);
  });
  field(value, path, "networkClassNames", [&](const Json& v, const std::string& p) {
    behavior.networkClassNames = list<std::string>(v, p, nonEmptyText);
  });
  field(value, path, "onScreenDuration", [&](const Json& v, const std::string& p) {
    behavior.onScreenDuration = nonNegative(v, p);
  });
  field(value, path, "reward", [&](const Json& v, const std::string& p) {
    object(v, p, {"amount", "type"});
    field(v, p, "amount",
          [&](const Json& a, const std::string& ap) { behavior.reward.amount = amount(a, ap); });
    field(v, p, "type",
          [&](const Json& t, const std::string& tp) { behavior.reward.type = text(t, tp); });
  });
}

void googleMobileAds(const Json& value, const std::string& path,
                     SimulatedGoogleMobileAds::Configuration& configuration) {
  object(value, path, {"startDelay", "defaults", "adUnits"});
  field(value, path, "startDelay",
        [&](const Json& v, const std::string& p) { configuration.startDelay = nonNegative(v, p); });
  // The defaults first: the ad units start from them.
  field(value, path, "defaults",
        [&](const Json& v, const std::string& p) { adUnitBehavior(v, p, configuration.defaults); });
  field(value, path, "adUnits", [&](const Json& v, const std::string& p) {
    if (!v.is_object()) wrongType(p, "an object", v);
    for (const auto& item : v.items()) {
      auto behavior = configuration.defaults;
      adUnitBehavior(item.value(), child(p, item.key()), behavior);
      configuration.adUnits[item.key()] = std::move(behavior);
    }
  });
}

Platform::Error loadError(const Json& value, const std::string& path) {
  object(value, path, {"code", "message"});
  Platform::Error error{SimulatedIronSource::kErrorDomain, 0, ""};
  if (!value.contains("code")) fail(path, "missing field \"code\"");
  error.code = integer(value["code"], child(path, "code"));
  field(value, path, "message",
        [&](const Json& v, const std::string& p) { error.localizedDescription = text(v, p); });
  return error;
}

void slotProfile(const Json& value, const std::string& path,
                 SimulatedIronSource::SlotProfile& profile) {
  object(value, path, {"fillRate", "latency", "adNetworks", "loadErrors", "onScreenDuration"});
  field(value, path, "fillRate",
        [&](const Json& v, const std::string& p) { profile.fillRate = probability(v, p); });
  field(value, path, "latency", [&](const Json& v, const std::string& p) {
    range(v, p, profile.minimumLatency, profile.maximumLatency);
  });
  field(value, path, "adNetworks", [&](const Json& v, const std::string& p) {
    profile.adNetworks = list<std::string>(v, p, nonEmptyText);
  });
  field(value, path, "loadErrors", [&](const Json& v, const std::string& p) {
    profile.loadErrors = list<Platform::Error>(v, p, loadError);
  });
  field(value, path, "onScreenDuration",
        [&](const Json& v, const std::string& p) { profile.onScreenDuration = nonNegative(v, p); });
}

void ironSource(const Json& value, const std::string& path,
                SimulatedIronSource::Configuration& configuration) {
  object(value, path,
         {"initializationLatency", "interstitial", "rewardedVideo", "interstitialShowsPerHour",
          "reward"});
  field(value, path, "initializationLatency", [&](const Json& v, const std::string& p) {
    configuration.initializationLatency = nonNegative(v, p);
  });
  field(value, path, "interstitial", [&](const Json& v, const std::string& p) {
    slotProfile(v, p, configuration.interstitial);
  });
  field(value, path, "rewardedVideo", [&](const Json& v, const std::string& p) {
    slotProfile(v, p, configuration.rewardedVideo);
  });
  field(value, path, "interstitialShowsPerHour", [&](const Json& v, const std::string& p) {
    if (!v.is_object()) wrongType(p, "an object", v);
    for (const auto& item : v.items()) {
      const std::string itemPath = child(p, item.key());
      const std::int64_t shows = integer(item.value(), itemPath);
      if (shows < 0) fail(itemPath, "must not be negative, found " + item.value().dump());
      if (shows > UINT32_MAX) fail(itemPath, "is too large, found " + item.value().dump());
      configuration.interstitialShowsPerHour[item.key()] = static_cast<unsigned>(shows);
    }
  });
  field(value, path, "reward", [&](const Json& v, const std::string& p) {
    object(v, p, {"name", "amount", "placement"});
    field(v, p, "name", [&](const Json& n, const std::string& np) {
      configuration.reward.rewardName = text(n, np);
    });
    field(v, p, "amount", [&](const Json& a, const std::string& ap) {
      configuration.reward.rewardAmount = amount(a, ap);
    });
    field(v, p, "placement", [&](const Json& n, const std::string& np) {
      configuration.reward.placementName = text(n, np);
    });
  });
}

void consent(const Json& value, const std::string& path,
             SimulatedConsentPlatform::Options& options) {
  object(value, path, {"updateLatency", "formLoadLatency", "answerLatency"});
  field(value, path, "updateLatency",
        [&](const Json& v, const std::string& p) { options.updateLatency = nonNegative(v, p); });
  field(value, path, "formLoadLatency",
        [&](const Json& v, const std::string& p) { options.formLoadLatency = nonNegative(v, p); });
  field(value, path, "answerLatency",
        [&](const Json& v, const std::string& p) { options.answerLatency = nonNegative(v, p); });
}

void session(const Json& value, const std::string& path, SandboxSessionProfile& profile) {
  object(value, path,
         {"appLaunchTimeout", "disconnected", "connected", "rewardedChance", "backgroundChance",
          "background"});
  field(value, path, "appLaunchTimeout",
        [&](const Json& v, const std::string& p) { profile.appLaunchTimeout = nonNegative(v, p); });
  field(value, path, "disconnected", [&](const Json& v, const std::string& p) {
    range(v, p, profile.disconnected.minimum, profile.disconnected.maximum);
  });
  field(value, path, "connected", [&](const Json& v, const std::string& p) {
    range(v, p, profile.connected.minimum, profile.connected.maximum);
  });
  field(value, path, "rewardedChance",
        [&](const Json& v, const std::string& p) { profile.rewardedChance = probability(v, p); });
  field(value, path, "backgroundChance",
        [&](const Json& v, const std::string& p) { profile.backgroundChance = probability(v, p); });
  field(value, path, "background", [&](const Json& v, const std::string& p) {
    range(v, p, profile.background.minimum, profile.background.maximum);
  });
}

void simulation(const Json& value, const std::string& path, SandboxConfiguration& configuration) {
  object(value, path, {"adMob", "ironSource", "consent", "session"});
  field(value, path, "adMob", [&](const Json& v, const std::string& p) {
    googleMobileAds(v, p, configuration.googleMobileAds);
  });
  field(value, path, "ironSource",
        [&](const Json& v, const std::string& p) { ironSource(v, p, configuration.ironSource); });
  field(value, path, "consent",
        [&](const Json& v, const std::string& p) { consent(v, p, configuration.consent); });
  field(value, path, "session",
        [&](const Json& v, const std::string& p) { session(v, p, configuration.session); });
}

SandboxConfiguration configuration(const Json& root) {
  object(root, "", {"sources", "interstitial", "appOpen", "rewarded", "simulation"});
  AdsConfig::Sources adSources;
  field(root, "", "sources",
        [&](const Json& v, const std::string& p) { adSources = sources(v, p); });
  AdsConfig::InterstitialPlacements interstitials;
  field(root, "", "interstitial", [&](const Json& v, const std::string& p) {
    interstitials = placements(v, p, kInterstitials);
  });
  AdsConfig::AppOpenPlacements appOpens;
  field(root, "", "appOpen",
        [&](const Json& v, const std::string& p) { appOpens = placements(v, p, kAppOpens); });
  AdsConfig::RewardedPlacements rewardeds;
  field(root, "", "rewarded",
        [&](const Json& v, const std::string& p) { rewardeds = placements(v, p, kRewardeds); });

  SandboxConfiguration result;
  result.ads = AdsConfig(std::move(adSources), std::move(interstitials), std::move(rewardeds),
                         std::move(appOpens));
  field(root, "", "simulation",
        [&](const Json& v, const std::string& p) { simulation(v, p, result); });
  return result;
}

}  // namespace

Platform::Expected<SandboxConfiguration> SandboxConfiguration::parse(std::string_view json) {
  Json root;
  try {
    root = Json::parse(json);
  } catch (const Json::exception& error) {
    // A syntax error, or a number too large for any number type (out_of_range.406).
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..." without the tag.
    std::string message = error.what();
    if (const auto end = message.find("] "); message.starts_with("[json") && end != message.npos) {
      message.erase(0, end + 2);
    }
    return makeError(ErrorCode::invalidJson, "invalid JSON: " + message);
  }
  try {
    return configuration(root);
  } catch (const InvalidConfiguration& error) {
    return makeError(ErrorCode::invalidConfiguration, error.what());
  } catch (const Json::exception& error) {
    // Not expected: every access above checks its type first.
    return makeError(ErrorCode::invalidConfiguration, error.what());
  }
}

Platform::Expected<SandboxConfiguration> SandboxConfiguration::load(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    return makeError(ErrorCode::unreadable,
                     "cannot read the configuration file \"" + path + "\": it is a directory");
  }
  std::ifstream file(path, std::ios::in | std::ios::binary);
  if (!file.is_open()) {
    return makeError(ErrorCode::unreadable, "cannot read the configuration file \"" + path +
                                                "\": " + std::strerror(errno));
  }
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) {
    return makeError(ErrorCode::unreadable, "cannot read the configuration file \"" + path +
                                                "\": " + std::strerror(errno));
  }
  auto result = parse(content.str());
  if (!result) {
    const Platform::Error& error = result.error();
    return makeError(static_cast<ErrorCode>(error.code), path + ": " + error.localizedDescription);
  }
  return result;
}

SandboxConfiguration SandboxConfiguration::defaults() {
  // Parsed once per process: every SandboxHostOptions starts from it, and repeated trials make
  // many of those.
  static const SandboxConfiguration parsedOnce = [] {
    auto parsed = parse(kDefaultSandboxConfigurationJson);
    // The embedded text is checked by the tests; a broken one falls back to the simulators' own
    // defaults with no placements rather than stopping the host.
    if (!parsed) return SandboxConfiguration{};
    return std::move(parsed).value();
  }();
  return parsedOnce;
}

}  // namespace QVRAdKit::Sandbox
