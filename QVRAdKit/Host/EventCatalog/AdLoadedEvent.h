#pragma once
// AdLoadedEvent: an ad request ended: loaded (error code 0), or failed with the error (also used
// when presenting failed); duration since the request. Object form: the event "ad_loaded" with the
// parameters of AdEventFields and AdEventOutcome.

#include "QVRAdKit/Host/EventCatalog/AdEventFields.h"
#include "QVRAdKit/Host/EventCatalog/ReportableEvent.h"

namespace QVRAdKit {

class AdLoadedEvent final : public ReportableEvent {
 public:
  static constexpr const char* kName = "ad_loaded";

  AdLoadedEvent(std::string aaid, std::optional<std::string> unitID,
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
