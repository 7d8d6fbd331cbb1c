#include "QVRAdKit/Services/AdsService/IntegrationCheck.h"

#include <string>
#include <utility>
#include <vector>

#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GoogleMobileAdsLoader.h"
#include "QVRAdKit/SDK/IronSource/IronSourceSDK.h"
#include "QVRAdKit/SDK/UnityAds/UADSMetaDataStore.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentFormLoader.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentInformation.h"
#include "QVRAdKit/Services/AdsService/IntegrationConfigCheck.h"
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

struct DependencyText {
  ServiceDependency dependency;
  std::string_view piece;
  std::string_view problem;
  std::string_view field;
};

// What the service cannot do without each required host service.
constexpr DependencyText kDependencyTexts[] = {
    {ServiceDependency::configProvider, "configuration provider",
     "The ads service has no configuration provider: no start-up run reads a configuration, so "
     "no ad ever loads.",
     "configProvider"},
    {ServiceDependency::userService, "user service",
     "The ads service has no user service: it builds no ad loader and every decision answers no "
     "ad.",
     "userService"},
    {ServiceDependency::connectionService, "connection service",
     "The ads service has no connection service: interstitialTypeToPresent() never grants an "
     "interstitial.",
     "connectionService"},
    {ServiceDependency::rateUsService, "rate-us service",
     "The ads service has no rate-us service: interstitialTypeToPresent() never grants an "
     "interstitial.",
     "rateUsService"},
    {ServiceDependency::adsConsentService, "consent service",
     "The ads service has no consent service: consent is never resolved, so no start-up run "
     "loads ads.",
     "adsConsentService"},
    {ServiceDependency::reporting, "reporting",
     "The ads service has no reporting: it builds no ad loader, so no ad loads and no ad event "
     "reaches your analytics.",
     "reporting"},
};

// What a run waiting on each step waits for, in words.
std::string waitedFor(const StartUpWait& wait) {
  switch (wait.step) {
    case StartUpStep::consentUpdate:
      return "the consent platform's answer to its consent update";
    case StartUpStep::configuration:
      return "the first value of your configuration stream";
    case StartUpStep::networkStart:
      return "the start of " + std::string(caseName(wait.network.value_or(AdSource::adMob))) +
             " (its bridge's start completion)";
  }
  return "a step";
}

std::string_view fixFor(StartUpStep step) {
  switch (step) {
    case StartUpStep::consentUpdate:
      return "Make your UMPConsentInformation bridge call the update's completion, with an error "
             "when the platform cannot answer.";
    case StartUpStep::configuration:
      return "Make your configuration provider's adsConfig() emit a value (or end) even when the "
             "remote configuration cannot be fetched, for example with a built-in default.";
    case StartUpStep::networkStart:
      return "Make your SDK bridge call the start's completion once, even when the SDK fails to "
             "start.";
  }
  return "";
}

// One entry per network whose bridge has left loads unanswered, naming each ad by its placement
// and key. Such an ad neither loads nor fails, so the waterfall never replaces it: its key serves
// nothing, and a placement whose keys all wait never shows an ad (its loading stream stays true).
void reportStalledLoads(const std::vector<IntegrationCheckInput::StalledLoad>& stalled,
                        IntegrationReport& report) {
  for (const AdSource source : {AdSource::adMob, AdSource::ironSource}) {
    std::string ads;
    for (const auto& load : stalled) {
      if (load.source != source) continue;
      ads.append(ads.empty() ? "" : ", ")
          .append(load.placement)
          .append(" \"")
          .append(load.key)
          .append("\" (")
          .append(std::to_string(static_cast<long long>(load.age)))
          .append(" s)");
    }
    if (ads.empty()) continue;
    const bool adMob = source == AdSource::adMob;
    report.issues.push_back(
        {Severity::error, adMob ? "Google Mobile Ads loads" : "IronSource loads",
         "Ad loads have had no answer for over " +
             std::to_string(static_cast<long long>(kStalledAdLoadAge)) + " s: " + ads +
             ". An ad that neither loads nor fails is never replaced, so its key serves no ad "
             "and a placement whose keys all wait stays loading.",
         adMob ? "Make your GoogleMobileAdsLoader call every load's completion once, with an "
                 "error when the network gives up, and with an ad or an error, never neither."
               : "Make your IronSource bridge deliver a load or a load failure for every load "
                 "it is asked for."});
  }
}

}  // namespace

std::string IntegrationIssue::text() const {
  std::string line(severityName(severity));
  return line.append(": ").append(message());
}

