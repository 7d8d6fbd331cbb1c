#pragma once
// ReportableEvent is the common base of the catalog's events: each turns itself into the object
// form that the host's analytics sink accepts.

#include "QVRAdKit/Host/ReportingObject.h"

namespace QVRAdKit {

class ReportableEvent {
 public:
  virtual ~ReportableEvent() = default;
  [[nodiscard]] virtual ReportingObject reportingObject() const = 0;
};

}  // namespace QVRAdKit
