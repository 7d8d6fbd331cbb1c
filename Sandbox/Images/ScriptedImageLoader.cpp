#include "Sandbox/Images/ScriptedImageLoader.h"

#include <utility>

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit::Sandbox {

struct ScriptedImageLoader::State {
  Request request;
  Completion completion;
};

std::shared_ptr<ScriptedImageLoader> ScriptedImageLoader::create() {
  return std::make_shared<ScriptedImageLoader>();
}

Rx::Disposable ScriptedImageLoader::loadImage(const Platform::URL& url,
                                              std::optional<UI::Size> preferredSize,
                                              Completion completion) {
  auto state =
      std::make_shared<State>(State{{url, preferredSize, false, false}, std::move(completion)});
  states_.push_back(state);
  return Rx::Disposable::create([weak = std::weak_ptr<State>(state)] {
    if (auto state = weak.lock()) {
      state->request.cancelled = true;
      state->completion = nullptr;  // drops whatever the caller captured
    }
  });
}

std::vector<ScriptedImageLoader::Request> ScriptedImageLoader::requests() const {
  std::vector<Request> requests;
  requests.reserve(states_.size());
  for (const auto& state : states_) requests.push_back(state->request);
  return requests;
}

size_t ScriptedImageLoader::pendingCount() const {
  size_t count = 0;
  for (const auto& state : states_) {
    if (!state->request.cancelled && !state->request.answered) ++count;
  }
  return count;
}

bool ScriptedImageLoader::succeed(size_t index, UI::Image image) {
  return answer(index, std::move(image));
}

bool ScriptedImageLoader::fail(size_t index, Platform::Error error) {
  return answer(index, std::move(error));
}

bool ScriptedImageLoader::answer(size_t index, Platform::Expected<UI::Image> result) {
  if (index >= states_.size()) return false;
  const auto& state = states_[index];
  if (state->request.cancelled || state->request.answered) return false;
  state->request.answered = true;
  Platform::Environment::current().mainQueue().async(
      [weak = std::weak_ptr<State>(state), result = std::move(result)]() mutable {
        auto state = weak.lock();
        if (!state || state->request.cancelled || !state->completion) return;
        auto completion = std::exchange(state->completion, nullptr);
        completion(std::move(result));
      });
  return true;
}

}  // namespace QVRAdKit::Sandbox
