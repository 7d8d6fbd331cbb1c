#include "Workbench/WorkbenchAssets.h"

namespace QVRAdKit::Workbench {

std::optional<WorkbenchAsset> findAsset(std::string_view name) {
  const auto& assets = embeddedAssets();
  const auto found = assets.find(name);
  if (found == assets.end()) return std::nullopt;
  const char* type = "application/octet-stream";
  if (name.ends_with(".html")) type = "text/html; charset=utf-8";
  if (name.ends_with(".js")) type = "text/javascript; charset=utf-8";
  if (name.ends_with(".css")) type = "text/css; charset=utf-8";
  return WorkbenchAsset{found->second, type};
}

}  // namespace QVRAdKit::Workbench
