#include "Sandbox/Config/SandboxConfigurationRules.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>

#include "Sandbox/Config/ConfigurationPath.h"

namespace QVRAdKit::Sandbox {
namespace {

using Json = nlohmann::json;
using ConfigurationPath::child;
using ConfigurationPath::jsonText;

// The field object[first][second]..., or null when the path is not in the document.
const Json* find(const Json& root, std::initializer_list<std::string_view> names) {
  const Json* at = &root;
  for (std::string_view name : names) {
    if (!at->is_object()) return nullptr;
    const auto found = at->find(name);
    if (found == at->end()) return nullptr;
    at = &*found;
  }
  return at;
}

// Seconds as a person writes them: 700, 12.5.
std::string secondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

class Rules {
 public:
  Rules(const Json& root, const SandboxConfiguration& configuration,
        ConfigurationProblems& problems)
      : root_(root), configuration_(configuration), problems_(problems) {}

  void check() {
    // Taken before the checks below add errors of their own.
    placementsRefused_ = placementsRefused();
    const AdsConfig& ads = configuration_.ads;
    for (const auto& [placement, config] : ads.interstitialPlacements()) {
      // Only connect and disconnect are granted by interval; the application-start ad is not.
      checkPlacement("interstitial", std::string(caseName(placement)), config,
                     placement != InterstitialAdPlacement::appLaunch);
    }
    for (const auto& [placement, config] : ads.appOpenPlacements()) {
      const std::string name(caseName(placement));
      if (config.source() != AdSource::adMob) {
        problems_.error(
            "appOpen." + name + ".source",
            "app-open ads are served by adMob only, found " + jsonText(caseName(config.source())));
      }
      // The main placement's timeout is the host's minimum time away before the ad.
      checkPlacement("appOpen", name, config, placement == AppOpenAdPlacement::main);
    }
    for (const auto& [placement, config] : ads.rewardedPlacements()) {
      const std::string name(caseName(placement));
      checkPlacement("rewarded", name, config, false);
      if (config.keys().size() > 1) {
        problems_.warning("rewarded." + name + ".keys",
                          "only the first key is used; the other " +
                              std::to_string(config.keys().size() - 1) + " are ignored");
      }
    }
    sources();
    simulation();
    onScreenTimes();
  }

 private:
  // Whether a placement was refused (not an object, a field unknown or missing, no usable
  // source, its list of keys), or the whole configuration or a format section was: what no
  // placement uses may then be what that placement would have used.
  [[nodiscard]] bool placementsRefused() const {
    if (problems_.hasErrorAt("")) return true;
    for (const char* format : {"interstitial", "appOpen", "rewarded"}) {
      if (problems_.hasErrorAt(format)) return true;
      const Json* section = find(root_, {format});
      if (!section || !section->is_object()) continue;
      for (const auto& item : section->items()) {
        const std::string path = child(format, item.key());
        if (problems_.hasErrorAt(path) || problems_.hasErrorAt(path + ".source") ||
            problems_.hasErrorAt(path + ".keys")) {
          return true;
        }
      }
    }
    return false;
  }

  void checkPlacement(std::string_view format, const std::string& name,
                      const AdPlacementConfig& config, bool readsTimeout) {
    const std::string path = std::string(format) + "." + name;
    used_.insert(config.source());
    if (config.source() == AdSource::adMob)
      adMobKeys_.insert(config.keys().begin(), config.keys().end());
    // A network refused in sources, or sources misspelled, was reported there already.
    if (!configuration_.ads.sources().contains(config.source()) &&
        !problems_.hasErrorWithin("sources") && !problems_.hasErrorAt("")) {
      problems_.error(path + ".source", "network " + jsonText(caseName(config.source())) +
                                            " is not configured in sources");
    }
    // Keys refused (the list, or each of its elements) were reported there already.
    if (config.keys().empty() && !problems_.hasErrorWithin(path + ".keys")) {
      const bool written = find(root_, {format, name, "keys"}) != nullptr;
      problems_.warning(written ? path + ".keys" : path,
                        "no keys: the placement never shows an ad");
    }
    if (!readsTimeout && config.timeout() != 0) {
      problems_.warning(path + ".timeout", "is not used for this placement");
    }
  }

  void sources() {
    for (const auto& [source, key] : configuration_.ads.sources()) {
      const std::string path = child("sources", caseName(source));
      if (source == AdSource::ironSource && (!key || key->empty())) {
        problems_.error(path, std::string("IronSource needs an application key, found ") +
                                  (key ? "an empty string" : "null"));
      }
      if (!used_.contains(source) && !placementsRefused_) {
        problems_.warning(path, "no placement uses this network");
      }
    }
  }

  void simulation() {
    for (const auto& [unit, behavior] : configuration_.googleMobileAds.adUnits) {
      if (!adMobKeys_.contains(unit) && !placementsRefused_) {
        problems_.warning(child("simulation.adMob.adUnits", unit),
                          "no adMob placement uses this ad unit");
      }
    }
    // IronSource capping applies to interstitial placement names.
    std::set<std::string> interstitialNames;
    for (const auto& [placement, config] : configuration_.ads.interstitialPlacements()) {
      if (config.source() != AdSource::ironSource) continue;
      interstitialNames.insert(config.keys().begin(), config.keys().end());
    }
    for (const auto& [name, shows] : configuration_.ironSource.interstitialShowsPerHour) {
      if (!interstitialNames.contains(name) && !placementsRefused_) {
        problems_.warning(child("simulation.ironSource.interstitialShowsPerHour", name),
                          "no ironSource interstitial placement uses this key");
      }
    }
  }

  // An ad that stays on screen longer than the user's shortest stay connected or disconnected is
  // still covering the app when the user taps connect or disconnect: the user acts through it,
  // and another full-screen ad may open over it. Warned once, at the longest time written.
  void onScreenTimes() {
    const SandboxSessionProfile& session = configuration_.session;
    const double shortestStay = std::min(session.connected.minimum, session.disconnected.minimum);
    std::string longestPath;
    double longest = 0;
    const auto consider = [&](std::string path, double seconds) {
      if (seconds > longest) {
        longest = seconds;
        longestPath = std::move(path);
      }
    };
    const auto& adMob = configuration_.googleMobileAds;
    consider("simulation.adMob.defaults.onScreenDuration", adMob.defaults.onScreenDuration);
    for (const auto& [unit, behavior] : adMob.adUnits) {
      consider(child("simulation.adMob.adUnits", unit) + ".onScreenDuration",
               behavior.onScreenDuration);
    }
    consider("simulation.ironSource.interstitial.onScreenDuration",
             configuration_.ironSource.interstitial.onScreenDuration);
    consider("simulation.ironSource.rewardedVideo.onScreenDuration",
             configuration_.ironSource.rewardedVideo.onScreenDuration);
    if (longest > shortestStay) {
      problems_.warning(longestPath,
                        "an ad on screen for " + secondsText(longest) +
                            " s outlasts the user's shortest stay connected or disconnected (" +
                            secondsText(shortestStay) +
                            " s): the simulated user may tap through it, and another "
                            "full-screen ad may open over it");
    }
  }

  const Json& root_;
  const SandboxConfiguration& configuration_;
  ConfigurationProblems& problems_;
  bool placementsRefused_ = false;
  std::set<AdSource> used_;
  std::set<std::string> adMobKeys_;
};

}  // namespace

void SandboxConfigurationRules::check(const Json& root, const SandboxConfiguration& configuration,
                                      ConfigurationProblems& problems) {
  Rules(root, configuration, problems).check();
}

}  // namespace QVRAdKit::Sandbox