std::string IntegrationIssue::message() const {
  std::string line(piece);
  line.append(": ").append(problem).append(" Fix: ").append(fix);
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

IntegrationIssue userStreamSilentIssue() {
  return {Severity::error, "user stream",
          "A start-up run has ended and currentUser() answers a user, but userStream() did not "
          "give it when subscribed: the builders take the user from the stream, so they wait and "
          "load nothing.",
          "Make userStream() give the current user at once when subscribed (as a behaviour relay "
          "does), then every change."};
}

void checkBridges(const Platform::Environment& environment, const std::set<AdSource>& sources,
                  bool sourcesConfigured, IntegrationReport& report) {
  const Severity bridge = sourcesConfigured ? Severity::error : Severity::warning;
  const std::string_view beforeConfiguration =
      sourcesConfigured ? "" : "No configuration has arrived yet, so every network is checked. ";
  if (sources.contains(AdSource::adMob) &&
      (!environment.service<GADMobileAds>() || !environment.service<GoogleMobileAdsLoader>())) {
    report.issues.push_back(
        {bridge, "Google Mobile Ads bridge",
         std::string(beforeConfiguration)
             .append("Placements served by adMob load nothing: the SDK is not reachable."),
         "Register your bridge: environment.setService<GADMobileAds>(...) and "
         "environment.setService<GoogleMobileAdsLoader>(...)."});
  }
  if (sources.contains(AdSource::ironSource) && !environment.service<IronSourceSDK>()) {
    report.issues.push_back(
        {bridge, "IronSource bridge",
         std::string(beforeConfiguration)
             .append("Placements served by ironSource load nothing: the SDK is not reachable."),
         "Register your bridge: environment.setService<IronSourceSDK>(...)."});
  }
}

IntegrationReport checkIntegration(const Platform::Environment& environment,
                                   const IntegrationCheckInput& input) {
  IntegrationReport report;
  auto add = [&report](Severity severity, std::string piece, std::string problem, std::string fix) {
    report.issues.push_back({severity, std::move(piece), std::move(problem), std::move(fix)});
  };

  if (Platform::Environment::installed() != &environment) {
    add(Severity::warning, "environment scope",
        "The environment the module runs in is not installed on this thread: calls off its main "
        "queue go unreported, and the module's log lines and assertion failures skip your logger "
        "(they go to stderr).",
        "Install it while the module runs, on the thread that drains its main queue: "
        "Platform::Environment::Scope scope(environment);");
  }
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
  checkBridges(environment, input.sources, input.sourcesConfigured, report);
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
        std::string(kDrainMainQueueFix));
  }
  if (!input.missingDependencies.contains(ServiceDependency::adsConsentService) &&
      !environment.service<UADSMetaDataStore>()) {
    add(Severity::warning, "Unity Ads consent store",
        "The consent service's Unity Ads consent flag is dropped: Unity Ads, if it serves "
        "through mediation, never hears the user's consent.",
        "Register the store that hands metadata to Unity Ads: "
        "environment.setService<UADSMetaDataStore>(...) (one that ignores it if you have no Unity "
        "Ads adapter).");
  }
  for (const auto& text : kDependencyTexts) {
    if (!input.missingDependencies.contains(text.dependency)) continue;
    add(Severity::error, std::string(text.piece), std::string(text.problem),
        "Pass it as AdsService::Dependencies::" + std::string(text.field) +
            " to AdsService::create.");
  }
  if (!input.storage) {
    add(Severity::error, "storage", "The ads service has no storage: a pause is not kept.",
        "Pass it as AdsService::Dependencies::storage to AdsService::create.");
  } else {
    const std::string problem =
        callHost(QVR_FILE_TEXT, "checkIntegration()", __LINE__, std::string("the storage threw"),
                 [&] { return probeStorage(*input.storage); });
    if (!problem.empty()) {
      add(Severity::error, "storage", "Storage failed a write and read-back: " + problem + ".",
          "Make Storage::setValue durable and value() answer what was written.");
    }
  }
  if (input.runWait) {
    const Platform::TimeInterval waited =
        environment.clock().now().timeIntervalSince(input.runWait->since);
    if (waited > kStalledStartUpStepAge) {
      add(Severity::warning, "start-up run",
          "The start-up run has waited " + std::to_string(static_cast<long long>(waited)) +
              " s for " + waitedFor(*input.runWait) +
              ": it waits without a time limit, and no ad loads until it goes on.",
          std::string(fixFor(input.runWait->step)));
    }
  }
  reportStalledLoads(input.stalledLoads, report);
  if (input.noSignedInUser) {
    add(Severity::warning, "user",
        "A start-up run has ended, but your user service has no user: the builders wait for a "
        "signed-in user and load nothing until userStream gives one.",
        "Emit the signed-in user on userStream() and answer it from currentUser(); ads load once "
        "it comes.");
  }
  if (input.userStreamSilent) report.issues.push_back(userStreamSilentIssue());
  if (input.config) checkConfiguration(*input.config, report);
  return report;
}

}  // namespace QVRAdKit
