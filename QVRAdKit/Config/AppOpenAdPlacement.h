#pragma once
// AppOpenAdPlacement names where an app-open ad may be shown: the main screen and the application
// start. A plain value; usable as a map key. placement(AppOpenAdType) maps the host's app-open
// choice onto it.

#include <optional>
#include <string_view>

#include "QVRAdKit/Host/AppOpenAdType.h"

namespace QVRAdKit {

enum class AppOpenAdPlacement { main, appLaunch };

// The case name, as written in log texts: "main" or "appLaunch".
[[nodiscard]] constexpr std::string_view caseName(AppOpenAdPlacement placement) {
  switch (placement) {
    case AppOpenAdPlacement::main:
      return "main";
    case AppOpenAdPlacement::appLaunch:
      return "appLaunch";
  }
  return "unknown";
}

// The placement the host means by its app-open type; none for AppOpenAdType::none.
[[nodiscard]] constexpr std::optional<AppOpenAdPlacement> placement(AppOpenAdType type) {
  switch (type) {
    case AppOpenAdType::none:
      return std::nullopt;
    case AppOpenAdType::main:
      return AppOpenAdPlacement::main;
    case AppOpenAdType::appLaunch:
      return AppOpenAdPlacement::appLaunch;
  }
  return std::nullopt;
}

}  // namespace QVRAdKit
