#pragma once
// AdEventFields holds what every ad event carries and writes it into an object form, so the four
// ad event records share one layout of parameter names: "aaid", "unit_id",
// "network_class_name", "source", "action", then the record's own ("error_code", "error",
// "duration").

#include <optional>
#include <string>

#include "QVRAdKit/Host/EventCatalog/AdEventAction.h"
#include "QVRAdKit/Host/EventCatalog/AdEventSource.h"
#include "QVRAdKit/Host/ReportingObject.h"
#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

struct AdEventFields {
  std::string aaid;
  std::optional<std::string> unitID;
  std::optional<std::string> networkClassName;
  std::optional<AdEventSource> source;
  std::optional<AdEventAction> action;

  bool operator==(const AdEventFields&) const = default;

  void write(ReportingObject& object, bool withNetworkClassName) const {
    object.parameters.emplace_back("aaid", aaid);
    if (unitID) object.parameters.emplace_back("unit_id", *unitID);
    if (withNetworkClassName && networkClassName) {
      object.parameters.emplace_back("network_class_name", *networkClassName);
    }
    if (source) object.parameters.emplace_back("source", std::string(reportingName(*source)));
    if (action) object.parameters.emplace_back("action", std::string(reportingName(*action)));
  }
};

// The outcome part of a load or view event: error code (0 without an error), error, duration.
struct AdEventOutcome {
  std::int64_t errorCode = 0;
  std::optional<Platform::Error> error;
  std::int64_t duration = 0;  // milliseconds

  bool operator==(const AdEventOutcome&) const = default;

  void write(ReportingObject& object) const {
    object.parameters.emplace_back("error_code", errorCode);
    if (error) object.parameters.emplace_back("error", error->localizedDescription);
    object.parameters.emplace_back("duration", duration);
  }
};

}  // namespace QVRAdKit
