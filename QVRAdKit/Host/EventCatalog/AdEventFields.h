#pragma once
// AdEventFields holds what every ad event carries and writes it into an object form, so the four
// ad event records share one layout of parameter names: "aaid", "unit_id",
// "network_class_name", "source", "action", then the record's own ("error_code", "error",
// "duration").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Host/EventCatalog/AdEventAction.h"
#include "QVRAdKit/Host/EventCatalog/AdEventSource.h"
#include "QVRAdKit/Host/ReportingObject.h"
#include "QVRAdKit/Host/ReportingObjectFiller.h"
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
    auto out = ReportingObjectFiller::appending(object);
    const std::optional<std::string_view> name = networkClassName;
    write(out, aaid, unitID, withNetworkClassName ? &name : nullptr, source, action);
  }
  // The same parameters from the values themselves, without an AdEventFields holding copies;
  // networkClassName null leaves it out.
  static void write(ReportingObjectFiller& out, std::string_view aaid,
                    std::optional<std::string_view> unitID,
                    const std::optional<std::string_view>* networkClassName,
                    std::optional<AdEventSource> source, std::optional<AdEventAction> action) {
    out.text("aaid", aaid);
    if (unitID) out.text("unit_id", *unitID);
    if (networkClassName && *networkClassName) out.text("network_class_name", **networkClassName);
    if (source) out.text("source", reportingName(*source));
    if (action) out.text("action", reportingName(*action));
  }
};

// The outcome part of a load or view event: error code (0 without an error), error, duration.
struct AdEventOutcome {
  std::int64_t errorCode = 0;
  std::optional<Platform::Error> error;
  std::int64_t duration = 0;  // milliseconds

  bool operator==(const AdEventOutcome&) const = default;

  void write(ReportingObject& object) const {
    auto out = ReportingObjectFiller::appending(object);
    write(out, errorCode, error ? &*error : nullptr, duration);
  }
  // The same parameters from the values themselves; error null leaves it out.
  static void write(ReportingObjectFiller& out, std::int64_t errorCode,
                    const Platform::Error* error, std::int64_t duration) {
    out.integer("error_code", errorCode);
    if (error) out.text("error", error->localizedDescription);
    out.integer("duration", duration);
  }
};

}  // namespace QVRAdKit
