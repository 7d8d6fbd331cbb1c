#pragma once
// AdViewedEvent: an ad closed after being shown; duration since it opened (or since a later
// request: a rewarded ad requests its next ad at the reward).
// Object form: the event "ad_viewed" with the parameters of AdEventFields and AdEventOutcome.

#include "QVRAdKit/Host/EventCatalog/AdEventFields.h"
#include "QVRAdKit/Host/EventCatalog/ReportableEvent.h"

namespace QVRAdKit {

class AdViewedEvent final : public ReportableEvent {
 public:
  static constexpr const char* kName = "ad_viewed";

  AdViewedEvent(std::string aaid, std::optional<std::string> unitID,
                std::optional<std::string> networkClassName, std::optional<AdEventSource> source,
                std::optional<AdEventAction> action, std::int64_t errorCode,
                std::optional<Platform::Error> error, std::int64_t duration)
      : fields{std::move(aaid), std::move(unitID), std::move(networkClassName), source, action},
        outcome{errorCode, std::move(error), duration} {}

  [[nodiscard]] ReportingObject reportingObject() const override {
    ReportingObject object{kName, {}};
    object.parameters.reserve(8);
    fields.write(object, true);
    outcome.write(object);
    return object;
  }

  AdEventFields fields;
  AdEventOutcome outcome;
};

}  // namespace QVRAdKit
