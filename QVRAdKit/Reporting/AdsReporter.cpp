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

template <typename Fill>
void AdsReporter::send(std::string_view name, const Fill& fill) {
  if (!reporting_) return;
  const std::shared_ptr<RecordBuffer> buffer = buffer_;
  if (buffer->inUse) {
    ReportingObject nested;
    ReportingObjectFiller out(nested, name);
    fill(out);
    reporting_->track(nested);
    return;
  }
  ReportingObjectFiller out(buffer->record, name);
  fill(out);
  out.finish();
  struct InUse {
    bool& flag;
    explicit InUse(bool& held) : flag(held) { flag = true; }
    ~InUse() { flag = false; }
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;
  } inUse(buffer->inUse);
  reporting_->track(buffer->record);
}

void AdsReporter::stamp(const std::string& uuid) {
  durations_.insert_or_assign(uuid, clock_->now());
}

void AdsReporter::reportAdRequested(AdSource source, const std::optional<std::string>& unitID,
                                    const std::string& uuid) {
  stamp(uuid);
  send(AdRequestedEvent::kName, [&](ReportingObjectFiller& out) {
    AdEventFields::write(out, uuid, unitID, nullptr, eventSource(source), action(unitID));
  });
}

void AdsReporter::reportAdLoaded(AdSource source, const std::optional<std::string>& unitID,
                                 const std::string& uuid,
                                 const std::optional<std::string>& networkClassName) {
  send(AdLoadedEvent::kName, [&](ReportingObjectFiller& out) {
    AdEventFields::write(out, uuid, unitID, &networkClassName, eventSource(source), action(unitID));
    AdEventOutcome::write(out, 0, nullptr, elapsedMilliseconds(uuid));
  });
}

void AdsReporter::reportAdFailed(AdSource source, const std::optional<std::string>& unitID,
                                 const std::string& uuid,
                                 const std::optional<std::string>& networkClassName,
                                 const Platform::Error& error) {
  send(AdLoadedEvent::kName, [&](ReportingObjectFiller& out) {
    AdEventFields::write(out, uuid, unitID, &networkClassName, eventSource(source), action(unitID));
    AdEventOutcome::write(out, error.code, &error, elapsedMilliseconds(uuid));
  });
}

void AdsReporter::reportAdOpened(AdSource source, const std::optional<std::string>& unitID,
                                 const std::string& uuid,
                                 const std::optional<std::string>& networkClassName) {
  stamp(uuid);
  send(AdOpenedEvent::kName, [&](ReportingObjectFiller& out) {
    AdEventFields::write(out, uuid, unitID, &networkClassName, eventSource(source), action(unitID));
  });
}

void AdsReporter::reportAdViewed(AdSource source, const std::optional<std::string>& unitID,
                                 const std::string& uuid,
                                 const std::optional<std::string>& networkClassName,
                                 const std::optional<Platform::Error>& error) {
  send(AdViewedEvent::kName, [&](ReportingObjectFiller& out) {
    AdEventFields::write(out, uuid, unitID, &networkClassName, eventSource(source), action(unitID));
    AdEventOutcome::write(out, error ? error->code : 0, error ? &*error : nullptr,
                          elapsedMilliseconds(uuid));
  });
}

}  // namespace QVRAdKit
