#pragma once
// AdOpenedEvent: an ad opened on screen.
// Object form: the event "ad_opened" with the parameters of AdEventFields.

#include "QVRAdKit/Host/EventCatalog/AdEventFields.h"
#include "QVRAdKit/Host/EventCatalog/ReportableEvent.h"

namespace QVRAdKit {

class AdOpenedEvent final : public ReportableEvent {
 public:
  static constexpr const char* kName = "ad_opened";

  AdOpenedEvent(std::string aaid, std::optional<std::string> unitID,
                std::optional<std::string> networkClassName, std::optional<AdEventSource> source,
                std::optional<AdEventAction> action)
      : fields{std::move(aaid), std::move(unitID), std::move(networkClassName), source, action} {}

  [[nodiscard]] ReportingObject reportingObject() const override {
    ReportingObject object{kName, {}};
    object.parameters.reserve(5);
    fields.write(object, true);
    return object;
  }

  AdEventFields fields;
};

}  // namespace QVRAdKit
