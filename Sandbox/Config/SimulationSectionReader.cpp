#include "Sandbox/Config/SimulationSectionReader.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace QVRAdKit::Sandbox {
namespace {

using Json = nlohmann::json;
using ConfigurationPath::child;
using ConfigurationPath::jsonText;

// The longest pause after a reward: ten years, as the longest --gap. A pause's end is a date that
// a store keeps only up to 4001, so a much longer one would be cut short without a word.
constexpr double kMaxPauseAfterRewardDays = 3650;

class Reader {
 public:
  explicit Reader(ConfigurationFieldReader& fields) : f_(fields) {}

  void adMobLatency(const Json& value, const std::string& path,
                    SimulatedGoogleMobileAds::Latency& latency) {
    using Latency = SimulatedGoogleMobileAds::Latency;
    if (!f_.object(value, path, {"distribution", "minimum", "maximum", "median", "sigma"})) return;
    f_.field(value, path, "distribution", [&](const Json& v, const std::string& p) {
      const auto name = f_.text(v, p);
      if (!name) return;
      if (*name == "uniform") {
        latency.distribution = Latency::Distribution::uniform;
      } else if (*name == "logNormal") {
        latency.distribution = Latency::Distribution::logNormal;
      } else {
        f_.fail(p, "unknown distribution " + jsonText(*name) + " (expected uniform or logNormal)");
      }
    });
    Json bounds = Json::object();
    if (value.contains("minimum")) bounds["minimum"] = value["minimum"];
    if (value.contains("maximum")) bounds["maximum"] = value["maximum"];
    f_.range(bounds, path, latency.minimum, latency.maximum);
    nonNegative(value, path, "median", latency.median);
    nonNegative(value, path, "sigma", latency.sigma);
  }

  void adUnitBehavior(const Json& value, const std::string& path,
                      SimulatedGoogleMobileAds::AdUnitBehavior& behavior) {
    if (!f_.object(value, path,
                   {"fillRate", "latency", "errorCodes", "networkClassNames", "onScreenDuration",
                    "reward"})) {
      return;
    }
    probability(value, path, "fillRate", behavior.fillRate);
    f_.field(value, path, "latency",
             [&](const Json& v, const std::string& p) { adMobLatency(v, p, behavior.latency); });
    f_.field(value, path, "errorCodes", [&](const Json& v, const std::string& p) {
      assign(behavior.errorCodes,
             f_.list<std::int64_t>(
                 v, p, [this](const Json& e, const std::string& ep) { return f_.integer(e, ep); }));
    });
    f_.field(value, path, "networkClassNames", [&](const Json& v, const std::string& p) {
      assign(behavior.networkClassNames, names(v, p));
    });
    nonNegative(value, path, "onScreenDuration", behavior.onScreenDuration);
    f_.field(value, path, "reward", [&](const Json& v, const std::string& p) {
      if (!f_.object(v, p, {"amount", "type"})) return;
      f_.field(v, p, "amount", [&](const Json& a, const std::string& ap) {
        assign(behavior.reward.amount, f_.amount(a, ap));
      });
      f_.field(v, p, "type", [&](const Json& t, const std::string& tp) {
        assign(behavior.reward.type, f_.text(t, tp));
      });
    });
  }

  void googleMobileAds(const Json& value, const std::string& path,
                       SimulatedGoogleMobileAds::Configuration& configuration) {
    if (!f_.object(value, path, {"startDelay", "defaults", "adUnits"})) return;
    nonNegative(value, path, "startDelay", configuration.startDelay);
    // The defaults first: the ad units start from them.
    f_.field(value, path, "defaults", [&](const Json& v, const std::string& p) {
      adUnitBehavior(v, p, configuration.defaults);
    });
    f_.field(value, path, "adUnits", [&](const Json& v, const std::string& p) {
      if (!v.is_object()) return f_.wrongType(p, "an object", v);
      for (const auto& item : v.items()) {
        auto behavior = configuration.defaults;
        adUnitBehavior(item.value(), child(p, item.key()), behavior);
        configuration.adUnits[item.key()] = std::move(behavior);
      }
    });
  }

