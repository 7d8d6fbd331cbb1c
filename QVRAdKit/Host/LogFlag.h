#pragma once
// LogFlag is the level of a host log message. The module names levels by declaration position
// (0 error, 1 warning, 2 info, 3 debug, 4 verbose), so the order of the cases is fixed.

namespace QVRAdKit {

enum class LogFlag { error, warning, info, debug, verbose };

[[nodiscard]] constexpr int position(LogFlag flag) {
  return static_cast<int>(flag);
}

}  // namespace QVRAdKit
