#pragma once
// ScriptedImageLoader is the image loader for tests: it records every request and answers none of
// them until the test does (succeed or fail), posting the completion to the main queue as a real
// loader would. A request cancelled before its completion runs never completes, even if it was
// answered already.
// Example:
//   auto loader = ScriptedImageLoader::create();
//   environment->setService<UI::ImageLoader>(loader);
//   view->fetchImage(url);
//   loader->succeed(0, UI::Image{"offer", {72, 44}});
//   environment->mainQueue().runUntilIdle();
// Threading: main queue only.

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/UI/ImageLoader.h"

namespace QVRAdKit::Sandbox {

class ScriptedImageLoader final : public UI::ImageLoader {
 public:
  struct Request {
    Platform::URL url;
    std::optional<UI::Size> preferredSize;
    bool cancelled = false;
    bool answered = false;
  };

  static std::shared_ptr<ScriptedImageLoader> create();

  Rx::Disposable loadImage(const Platform::URL& url, std::optional<UI::Size> preferredSize,
                           Completion completion) override;

  // Every request so far, oldest first, with its current state.
  [[nodiscard]] std::vector<Request> requests() const;
  // Requests neither answered nor cancelled.
  [[nodiscard]] size_t pendingCount() const;

  // Answer request `index`; false (and nothing posted) when it does not exist, was answered, or
  // was cancelled.
  bool succeed(size_t index, UI::Image image);
  bool fail(size_t index, Platform::Error error);

 private:
  struct State;
  bool answer(size_t index, Platform::Expected<UI::Image> result);

  std::vector<std::shared_ptr<State>> states_;
};

}  // namespace QVRAdKit::Sandbox
