#include "QVRAdKit/Platform/Application.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

namespace QVRAdKit::Platform {

namespace {

bool isWebScheme(const URL& url) {
  std::string scheme = url.scheme();
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return scheme == "http" || scheme == "https";
}

}  // namespace

Application::Application(std::shared_ptr<NotificationCenter> notificationCenter,
                         ApplicationState initialState)
    : notificationCenter_(std::move(notificationCenter)), state_(initialState) {}

ApplicationState Application::applicationState() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void Application::setApplicationState(ApplicationState state) {
  ApplicationState previous;
  {
    std::lock_guard lock(mutex_);
    previous = std::exchange(state_, state);
  }
  if (previous == state || !notificationCenter_) return;
  // Posted without the lock: observers commonly read the state back.
  if (state == ApplicationState::active) {
    notificationCenter_->post(UIApplicationDidBecomeActiveNotification, this);
  } else if (state == ApplicationState::background) {
    notificationCenter_->post(UIApplicationDidEnterBackgroundNotification, this);
  }
}

bool Application::canOpenURL(const URL& url) const {
  std::shared_ptr<const std::function<bool(const URL&)>> handler;
  {
    std::lock_guard lock(mutex_);
    handler = canOpenURLHandler_;
  }
  return handler ? (*handler)(url) : isWebScheme(url);
}

void Application::setCanOpenURLHandler(std::function<bool(const URL&)> handler) {
  auto replacement =
      handler ? std::make_shared<const std::function<bool(const URL&)>>(std::move(handler))
              : nullptr;
  std::lock_guard lock(mutex_);
  canOpenURLHandler_.swap(replacement);
}

bool Application::open(const URL& url) {
  if (!canOpenURL(url)) return false;
  std::lock_guard lock(mutex_);
  openedURLs_.push_back(url);
  return true;
}

std::vector<URL> Application::openedURLs() const {
  std::lock_guard lock(mutex_);
  return openedURLs_;
}

}  // namespace QVRAdKit::Platform
