#pragma once
// UCRReportable is a record that UCR::report hands to the host's user-conversion analytics: like
// the catalog's ad events, it turns itself into the object form the host's sink receives.
// Threading: records are plain values, built and reported on the main queue.

#include "QVRAdKit/Host/ReportingObject.h"

namespace QVRAdKit {

class UCRReportable {
 public:
  virtual ~UCRReportable() = default;
  [[nodiscard]] virtual ReportingObject reportingObject() const = 0;
};

}  // namespace QVRAdKit
