#pragma once
// The host's services are the one place where the module meets code that may throw. Where nothing
// may escape (a decision the host asks for, a callback that runs inside the host's own emission of
// a stream), the module makes the call through callHost(): an exception is logged at error level
// with its text and the operation's name, and the call answers its fallback, the "no ad" answer
// of the operation.
// Example:
//   const bool premium = callHost(QVR_FILE_TEXT, "getAd()", __LINE__, true,
//                                 [&] { return userService->isPremium(); });
// Threading: any thread.

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace QVRAdKit {

// The text of an exception: what() for a std::exception, a fixed text otherwise.
[[nodiscard]] std::string describeException(const std::exception_ptr& thrown);

// Logs that a host service threw while the operation ran and that it answers without an ad.
// Never throws, even when the logger does.
void reportHostFault(const std::exception_ptr& thrown, std::string_view file,
                     std::string_view function, int line) noexcept;

template <class Result, class Call>
Result callHost(std::string_view file, std::string_view function, int line, Result fallback,
                Call&& call) noexcept {
  try {
    return std::forward<Call>(call)();
  } catch (...) {
    reportHostFault(std::current_exception(), file, function, line);
    return fallback;
  }
}

}  // namespace QVRAdKit
