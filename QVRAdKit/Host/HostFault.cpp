#include "QVRAdKit/Host/HostFault.h"

#include "QVRAdKit/Host/HostLogger.h"

namespace QVRAdKit {

std::string describeException(const std::exception_ptr& thrown) {
  try {
    std::rethrow_exception(thrown);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "an exception of unknown type";
  }
}

void reportHostFault(const std::exception_ptr& thrown, std::string_view file,
                     std::string_view function, int line, HostFaultOutcome outcome) noexcept {
  try {
    const std::string message =
        outcome == HostFaultOutcome::answeredWithoutAd
            ? "A host service failed (" + describeException(thrown) + "); answered without an ad"
            : "A host callback failed (" + describeException(thrown) + "); the module went on";
    QVLog(LogFlag::error, message, file, function, line);
  } catch (...) {  // NOLINT(bugprone-empty-catch): a logger that throws has nowhere to report
  }
}

}  // namespace QVRAdKit
