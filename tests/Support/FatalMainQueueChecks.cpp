// The test build makes main-queue checks fatal: a module operation called from the wrong thread
// aborts the test that did it instead of being logged and racing on.

#include "QVRAdKit/Host/MainQueueCheck.h"

namespace {

[[maybe_unused]] const bool kFatalChecks = [] {
  QVRAdKit::setMainQueueChecksFatal(true);
  return true;
}();

}  // namespace
