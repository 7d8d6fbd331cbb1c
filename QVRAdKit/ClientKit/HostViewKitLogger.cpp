#include "QVRAdKit/ClientKit/HostViewKitLogger.h"

#include <memory>

#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/LogFlag.h"

namespace QVRAdKit {

void HostViewKitLogger::installIfMissing(Platform::Environment& environment) {
  environment.sharedInstance<UI::ViewKitLogger>(
      [] { return std::make_shared<HostViewKitLogger>(); });
}

void HostViewKitLogger::warning(std::string_view message, std::string_view file,
                                std::string_view function, int line) {
  QVLog(LogFlag::warning, message, file, function, line);
}

void HostViewKitLogger::assertionFailure(std::string_view message, std::string_view file,
                                         std::string_view function, int line) {
  QVLogAssertionFailure(message, file, function, line);
}

}  // namespace QVRAdKit
