#pragma once
// AdRequestedEvent: an ad object asked its network for an ad.
// Object form: the event "ad_requested" with the parameters of AdEventFields.

#include "QVRAdKit/Host/EventCatalog/AdEventFields.h"
#include "QVRAdKit/Host/EventCatalog/ReportableEvent.h"

namespace QVRAdKit {

class AdRequestedEvent final : public ReportableEvent {
 public:
  static constexpr const char* kName = "ad_requested";

  AdRequestedEvent(std::string aaid, std::optional<std::string> unitID,
                   std::optional<AdEventSource> source, std::optional<AdEventAction> action)
      : fields{std::move(aaid), std::move(unitID), std::nullopt, source, action} {}

  [[nodiscard]] ReportingObject reportingObject() const override {
    ReportingObject object{kName, {}};
    object.parameters.reserve(5);
    fields.write(object, false);
    return object;
  }

  AdEventFields fields;
};

}  // namespace QVRAdKit
