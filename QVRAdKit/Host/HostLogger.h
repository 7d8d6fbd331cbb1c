#pragma once
// The host's logging calls. Each carries the calling unit's file text (its path cut to
// "QVRAdKit/..." without extension), the operation's documented name and the line.
// Example: QVLog(LogFlag::warning, "ADs would be paused", QVR_FILE_TEXT, "shouldShowAd(for:)",
// __LINE__);

#include <string_view>

#include "QVRAdKit/Host/LogFlag.h"

namespace QVRAdKit {

// "/src/QVRAdKit/Services/AdsService/AdsService.cpp" -> "QVRAdKit/Services/AdsService/AdsService".
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

// Sends a message to the logger of the current environment (stderr when there is no logger or no
// environment).
void QVLog(LogFlag flag, std::string_view message, std::string_view file, std::string_view function,
           int line);
// Records an unexpected state and returns; the caller goes on.
void QVLogAssertionFailure(std::string_view message, std::string_view file,
                           std::string_view function, int line);

}  // namespace QVRAdKit

// Computed when compiling: the text is wanted on hot paths (every main-queue check names it).
#define QVR_FILE_TEXT                                                            \
  ([] {                                                                          \
    constexpr std::string_view kFileText = ::QVRAdKit::moduleFileText(__FILE__); \
    return kFileText;                                                            \
  }())
