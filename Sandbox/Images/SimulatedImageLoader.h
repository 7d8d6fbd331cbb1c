#pragma once
// SimulatedImageLoader is the image loader of the sandbox host: it answers each request after a
// fixed latency on the main queue's clock, with the image mapped to the URL's text, or with a
// "not found" error (domain "SimulatedImageLoader", code 404) for a URL it does not know.
// Cancelled requests never answer.
// Example:
//   auto loader = std::make_shared<SimulatedImageLoader>(
//       SimulatedImageLoader::Images{{"https://cdn.example/offer.png", {"offer", {72, 44}}}},
//       0.25);
//   environment->setService<UI::ImageLoader>(loader);
// Threading: main queue only.

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/UI/ImageLoader.h"

namespace QVRAdKit::Sandbox {

class SimulatedImageLoader final : public UI::ImageLoader {
 public:
  using Images = std::map<std::string, UI::Image>;

  SimulatedImageLoader(Images images, Platform::TimeInterval latency);

  Rx::Disposable loadImage(const Platform::URL& url, std::optional<UI::Size> preferredSize,
                           Completion completion) override;

  [[nodiscard]] size_t requestCount() const { return requestCount_; }

 private:
  Images images_;
  Platform::TimeInterval latency_;
  size_t requestCount_ = 0;
};

}  // namespace QVRAdKit::Sandbox
