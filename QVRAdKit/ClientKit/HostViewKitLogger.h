#pragma once
// HostViewKitLogger is the view kit's logging port (UI::ViewKitLogger) answered by the host's
// logger: warnings go to QVLog at the warning level, assertion failures to QVLogAssertionFailure,
// each with the view kit's own file and operation.
// installIfMissing() registers one in an environment that has no view-kit logger yet; the banner
// builder calls it, so a host that gives the module its QVLogger hears the banner's views too.
// Threading: any thread; stateless.

#include <string_view>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/ViewKitLogger.h"

namespace QVRAdKit {

class HostViewKitLogger final : public UI::ViewKitLogger {
 public:
  static void installIfMissing(Platform::Environment& environment);

  void warning(std::string_view message, std::string_view file, std::string_view function,
               int line) override;
  void assertionFailure(std::string_view message, std::string_view file, std::string_view function,
                        int line) override;
};

}  // namespace QVRAdKit
