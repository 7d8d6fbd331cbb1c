#include "Sandbox/Inspector/InspectorText.h"

#include "Sandbox/Inspector/InspectorFormat.h"

namespace QVRAdKit::Sandbox {

std::vector<std::string> InspectorText::lines(Platform::TimeInterval at,
                                              const AdsServiceSnapshot& snapshot) {
  const Platform::Date sessionStart = snapshot.takenAt.addingTimeInterval(-at);
  std::vector<std::string> lines;
  lines.push_back("inspect: " + InspectorFormat::run(snapshot) + " | consent " +
                  InspectorFormat::consent(snapshot) + " | pause " +
                  InspectorFormat::pause(snapshot, sessionStart));
  if (snapshot.placements.empty()) lines.emplace_back("  no placements");
  for (const auto& placement : snapshot.placements) {
    std::string heading = "  " + InspectorFormat::placement(placement.placement) + " (" +
                          InspectorFormat::builder(placement);
    if (auto grant = InspectorFormat::lastGrant(snapshot, placement, sessionStart)) {
      heading += "; last grant " + *grant;
    }
    lines.push_back(heading + ")");
    if (placement.keys.empty()) lines.emplace_back("    no keys");
    int position = 0;
    for (const auto& key : placement.keys) {
      std::string line = "    " + std::to_string(++position) + ". " + key.key + "  ";
      if (key.ad) {
        line += std::string(caseName(key.ad->state)) + "  " + InspectorFormat::age(*key.ad);
        if (!key.ad->uuid.empty()) line += "  uuid " + key.ad->uuid;
      } else {
        line += "no ad";
      }
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

}  // namespace QVRAdKit::Sandbox
