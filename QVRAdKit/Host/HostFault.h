#pragma once
// The host's services are the one place where the module meets code that may throw. Where nothing
// may escape (a decision the host asks for, a callback that runs inside the host's own emission of
// a stream), the module makes the call through callHost(): an exception is logged at error level
// with its text and the operation's name, and the call answers its fallback, the "no ad" answer
// of the operation. A host callback that answers nothing (an ad's delegate, the banner's listener)
// goes through callHostAction(): an exception is logged alike and the module goes on with the rest
// of its own work, so its state stays what it would have been had the callback returned.
// Example:
//   const bool premium = callHost(QVR_FILE_TEXT, "getAd()", __LINE__, true,
//                                 [&] { return userService->isPremium(); });
//   callHostAction(QVR_FILE_TEXT, "interstitialAdDidClose(_:)", __LINE__,
//                  [&] { delegate->interstitialAdDidClose(ad); });
// Threading: any thread.

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace QVRAdKit {

// The text of an exception: what() for a std::exception, a fixed text otherwise.
[[nodiscard]] std::string describeException(const std::exception_ptr& thrown);

// What the module did after host code threw: answered without an ad (a decision, a service the
// operation needed) or went on without the callback (a delegate, a listener).
enum class HostFaultOutcome { answeredWithoutAd, wentOn };

// Logs at error level that host code threw while the operation ran, and the outcome.
// Never throws, even when the logger does.
void reportHostFault(const std::exception_ptr& thrown, std::string_view file,
                     std::string_view function, int line,
                     HostFaultOutcome outcome = HostFaultOutcome::answeredWithoutAd) noexcept;

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

template <class Call>
void callHostAction(std::string_view file, std::string_view function, int line,
                    Call&& call) noexcept {
  try {
    std::forward<Call>(call)();
  } catch (...) {
    reportHostFault(std::current_exception(), file, function, line, HostFaultOutcome::wentOn);
  }
}

}  // namespace QVRAdKit
