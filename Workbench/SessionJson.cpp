#include "Workbench/SessionJson.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "Sandbox/Inspector/InspectorFormat.h"
#include "Sandbox/Inspector/InspectorText.h"

namespace QVRAdKit::Workbench::SessionJson {
namespace {

using Json = nlohmann::ordered_json;
using Sandbox::InspectorFormat;

// Milliseconds are all a picture can show; its clock texts are of the same rounded moments.
double seconds(Platform::TimeInterval value) {
  return std::round(value * 1000) / 1000;
}

}  // namespace

Json picture(const SessionTrace::Picture& picture) {
  Json moments = Json::array();
  std::uint64_t shows = 0;
  for (const auto& moment : picture.moments) {
    if (moment.kind == "show") ++shows;
    moments.push_back({{"at", seconds(moment.at)},
                       {"clock", InspectorFormat::sessionClock(seconds(moment.at))},
                       {"kind", moment.kind},
                       {"text", moment.text}});
  }
  Json spans = Json::array();
  for (const auto& span : picture.spans) {
    spans.push_back({{"lane", span.lane},
                     {"from", seconds(span.from)},
                     {"to", seconds(span.to)},
                     {"label", span.label}});
  }
  Json loads = Json::array();
  Json lanes = Json::array();
  std::uint64_t outcomes[3] = {0, 0, 0};
  for (const auto& load : picture.loads) {
    const std::string lane = SessionTrace::laneOf(load);
    if (std::find(lanes.begin(), lanes.end(), lane) == lanes.end()) lanes.push_back(lane);
    ++outcomes[static_cast<int>(load.outcome)];
    loads.push_back({{"lane", lane},
                     {"network", load.network},
                     {"key", load.key ? Json(*load.key) : Json(nullptr)},
                     {"action", load.action},
                     {"uuid", load.uuid},
                     {"requestedAt", seconds(load.requestedAt)},
                     {"endedAt", load.endedAt ? Json(seconds(*load.endedAt)) : Json(nullptr)},
                     {"outcome", SessionTrace::name(load.outcome)},
                     {"errorCode", load.errorCode}});
  }
  return {{"seed", std::to_string(picture.seed)},
          {"duration", picture.duration},
          {"moments", std::move(moments)},
          {"spans", std::move(spans)},
          {"loads", std::move(loads)},
          {"lanes", std::move(lanes)},
          {"counts",
           {{"requests", picture.loads.size()},
            {"filled", outcomes[static_cast<int>(SessionTrace::Outcome::filled)]},
            {"failed", outcomes[static_cast<int>(SessionTrace::Outcome::failed)]},
            {"unanswered", outcomes[static_cast<int>(SessionTrace::Outcome::unanswered)]},
            {"shows", shows}}}};
}

Json snapshot(Platform::TimeInterval at, const AdsServiceSnapshot& snapshot) {
  const Platform::Date sessionStart = snapshot.takenAt.addingTimeInterval(-at);
  Json placements = Json::array();
  for (const auto& placement : snapshot.placements) {
    Json keys = Json::array();
    for (const auto& key : placement.keys) {
      Json entry = {{"key", key.key}, {"state", nullptr}, {"age", nullptr}, {"uuid", nullptr}};
      if (key.ad) {
        entry["state"] = std::string(caseName(key.ad->state));
        if (key.ad->age) entry["age"] = InspectorFormat::age(*key.ad);
        if (!key.ad->uuid.empty()) entry["uuid"] = key.ad->uuid;
      }
      keys.push_back(std::move(entry));
    }
    const auto grant = InspectorFormat::lastGrant(snapshot, placement, sessionStart);
    placements.push_back({{"placement", InspectorFormat::placement(placement.placement)},
                          {"builder", InspectorFormat::builder(placement)},
                          {"lastGrant", grant ? Json(*grant) : Json(nullptr)},
                          {"keys", std::move(keys)}});
  }
  return {{"at", seconds(at)},
          {"clock", InspectorFormat::sessionClock(seconds(at))},
          {"run", InspectorFormat::run(snapshot)},
          {"consent", InspectorFormat::consent(snapshot)},
          {"pause", InspectorFormat::pause(snapshot, sessionStart)},
          {"paused", snapshot.isPaused()},
          {"placements", std::move(placements)},
          {"lines", Sandbox::InspectorText::lines(at, snapshot)}};
}

}  // namespace QVRAdKit::Workbench::SessionJson
