#pragma once
// QVReporting is the host's analytics object. The module hands it every event in object form and
// expects nothing back. Threading: called on the main queue.

#include "QVRAdKit/Host/ReportingObject.h"

namespace QVRAdKit {

class QVReporting {
 public:
  virtual ~QVReporting() = default;
  virtual void track(const ReportingObject& event) = 0;
};

}  // namespace QVRAdKit