  std::optional<Platform::Error> loadError(const Json& value, const std::string& path) {
    if (!f_.object(value, path, {"code", "message"})) return std::nullopt;
    Platform::Error error{SimulatedIronSource::kErrorDomain, 0, ""};
    std::optional<std::int64_t> code;
    if (!f_.missing(value, path, "code")) {
      code = f_.integer(value["code"], child(path, "code"));
    }
    f_.field(value, path, "message", [&](const Json& v, const std::string& p) {
      assign(error.localizedDescription, f_.text(v, p));
    });
    if (!code) return std::nullopt;
    error.code = *code;
    return error;
  }

  void slotProfile(const Json& value, const std::string& path,
                   SimulatedIronSource::SlotProfile& profile) {
    if (!f_.object(value, path,
                   {"fillRate", "latency", "adNetworks", "loadErrors", "onScreenDuration"})) {
      return;
    }
    probability(value, path, "fillRate", profile.fillRate);
    f_.field(value, path, "latency", [&](const Json& v, const std::string& p) {
      f_.range(v, p, profile.minimumLatency, profile.maximumLatency);
    });
    f_.field(value, path, "adNetworks",
             [&](const Json& v, const std::string& p) { assign(profile.adNetworks, names(v, p)); });
    f_.field(value, path, "loadErrors", [&](const Json& v, const std::string& p) {
      assign(profile.loadErrors,
             f_.list<Platform::Error>(
                 v, p, [this](const Json& e, const std::string& ep) { return loadError(e, ep); }));
    });
    nonNegative(value, path, "onScreenDuration", profile.onScreenDuration);
  }

  void showsPerHour(const Json& value, const std::string& path,
                    std::map<std::string, unsigned>& result) {
    if (!value.is_object()) return f_.wrongType(path, "an object", value);
    for (const auto& item : value.items()) {
      const std::string itemPath = child(path, item.key());
      const auto shows = f_.integer(item.value(), itemPath);
      if (!shows) continue;
      if (*shows < 0) {
        f_.fail(itemPath, "must not be negative, found " + item.value().dump());
      } else if (static_cast<std::uint64_t>(*shows) > std::numeric_limits<unsigned>::max()) {
        f_.fail(itemPath, "is too large, found " + item.value().dump());
      } else {
        result[item.key()] = static_cast<unsigned>(*shows);
      }
    }
  }

  void ironSource(const Json& value, const std::string& path,
                  SimulatedIronSource::Configuration& configuration) {
    if (!f_.object(value, path,
                   {"initializationLatency", "interstitial", "rewardedVideo",
                    "interstitialShowsPerHour", "reward"})) {
      return;
    }
    nonNegative(value, path, "initializationLatency", configuration.initializationLatency);
    f_.field(value, path, "interstitial", [&](const Json& v, const std::string& p) {
      slotProfile(v, p, configuration.interstitial);
    });
    f_.field(value, path, "rewardedVideo", [&](const Json& v, const std::string& p) {
      slotProfile(v, p, configuration.rewardedVideo);
    });
    f_.field(value, path, "interstitialShowsPerHour", [&](const Json& v, const std::string& p) {
      showsPerHour(v, p, configuration.interstitialShowsPerHour);
    });
    f_.field(value, path, "reward", [&](const Json& v, const std::string& p) {
      if (!f_.object(v, p, {"name", "amount", "placement"})) return;
      auto& reward = configuration.reward;
      f_.field(v, p, "name", [&](const Json& n, const std::string& np) {
        assign(reward.rewardName, f_.text(n, np));
      });
      f_.field(v, p, "amount", [&](const Json& a, const std::string& ap) {
        assign(reward.rewardAmount, f_.amount(a, ap));
      });
      f_.field(v, p, "placement", [&](const Json& n, const std::string& np) {
        assign(reward.placementName, f_.text(n, np));
      });
    });
  }

