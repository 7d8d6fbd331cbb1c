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

#include <cstddef>
#include <cstdint>
#include <functional>
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
#include "QVRAdKit/Platform/TextEqual.h"
#include "QVRAdKit/Platform/TextHash.h"
#include "QVRAdKit/Reporting/AdStamps.h"
#include "QVRAdKit/Reporting/AdsReportable.h"

namespace QVRAdKit {

class AdsReporter final : public AdsReportable {
 public:
  // Keys given as views are looked up without a copy.
  using ActionMapping =
      std::unordered_map<std::string, AdEventAction, Platform::TextHash, Platform::TextEqual>;

  AdsReporter(std::shared_ptr<QVReporting> reporting, std::shared_ptr<const Platform::Clock> clock);
  AdsReporter(const AdsReporter&) = delete;
  AdsReporter& operator=(const AdsReporter&) = delete;

  [[nodiscard]] const ActionMapping& adUnitIdToActionMapping() const {
    return adUnitIdToActionMapping_;
  }
  // Up to this many keys, the mapping is searched by comparing every key rather than hashed.
  static constexpr std::size_t kScannedActionKeys = 4;
  // Replaces the whole mapping: keys that are not in the new one no longer yield an action.
  void setAdUnitIdToActionMapping(ActionMapping mapping);
  // When uuid was last requested or opened (where its next duration starts), if ever.
  [[nodiscard]] std::optional<Platform::Date> lastStamp(std::string_view uuid) const {
    const Platform::Date* found = durations_.find(uuid);
    return found == nullptr ? std::nullopt : std::optional(*found);
  }

  // Stamps the request time of uuid, then sends the request event.
  void reportAdRequested(AdSource source, Text unitID, std::string_view uuid) override;
  // A load event with code 0 and the time since uuid's last stamp.
  void reportAdLoaded(AdSource source, Text unitID, std::string_view uuid,
                      Text networkClassName) override;
  // A load event carrying the error and its code, and the time since uuid's last stamp.
  void reportAdFailed(AdSource source, Text unitID, std::string_view uuid, Text networkClassName,
                      const Platform::Error& error) override;
  // Stamps the opening time of uuid, then sends the opening event.
  void reportAdOpened(AdSource source, Text unitID, std::string_view uuid,
                      Text networkClassName) override;
  // A view event with the time since the opening, and the error (code 0 without one).
  void reportAdViewed(AdSource source, Text unitID, std::string_view uuid, Text networkClassName,
                      const std::optional<Platform::Error>& error) override;

 private:
  // The action of unitID: only a present, non-empty key found (exactly) in a non-empty mapping
  // has one.
  // This and the two below are inlined into the report operations: every event runs them.
  [[nodiscard, gnu::always_inline]] std::optional<AdEventAction> action(Text unitID) const;
  // Milliseconds between now and uuid's last stamp, as an absolute value (a clock set backwards
  // still gives a non-negative duration); 0 when uuid was never stamped.
  [[nodiscard, gnu::always_inline]] std::int64_t elapsedMilliseconds(std::string_view uuid) const;
  [[gnu::always_inline]] void stamp(std::string_view uuid);
  // The kinds of record. Each kind and layout is refilled in a record of its own, kept per thread
  // and shared by every reporter there, so its parameters keep their places and names (and their
  // text its memory) from one event to the next, also across the reporters of successive sessions.
  enum class RecordKind : std::size_t { requested, loaded, failed, opened, viewed, count };
  // Which optional parameters an event carries: its layout, one bit each. The layout only picks
  // the record; one that did not match the event would cost renamed places, not a wrong event.
  enum LayoutBit : unsigned { kWithUnitID = 1, kWithNetwork = 2, kWithAction = 4, kWithError = 8 };
  static constexpr std::size_t kLayouts = std::size_t{kWithError} * 2;
  [[nodiscard]] static unsigned layout(Text unitID, const Text* networkClassName,
                                       std::optional<AdEventAction> action, bool error);
  // Fills the record of kind and layout under name with fill(ReportingObjectFiller&) and hands it
  // to the sink (none when the reporter was made without one). An event reported while the sink
  // still handles another of the same kind and layout (a sink that makes the module report again)
  // gets a fresh record, so the one the sink holds does not change under it.
  template <typename Fill>
  void send(RecordKind kind, unsigned layout, std::string_view name, const Fill& fill);
  // Hands one record to the sink; a throw from the sink is logged, never passed on.
  void track(const ReportingObject& object) const;

  std::shared_ptr<QVReporting> reporting_;
  std::shared_ptr<const Platform::Clock> clock_;
  ActionMapping adUnitIdToActionMapping_;
  // Per ad object: the moment of its last request or opening.
  AdStamps durations_;
};

}  // namespace QVRAdKit
