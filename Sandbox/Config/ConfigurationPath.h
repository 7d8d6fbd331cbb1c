#pragma once
// ConfigurationPath names a place in a JSON configuration the way every configuration message
// does: fields joined by dots (interstitial.connect.timeout), array elements by index (keys[2]),
// and names that are not plain identifiers as JSON strings in brackets (adUnits["/x"]), so a
// message naming a place stays one line whatever the file holds. The root is "configuration".
// Threading: pure functions.

#include <cstddef>
#include <string>
#include <string_view>

namespace QVRAdKit::Sandbox::ConfigurationPath {

// text as a JSON string literal, with invalid UTF-8 replaced: safe to quote in one line.
[[nodiscard]] std::string jsonText(std::string_view text);
// The place of field name inside the object at path ("" is the root).
[[nodiscard]] std::string child(const std::string& path, std::string_view name);
// The place of element index inside the array at path.
[[nodiscard]] std::string element(const std::string& path, std::size_t index);
// The text a message shows for path: the path, or "configuration" for the root.
[[nodiscard]] std::string display(const std::string& path);

}  // namespace QVRAdKit::Sandbox::ConfigurationPath
