#include "Sandbox/Inspector/InspectorFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <variant>

namespace QVRAdKit::Sandbox {

namespace {

// Whole seconds rounded down, held to a range that formats safely (about 3000 years).
long long wholeSeconds(Platform::TimeInterval seconds) {
  constexpr double kLimit = 1e11;
  if (!std::isfinite(seconds)) return 0;
  return static_cast<long long>(std::floor(std::clamp(seconds, -kLimit, kLimit)));
}

}  // namespace

std::string InspectorFormat::sessionClock(Platform::TimeInterval seconds) {
  long long total = wholeSeconds(seconds);
  const char* sign = total < 0 ? "-" : "";
  total = total < 0 ? -total : total;
  char text[48];
  std::snprintf(text, sizeof text, "%s%02lld:%02lld:%02lld", sign, total / 3600, total / 60 % 60,
                total % 60);
  return text;
}

std::string InspectorFormat::duration(Platform::TimeInterval seconds) {
  long long total = wholeSeconds(seconds);
  const char* sign = total < 0 ? "-" : "";
  total = total < 0 ? -total : total;
  char text[64];
  if (total < 60) {
    std::snprintf(text, sizeof text, "%s%llds", sign, total);
  } else if (total < 3600) {
    std::snprintf(text, sizeof text, "%s%lldm %02llds", sign, total / 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%s%lldh %02lldm %02llds", sign, total / 3600, total / 60 % 60,
                  total % 60);
  }
  return text;
}

std::string InspectorFormat::placement(const AdsPlacement& placement) {
  return std::visit(
      [&](auto value) {
        std::string label;
        switch (placement.format()) {
          case AdsPlacement::Format::interstitial:
            label = "interstitial ";
            break;
          case AdsPlacement::Format::rewarded:
            label = "rewarded ";
            break;
          case AdsPlacement::Format::appOpen:
            label = "app-open ";
            break;
        }
        return label.append(caseName(value));
      },
      placement.payload());
}

std::string InspectorFormat::age(const AdsServiceSnapshot::Ad& ad) {
  if (!ad.age) return "-";
  return duration(*ad.age) +
         (ad.ageOrigin == AdsServiceSnapshot::AgeOrigin::loaded ? " since load" : " since request");
}

std::string InspectorFormat::builder(const AdsServiceSnapshot::Placement& placement) {
  std::string text(caseName(placement.source));
  if (!placement.hasBuilder) return text + ", no builder";
  return text + (placement.running ? ", running" : ", not started");
}

std::string InspectorFormat::run(const AdsServiceSnapshot& snapshot) {
  std::string text = snapshot.runInProgress ? "run in progress"
                     : snapshot.runHasEnded ? "run ended"
                                            : "no run yet";
  return text + (snapshot.configured ? ", configured" : ", no configuration");
}

std::string InspectorFormat::consent(const AdsServiceSnapshot& snapshot) {
  const AdsServiceSnapshot::Consent& consent = snapshot.consent;
  if (!consent.hasService) return "no consent service";
  std::string text(caseName(consent.status));
  text += consent.formLoaded ? ", form loaded" : ", no form loaded";
  text += consent.personalizedAdsAllowed ? ", personalised ads allowed"
                                         : ", personalised ads not allowed";
  return text;
}

std::string InspectorFormat::pause(const AdsServiceSnapshot& snapshot,
                                   Platform::Date sessionStart) {
  if (snapshot.pausedTillUnreadable) return "unreadable";
  if (!snapshot.pausedTill) return "none";
  return "until " + sessionClock(snapshot.pausedTill->timeIntervalSince(sessionStart)) +
         (snapshot.isPaused() ? " (paused)" : " (over)");
}

std::optional<std::string> InspectorFormat::lastGrant(
    const AdsServiceSnapshot& snapshot, const AdsServiceSnapshot::Placement& placement,
    Platform::Date sessionStart) {
  const auto interstitial = placement.placement.interstitialPlacement();
  if (!interstitial) return std::nullopt;
  const auto found = snapshot.lastGrants.find(*interstitial);
  if (found == snapshot.lastGrants.end()) return std::nullopt;
  return sessionClock(found->second.timeIntervalSince(sessionStart)) + " (" +
         duration(snapshot.takenAt.timeIntervalSince(found->second)) + " ago)";
}

}  // namespace QVRAdKit::Sandbox
