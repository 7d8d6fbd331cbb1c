#pragma once
// WorkbenchAssets are the workbench's pages, scripts and styles, compiled into the program from
// Workbench/assets/ (cmake/EmbedAssets.cmake), so the workbench needs no file and no network at
// run time. A request names an asset by its bare file name: nothing else is ever served, so no
// path can reach outside them.
// Threading: read-only after the first call.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace QVRAdKit::Workbench {

// Every asset by file name ("workbench.js").
[[nodiscard]] const std::map<std::string, std::string_view, std::less<>>& embeddedAssets();

struct WorkbenchAsset {
  std::string_view bytes;
  const char* contentType;
};

// The asset of that exact name with its media type; none for any other name.
[[nodiscard]] std::optional<WorkbenchAsset> findAsset(std::string_view name);

}  // namespace QVRAdKit::Workbench
