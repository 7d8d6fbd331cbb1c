#include "QVRAdKit/Reporting/AdsReporter.h"

#include <cmath>
#include <limits>
#include <utility>

#include "QVRAdKit/Host/EventCatalog/AdLoadedEvent.h"
#include "QVRAdKit/Host/EventCatalog/AdOpenedEvent.h"
#include "QVRAdKit/Host/EventCatalog/AdRequestedEvent.h"
#include "QVRAdKit/Host/EventCatalog/AdViewedEvent.h"

namespace QVRAdKit {

namespace {

AdEventSource eventSource(AdSource source) {
  switch (source) {
    case AdSource::adMob:
      return AdEventSource::adMob;
    case AdSource::ironSource:
      return AdEventSource::ironSource;
  }
  return AdEventSource::adMob;
}

}  // namespace

AdsReporter::AdsReporter(std::shared_ptr<QVReporting> reporting,
                         std::shared_ptr<const Platform::Clock> clock)
    : reporting_(std::move(reporting)), clock_(std::move(clock)) {}

void AdsReporter::setAdUnitIdToActionMapping(
    std::unordered_map<std::string, AdEventAction> mapping) {
  adUnitIdToActionMapping_ = std::move(mapping);
}

std::optional<AdEventAction> AdsReporter::action(const std::optional<std::string>& unitID) const {
  if (!unitID || unitID->empty() || adUnitIdToActionMapping_.empty()) return std::nullopt;
  auto found = adUnitIdToActionMapping_.find(*unitID);
  if (found == adUnitIdToActionMapping_.end()) return std::nullopt;
  return found->second;
}

std::int64_t AdsReporter::elapsedMilliseconds(const std::string& uuid) const {
  auto found = durations_.find(uuid);
  if (found == durations_.end()) return 0;
  const double milliseconds = std::abs(clock_->now().timeIntervalSince(found->second)) * 1000.0;
  // A clock gone wild (not finite, or beyond the integer's range) must not make the conversion
  // undefined: such a duration is reported as unknown (0) or as the largest one.
  if (!std::isfinite(milliseconds)) return 0;
  // 2^63: the first value past the largest int64.
  constexpr double kLimit = static_cast<double>(std::numeric_limits<std::int64_t>::max());
  if (milliseconds >= kLimit) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(milliseconds);  // truncates toward zero
}

void AdsReporter::track(const ReportableEvent& event) const {
  if (reporting_) reporting_->track(event.reportingObject());
}

void AdsReporter::stamp(const std::string& uuid) {
  durations_.insert_or_assign(uuid, clock_->now());
}

void AdsReporter::reportAdRequested(AdSource source, const std::optional<std::string>& unitID,
                                    const std::string& uuid) {
  stamp(uuid);
  const AdRequestedEvent event(uuid, unitID, eventSource(source), action(unitID));
  track(event);
}

void AdsReporter::reportAdLoaded(AdSource source, const std::optional<std::string>& unitID,
                                 const std::string& uuid,
                                 const std::optional<std::string>& networkClassName) {
  const AdLoadedEvent event(uuid, unitID, networkClassName, eventSource(source), action(unitID), 0,
                            std::nullopt, elapsedMilliseconds(uuid));
  track(event);
}

void AdsReporter::reportAdFailed(AdSource source, const std::optional<std::string>& unitID,
                                 const std::string& uuid,
                                 const std::optional<std::string>& networkClassName,
                                 const Platform::Error& error) {
  const AdLoadedEvent event(uuid, unitID, networkClassName, eventSource(source), action(unitID),
                            error.code, error, elapsedMilliseconds(uuid));
  track(event);
}

void AdsReporter::reportAdOpened(AdSource source, const std::optional<std::string>& unitID,
                                 const std::string& uuid,
                                 const std::optional<std::string>& networkClassName) {
  stamp(uuid);
  const AdOpenedEvent event(uuid, unitID, networkClassName, eventSource(source), action(unitID));
  track(event);
}

void AdsReporter::reportAdViewed(AdSource source, const std::optional<std::string>& unitID,
                                 const std::string& uuid,
                                 const std::optional<std::string>& networkClassName,
                                 const std::optional<Platform::Error>& error) {
  const AdViewedEvent event(uuid, unitID, networkClassName, eventSource(source), action(unitID),
                            error ? error->code : 0, error, elapsedMilliseconds(uuid));
  track(event);
}

}  // namespace QVRAdKit