  void consent(const Json& value, const std::string& path,
               SimulatedConsentPlatform::Options& options) {
    if (!f_.object(value, path, {"updateLatency", "formLoadLatency", "answerLatency"})) return;
    nonNegative(value, path, "updateLatency", options.updateLatency);
    nonNegative(value, path, "formLoadLatency", options.formLoadLatency);
    nonNegative(value, path, "answerLatency", options.answerLatency);
  }

  void session(const Json& value, const std::string& path, SandboxSessionProfile& profile) {
    if (!f_.object(value, path,
                   {"appLaunchTimeout", "disconnected", "connected", "rewardedChance",
                    "backgroundChance", "background", "pauseAfterRewardSeconds"})) {
      return;
    }
    nonNegative(value, path, "appLaunchTimeout", profile.appLaunchTimeout);
    range(value, path, "disconnected", profile.disconnected);
    range(value, path, "connected", profile.connected);
    probability(value, path, "rewardedChance", profile.rewardedChance);
    probability(value, path, "backgroundChance", profile.backgroundChance);
    range(value, path, "background", profile.background);
    f_.field(value, path, "pauseAfterRewardSeconds", [&](const Json& v, const std::string& p) {
      const auto seconds = f_.nonNegative(v, p);
      if (!seconds) return;
      if (*seconds > kMaxPauseAfterRewardDays * 86400) {
        f_.fail(p, "must be at most " +
                       std::to_string(static_cast<std::int64_t>(kMaxPauseAfterRewardDays * 86400)) +
                       " (" + std::to_string(static_cast<int>(kMaxPauseAfterRewardDays)) +
                       " days), found " + v.dump());
        return;
      }
      profile.pauseAfterReward = *seconds;
    });
  }

  void simulation(const Json& value, const std::string& path, SandboxConfiguration& configuration) {
    if (!f_.object(value, path, {"adMob", "ironSource", "consent", "session"})) return;
    f_.field(value, path, "adMob", [&](const Json& v, const std::string& p) {
      googleMobileAds(v, p, configuration.googleMobileAds);
    });
    f_.field(value, path, "ironSource", [&](const Json& v, const std::string& p) {
      ironSource(v, p, configuration.ironSource);
    });
    f_.field(value, path, "consent",
             [&](const Json& v, const std::string& p) { consent(v, p, configuration.consent); });
    f_.field(value, path, "session",
             [&](const Json& v, const std::string& p) { session(v, p, configuration.session); });
  }

 private:
  template <class Target, class Value>
  static void assign(Target& target, std::optional<Value> value) {
    if (value) target = std::move(*value);
  }

  std::optional<std::vector<std::string>> names(const Json& value, const std::string& path) {
    return f_.list<std::string>(
        value, path, [this](const Json& e, const std::string& p) { return f_.nonEmptyText(e, p); });
  }

  void nonNegative(const Json& object, const std::string& path, std::string_view name,
                   double& target) {
    f_.field(object, path, name,
             [&](const Json& v, const std::string& p) { assign(target, f_.nonNegative(v, p)); });
  }
  void probability(const Json& object, const std::string& path, std::string_view name,
                   double& target) {
    f_.field(object, path, name,
             [&](const Json& v, const std::string& p) { assign(target, f_.probability(v, p)); });
  }
  void range(const Json& object, const std::string& path, std::string_view name,
             SandboxSessionProfile::Range& target) {
    f_.field(object, path, name, [&](const Json& v, const std::string& p) {
      f_.range(v, p, target.minimum, target.maximum);
    });
  }

  ConfigurationFieldReader& f_;
};

}  // namespace

void SimulationSectionReader::read(ConfigurationFieldReader& fields, const Json& value,
                                   const std::string& path, SandboxConfiguration& configuration) {
  Reader(fields).simulation(value, path, configuration);
}

}  // namespace QVRAdKit::Sandbox
