#include "Sandbox/Config/SandboxConfigurationReader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Sandbox/Config/ConfigurationFieldReader.h"
#include "Sandbox/Config/SimulationSectionReader.h"

namespace QVRAdKit::Sandbox {
namespace {

using Json = nlohmann::json;
using ConfigurationPath::child;
using ConfigurationPath::jsonText;

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

class AdsSectionReader {
 public:
  explicit AdsSectionReader(ConfigurationFieldReader& fields) : fields_(fields) {}

  std::optional<AdSource> source(const Json& value, const std::string& path) {
    const auto name = fields_.text(value, path);
    if (!name) return std::nullopt;
    if (*name == "adMob") return AdSource::adMob;
    if (*name == "ironSource") return AdSource::ironSource;
    fields_.fail(path, "unknown network " + jsonText(*name) + " (expected adMob or ironSource)");
    return std::nullopt;
  }

  void sources(const Json& value, const std::string& path, AdsConfig::Sources& result) {
    if (!value.is_object()) return fields_.wrongType(path, "an object", value);
    for (const auto& item : value.items()) {
      const auto network = source(Json(item.key()), path);
      if (!network) continue;
      // The application key: AdMob's is not used and may be null; IronSource's is checked with
      // the rules across fields.
      if (item.value().is_null()) {
        result[*network] = std::nullopt;
      } else if (auto key = fields_.text(item.value(), child(path, item.key()))) {
        result[*network] = std::move(*key);
      }
    }
  }

  std::vector<std::string> keys(const Json& value, const std::string& path) {
    auto keys = fields_.list<std::string>(value, path, [this](const Json& e, const std::string& p) {
      return fields_.nonEmptyText(e, p);
    });
    if (!keys) return {};
    // The waterfall keeps one ad per key: a second mention would load the same unit twice.
    for (std::size_t index = 1; index < value.size(); ++index) {
      const Json& key = value[index];
      if (!key.is_string()) continue;
      const auto earlier = value.begin() + static_cast<std::ptrdiff_t>(index);
      if (std::find(value.begin(), earlier, key) != earlier) {
        fields_.fail(ConfigurationPath::element(path, index),
                     "duplicate key " + jsonText(key.get<std::string>()));
      }
    }
    std::vector<std::string> unique;
    for (auto& key : *keys) {
      if (std::find(unique.begin(), unique.end(), key) == unique.end()) {
        unique.push_back(std::move(key));
      }
    }
    return unique;
  }

  std::optional<AdPlacementConfig> placementConfig(const Json& value, const std::string& path) {
    if (!fields_.object(value, path, {"source", "keys", "timeout"})) return std::nullopt;
    std::optional<AdSource> network;
    if (!fields_.missing(value, path, "source")) {
      network = source(value["source"], child(path, "source"));
    }
    std::vector<std::string> placementKeys;
    fields_.field(value, path, "keys",
                  [&](const Json& v, const std::string& p) { placementKeys = keys(v, p); });
    double timeout = 0;
    fields_.field(value, path, "timeout", [&](const Json& v, const std::string& p) {
      timeout = fields_.nonNegative(v, p).value_or(timeout);
    });
    if (!network) return std::nullopt;
    return AdPlacementConfig(std::move(placementKeys), *network, timeout);
  }

  // The placements of one format, named by their case names.
  template <class Placement, std::size_t Count>
  void placements(const Json& value, const std::string& path,
                  const std::array<std::pair<std::string_view, Placement>, Count>& known,
                  std::map<Placement, AdPlacementConfig>& result) {
    if (!value.is_object()) return fields_.wrongType(path, "an object", value);
    for (const auto& item : value.items()) {
      const auto found = std::find_if(known.begin(), known.end(),
                                      [&](const auto& entry) { return entry.first == item.key(); });
      if (found == known.end()) {
        std::string expected;
        for (std::size_t index = 0; index < Count; ++index) {
          if (index > 0) expected += index + 1 == Count ? " or " : ", ";
          expected += known[index].first;
        }
        fields_.fail(path,
                     "unknown placement " + jsonText(item.key()) + " (expected " + expected + ")");
        continue;
      }
      if (auto config = placementConfig(item.value(), child(path, item.key()))) {
        result.emplace(found->second, std::move(*config));
      }
    }
  }

 private:
  ConfigurationFieldReader& fields_;
};

}  // namespace

SandboxConfiguration SandboxConfigurationReader::read(const Json& root,
                                                      ConfigurationProblems& problems) {
  ConfigurationFieldReader fields(problems);
  SandboxConfiguration result;
  if (!fields.object(root, "", {"sources", "interstitial", "appOpen", "rewarded", "simulation"})) {
    return result;
  }
  AdsSectionReader ads(fields);
  AdsConfig::Sources sources;
  AdsConfig::InterstitialPlacements interstitials;
  AdsConfig::AppOpenPlacements appOpens;
  AdsConfig::RewardedPlacements rewardeds;
  fields.field(root, "", "sources",
               [&](const Json& v, const std::string& p) { ads.sources(v, p, sources); });
  fields.field(root, "", "interstitial", [&](const Json& v, const std::string& p) {
    ads.placements(v, p, kInterstitials, interstitials);
  });
  fields.field(root, "", "appOpen", [&](const Json& v, const std::string& p) {
    ads.placements(v, p, kAppOpens, appOpens);
  });
  fields.field(root, "", "rewarded", [&](const Json& v, const std::string& p) {
    ads.placements(v, p, kRewardeds, rewardeds);
  });
  result.ads = AdsConfig(std::move(sources), std::move(interstitials), std::move(rewardeds),
                         std::move(appOpens));
  fields.field(root, "", "simulation", [&](const Json& v, const std::string& p) {
    SimulationSectionReader::read(fields, v, p, result);
  });
  return result;
}

}  // namespace QVRAdKit::Sandbox
