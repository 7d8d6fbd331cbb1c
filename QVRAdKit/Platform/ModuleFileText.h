#pragma once
// The file text a log call carries: the calling unit's path cut to "QVRAdKit/..." without its
// extension, so that the text follows the file when it moves. QVR_FILE_TEXT is that text for the
// current file, worked out at compile time.
// Example: "/src/QVRAdKit/Services/AdsService/AdsService.cpp" ->
//          "QVRAdKit/Services/AdsService/AdsService".

#include <string_view>

namespace QVRAdKit::Platform {

[[nodiscard]] constexpr std::string_view moduleFileText(std::string_view path) {
  constexpr std::string_view kRoot = "QVRAdKit/";
  if (auto start = path.rfind(kRoot); start != std::string_view::npos) path.remove_prefix(start);
  auto slash = path.rfind('/');
  auto dot = path.rfind('.');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    path.remove_suffix(path.size() - dot);
  }
  return path;
}

}  // namespace QVRAdKit::Platform

// A constant even where the call is not one: the text is wanted on hot paths (every main-queue
// check names it).
#define QVR_FILE_TEXT                                                                      \
  ([] {                                                                                    \
    constexpr std::string_view kFileText = ::QVRAdKit::Platform::moduleFileText(__FILE__); \
    return kFileText;                                                                      \
  }())
