#include "QVRAdKit/Services/AdsService/IntegrationCheck.h"

#include <string>
#include <utility>

#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GoogleMobileAdsLoader.h"
#include "QVRAdKit/SDK/IronSource/IronSourceSDK.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentFormLoader.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentInformation.h"
#include "QVRAdKit/UI/ImageLoader.h"

namespace QVRAdKit {
namespace {

using Severity = IntegrationIssue::Severity;

std::string_view severityName(Severity severity) {
  return severity == Severity::error ? "error" : "warning";
}

// Writes a value, reads it back and removes it; the problem in words, or empty when all held.
std::string probeStorage(Storage& storage) {
  const std::string probe = "written at start-up";
  if (auto error = storage.write<std::string>(probe, kIntegrationProbeKey)) {
    return "a write failed (" + error->localizedDescription + ")";
  }
  const auto readBack = storage.read<std::string>(kIntegrationProbeKey);
  const auto removed = storage.write<std::string>(std::nullopt, kIntegrationProbeKey);
  if (readBack != probe) return "a value written could not be read back";
  if (removed) return "a value could not be removed (" + removed->localizedDescription + ")";
  return {};
}

}  // namespace

std::string IntegrationIssue::text() const {
  std::string line(severityName(severity));
  line.append(": ").append(piece).append(": ").append(problem).append(" Fix: ").append(fix);
  return line;
}

const IntegrationIssue* IntegrationReport::find(std::string_view piece) const {
  for (const auto& issue : issues) {
    if (issue.piece == piece) return &issue;
  }
  return nullptr;
}

std::string IntegrationReport::text() const {
  if (issues.empty()) return "integration: nothing missing\n";
  std::string out;
  for (const auto& issue : issues) out.append("integration ").append(issue.text()).append("\n");
  return out;
}

IntegrationReport checkIntegration(const Platform::Environment& environment,
                                   const IntegrationCheckInput& input) {
  IntegrationReport report;
  auto add = [&report](Severity severity, std::string piece, std::string problem, std::string fix) {
    report.issues.push_back({severity, std::move(piece), std::move(problem), std::move(fix)});
  };

  if (!environment.service<QVLogger>()) {
    add(Severity::warning, "logger",
        "The module's log lines and assertion failures go to stderr, where a phone shows nobody.",
        "Register your logger: environment.setService<QVLogger>(yourLogger).");
  }
  if (!environment.service<UCRSink>()) {
    add(Severity::warning, "analytics sink",
        "The partner banner's view, click and close events are dropped.",
        "Register your analytics sink: environment.setService<UCRSink>(yourSink).");
  }
  if (!environment.service<UI::ImageLoader>()) {
    add(Severity::warning, "image loader", "Banner images stay on their placeholder.",
        "Register an image loader: environment.setService<UI::ImageLoader>(yourLoader).");
  }
  if (input.sources.contains(AdSource::adMob) &&
      (!environment.service<GADMobileAds>() || !environment.service<GoogleMobileAdsLoader>())) {
    add(Severity::error, "Google Mobile Ads bridge",
        "Placements served by adMob load nothing: the SDK is not reachable.",
        "Register your bridge: environment.setService<GADMobileAds>(...) and "
        "environment.setService<GoogleMobileAdsLoader>(...).");
  }
  if (input.sources.contains(AdSource::ironSource) && !environment.service<IronSourceSDK>()) {
    add(Severity::error, "IronSource bridge",
        "Placements served by ironSource load nothing: the SDK is not reachable.",
        "Register your bridge: environment.setService<IronSourceSDK>(...).");
  }
  if (!environment.service<UMPConsentInformation>() ||
      !environment.service<UMPConsentFormLoader>()) {
    add(Severity::error, "consent platform",
        "Consent cannot be gathered, so start-up runs end without loading ads.",
        "Register the consent platform: environment.setService<UMPConsentInformation>(...) and "
        "environment.setService<UMPConsentFormLoader>(...).");
  }
  if (const auto due = environment.mainQueue().nextDueDate();
      due && environment.clock().now().timeIntervalSince(*due) > kUndrainedMainQueueAge) {
    add(Severity::error, "main queue",
        "Work posted to the main queue is waiting: nothing the module does on it (loads, "
        "timers, callbacks) happens.",
        "Drain environment.mainQueue() from your run loop, on the thread that calls the module: "
        "call runUntilIdle() on every turn and when nextDueDate() comes.");
  }
  if (!input.storage) {
    add(Severity::error, "storage", "The ads service has no storage: a pause is not kept.",
        "Pass your Storage to AdsService::create.");
  } else {
    const std::string problem =
        callHost(QVR_FILE_TEXT, "checkIntegration()", __LINE__, std::string("the storage threw"),
                 [&] { return probeStorage(*input.storage); });
    if (!problem.empty()) {
      add(Severity::error, "storage", "Storage failed a write and read-back: " + problem + ".",
          "Make Storage::setValue durable and value() answer what was written.");
    }
  }
  return report;
}

}  // namespace QVRAdKit
