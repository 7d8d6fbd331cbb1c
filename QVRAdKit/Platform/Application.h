#pragma once
// Application stands in for the phone's application object: its run state, which it announces on
// the notification centre (becoming active, entering the background), and opening URLs (a test or
// the sandbox host reads what was opened). The notifications are posted with the Application as
// their object, synchronously on the thread that changes the state.
// Threading: every member may be called from any thread, until confineToCurrentThread(); the
// host changes the state on the main queue.

#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/ApplicationState.h"
#include "QVRAdKit/Platform/NotificationCenter.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/Rx/ConfinableMutex.h"

namespace QVRAdKit::Platform {

inline constexpr std::string_view UIApplicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
inline constexpr std::string_view UIApplicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";

class Application {
 public:
  explicit Application(std::shared_ptr<NotificationCenter> notificationCenter,
                       ApplicationState initialState = ApplicationState::active);

  [[nodiscard]] ApplicationState applicationState() const;
  // Posts UIApplicationDidBecomeActiveNotification when the state becomes active from another
  // state, UIApplicationDidEnterBackgroundNotification when it becomes background from another.
  void setApplicationState(ApplicationState state);

  // By default true for http and https URLs (scheme in any case).
  [[nodiscard]] bool canOpenURL(const URL& url) const;
  // Replaces the rule canOpenURL applies; an empty function restores the default.
  void setCanOpenURLHandler(std::function<bool(const URL&)> handler);
  // Opens the URL when canOpenURL allows it, recording it in openedURLs(); answers whether it did.
  bool open(const URL& url);
  [[nodiscard]] std::vector<URL> openedURLs() const;

  // Promises that only the calling thread uses the application from now on, so that it takes no
  // lock; before any other thread may see it (its environment's confinement does this).
  void confineToCurrentThread() { mutex_.confineToCurrentThread(); }

 private:
  const std::shared_ptr<NotificationCenter> notificationCenter_;
  mutable Rx::ConfinableMutex mutex_{"Application"};
  ApplicationState state_;
  std::shared_ptr<const std::function<bool(const URL&)>> canOpenURLHandler_;
  std::vector<URL> openedURLs_;
};

}  // namespace QVRAdKit::Platform
