#include "Sandbox/Images/SimulatedImageLoader.h"

#include <utility>

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit::Sandbox {
namespace {

struct Pending {
  UI::ImageLoader::Completion completion;
};

}  // namespace

SimulatedImageLoader::SimulatedImageLoader(Images images, Platform::TimeInterval latency)
    : images_(std::move(images)), latency_(latency < 0 ? 0 : latency) {}

Rx::Disposable SimulatedImageLoader::loadImage(const Platform::URL& url,
                                               std::optional<UI::Size> /*preferredSize*/,
                                               Completion completion) {
  ++requestCount_;
  Platform::Expected<UI::Image> result =
      Platform::Error{"SimulatedImageLoader", 404, "No image for " + url.absoluteString()};
  if (auto found = images_.find(url.absoluteString()); found != images_.end()) {
    result = found->second;
  }
  auto pending = std::make_shared<Pending>(Pending{std::move(completion)});
  Platform::Environment::current().mainQueue().asyncAfter(
      latency_, [weak = std::weak_ptr<Pending>(pending), result = std::move(result)]() mutable {
        auto pending = weak.lock();
        if (!pending || !pending->completion) return;
        auto completion = std::exchange(pending->completion, nullptr);
        completion(std::move(result));
      });
  // The disposable owns the pending answer: disposing it (or dropping it) cancels the request.
  return Rx::Disposable::create([pending] { pending->completion = nullptr; });
}

}  // namespace QVRAdKit::Sandbox
