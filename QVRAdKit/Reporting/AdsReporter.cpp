#include "QVRAdKit/Reporting/AdsReporter.h"

#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "QVRAdKit/Host/EventCatalog/AdLoadedEvent.h"
#include "QVRAdKit/Host/EventCatalog/AdOpenedEvent.h"
#include "QVRAdKit/Host/EventCatalog/AdRequestedEvent.h"
#include "QVRAdKit/Host/EventCatalog/AdViewedEvent.h"
#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Platform/ModuleFileText.h"

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

void AdsReporter::setAdUnitIdToActionMapping(ActionMapping mapping) {
  adUnitIdToActionMapping_ = std::move(mapping);
}

inline std::optional<AdEventAction> AdsReporter::action(Text unitID) const {
  if (!unitID || unitID->empty() || adUnitIdToActionMapping_.empty()) return std::nullopt;
  // A builder maps only its own few keys: comparing each (lengths first) costs less than hashing
  // the unit key.
  if (adUnitIdToActionMapping_.size() <= kScannedActionKeys) {
    for (const auto& [key, mapped] : adUnitIdToActionMapping_) {
      if (Platform::TextEqual{}(key, *unitID)) return mapped;
    }
    return std::nullopt;
  }
  auto found = adUnitIdToActionMapping_.find(*unitID);
  if (found == adUnitIdToActionMapping_.end()) return std::nullopt;
  return found->second;
}

inline std::int64_t AdsReporter::elapsedMilliseconds(std::string_view uuid) const {
  const Platform::Date* found = durations_.find(uuid);
  if (found == nullptr) return 0;
  const double milliseconds = std::abs(clock_->now().timeIntervalSince(*found)) * 1000.0;
  // A clock gone wild (not finite, or beyond the integer's range) must not make the conversion
  // undefined: such a duration is reported as unknown (0) or as the largest one.
  if (!std::isfinite(milliseconds)) return 0;
  // 2^63: the first value past the largest int64.
  constexpr double kLimit = static_cast<double>(std::numeric_limits<std::int64_t>::max());
  if (milliseconds >= kLimit) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(milliseconds);  // truncates toward zero
}

unsigned AdsReporter::layout(Text unitID, const Text* networkClassName,
                             std::optional<AdEventAction> action, bool error) {
  return (unitID ? kWithUnitID : 0U) | (networkClassName && *networkClassName ? kWithNetwork : 0U) |
         (action ? kWithAction : 0U) | (error ? kWithError : 0U);
}

template <typename Fill>
void AdsReporter::send(RecordKind kind, unsigned layout, std::string_view name, const Fill& fill) {
  if (!reporting_) return;
  struct Record {
    ReportingObject object;
    bool inUse = false;
  };
  thread_local std::array<Record, static_cast<std::size_t>(RecordKind::count) * kLayouts> records;
  Record& record = records[static_cast<std::size_t>(kind) * kLayouts + layout];
  if (record.inUse) {
    ReportingObject nested;
    ReportingObjectFiller out(nested, name);
    fill(out);
    track(nested);
    return;
  }
  ReportingObjectFiller out(record.object, name);
  fill(out);
  out.finish();
  struct InUse {
    bool& flag;
    explicit InUse(bool& held) : flag(held) { flag = true; }
    ~InUse() { flag = false; }
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;
  } inUse(record.inUse);
  track(record.object);
}

// The analytics object is host code: a throw from it is logged, and the ad's own steps after the
// report (its flags, its delegate, a reload) still run.
void AdsReporter::track(const ReportingObject& object) const {
  callHostAction(QVR_FILE_TEXT, "track(_:)", __LINE__, [&] { reporting_->track(object); });
}

inline void AdsReporter::stamp(std::string_view uuid) {
  durations_.set(uuid, clock_->now());
}

void AdsReporter::reportAdRequested(AdSource source, Text unitID, std::string_view uuid) {
  stamp(uuid);
  const auto act = action(unitID);
  send(RecordKind::requested, layout(unitID, nullptr, act, false), AdRequestedEvent::kName,
       [&](ReportingObjectFiller& out) {
         AdEventFields::write(out, uuid, unitID, nullptr, eventSource(source), act);
       });
}

void AdsReporter::reportAdLoaded(AdSource source, Text unitID, std::string_view uuid,
                                 Text networkClassName) {
  const auto act = action(unitID);
  send(RecordKind::loaded, layout(unitID, &networkClassName, act, false), AdLoadedEvent::kName,
       [&](ReportingObjectFiller& out) {
         AdEventFields::write(out, uuid, unitID, &networkClassName, eventSource(source), act);
         AdEventOutcome::write(out, 0, nullptr, elapsedMilliseconds(uuid));
       });
}

void AdsReporter::reportAdFailed(AdSource source, Text unitID, std::string_view uuid,
                                 Text networkClassName, const Platform::Error& error) {
  const auto act = action(unitID);
  send(RecordKind::failed, layout(unitID, &networkClassName, act, true), AdLoadedEvent::kName,
       [&](ReportingObjectFiller& out) {
         AdEventFields::write(out, uuid, unitID, &networkClassName, eventSource(source), act);
         AdEventOutcome::write(out, error.code, &error, elapsedMilliseconds(uuid));
       });
}

void AdsReporter::reportAdOpened(AdSource source, Text unitID, std::string_view uuid,
                                 Text networkClassName) {
  stamp(uuid);
  const auto act = action(unitID);
  send(RecordKind::opened, layout(unitID, &networkClassName, act, false), AdOpenedEvent::kName,
       [&](ReportingObjectFiller& out) {
         AdEventFields::write(out, uuid, unitID, &networkClassName, eventSource(source), act);
       });
}

void AdsReporter::reportAdViewed(AdSource source, Text unitID, std::string_view uuid,
                                 Text networkClassName,
                                 const std::optional<Platform::Error>& error) {
  const auto act = action(unitID);
  send(RecordKind::viewed, layout(unitID, &networkClassName, act, error.has_value()),
       AdViewedEvent::kName, [&](ReportingObjectFiller& out) {
         AdEventFields::write(out, uuid, unitID, &networkClassName, eventSource(source), act);
         AdEventOutcome::write(out, error ? error->code : 0, error ? &*error : nullptr,
                               elapsedMilliseconds(uuid));
       });
}

}  // namespace QVRAdKit
