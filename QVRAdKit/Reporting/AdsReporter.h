#pragma once
// AdsReporter turns the moments of an ad object's life (requested, loaded, failed, opened, viewed)
// into the host's ad events and hands them to the host's analytics object. It also measures, per
// ad object (keyed by its uuid), how long a load took (from the request) and how long the ad stayed
// on screen (from the opening), on the clock it is given. The owning builder tells it which
// placement action each ad-unit key serves by replacing the whole mapping.
// Example:
//   auto reporter = std::make_shared<AdsReporter>(reporting, environment.clockPtr());
//   reporter->setAdUnitIdToActionMapping({{"unit-1", AdEventAction::connect}});
//   reporter->reportAdRequested(AdSource::adMob, "unit-1", ad.uuid);
// Threading: main queue only, like the ad objects that call it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "QVRAdKit/Host/EventCatalog/AdEventAction.h"
#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Host/ReportingObjectFiller.h"
#include "QVRAdKit/Platform/Clock.h"
#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Reporting/AdsReportable.h"

namespace QVRAdKit {

class AdsReporter final : public AdsReportable {
 public:
  AdsReporter(std::shared_ptr<QVReporting> reporting, std::shared_ptr<const Platform::Clock> clock);
  AdsReporter(const AdsReporter&) = delete;
  AdsReporter& operator=(const AdsReporter&) = delete;

  [[nodiscard]] const std::unordered_map<std::string, AdEventAction>& adUnitIdToActionMapping()
      const {
    return adUnitIdToActionMapping_;
  }
  // Replaces the whole mapping: keys that are not in the new one no longer yield an action.
  void setAdUnitIdToActionMapping(std::unordered_map<std::string, AdEventAction> mapping);
  // When uuid was last requested or opened (where its next duration starts), if ever.
  [[nodiscard]] std::optional<Platform::Date> lastStamp(const std::string& uuid) const {
    auto found = durations_.find(uuid);
    return found == durations_.end() ? std::nullopt : std::optional(found->second);
  }

  // Stamps the request time of uuid, then sends the request event.
  void reportAdRequested(AdSource source, const std::optional<std::string>& unitID,
                         const std::string& uuid) override;
  // A load event with code 0 and the time since uuid's last stamp.
  void reportAdLoaded(AdSource source, const std::optional<std::string>& unitID,
                      const std::string& uuid,
                      const std::optional<std::string>& networkClassName) override;
  // A load event carrying the error and its code, and the time since uuid's last stamp.
  void reportAdFailed(AdSource source, const std::optional<std::string>& unitID,
                      const std::string& uuid, const std::optional<std::string>& networkClassName,
                      const Platform::Error& error) override;
  // Stamps the opening time of uuid, then sends the opening event.
  void reportAdOpened(AdSource source, const std::optional<std::string>& unitID,
                      const std::string& uuid,
                      const std::optional<std::string>& networkClassName) override;
  // A view event with the time since the opening, and the error (code 0 without one).
  void reportAdViewed(AdSource source, const std::optional<std::string>& unitID,
                      const std::string& uuid, const std::optional<std::string>& networkClassName,
                      const std::optional<Platform::Error>& error) override;

 private:
  // The action of unitID: only a present, non-empty key found (exactly) in a non-empty mapping
  // has one.
  [[nodiscard]] std::optional<AdEventAction> action(const std::optional<std::string>& unitID) const;
  // Milliseconds between now and uuid's last stamp, as an absolute value (a clock set backwards
  // still gives a non-negative duration); 0 when uuid was never stamped.
  [[nodiscard]] std::int64_t elapsedMilliseconds(const std::string& uuid) const;
  void stamp(const std::string& uuid);
  // Fills a record under name with fill(ReportingObjectFiller&) and hands it to the sink (none
  // when the reporter was made without one). The record is the reporter's own, refilled for every
  // event; an event reported while the sink still handles another (a sink that makes the module
  // report again) gets a fresh record, so the one the sink holds does not change under it.
  template <typename Fill>
  void send(std::string_view name, const Fill& fill);

  // The reused record, shared with the call that fills it: a sink that ends the reporter's life
  // does not end the record it is reading.
  struct RecordBuffer {
    ReportingObject record;
    bool inUse = false;
  };

  std::shared_ptr<QVReporting> reporting_;
  std::shared_ptr<const Platform::Clock> clock_;
  std::unordered_map<std::string, AdEventAction> adUnitIdToActionMapping_;
  // Per ad object: the moment of its last request or opening. Overwritten, never removed.
  std::unordered_map<std::string, Platform::Date> durations_;
  std::shared_ptr<RecordBuffer> buffer_ = std::make_shared<RecordBuffer>();
};

}  // namespace QVRAdKit
