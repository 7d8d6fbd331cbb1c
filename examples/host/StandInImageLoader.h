#pragma once
// StandInImageLoader answers for the app's image cache, which fetches the partner banner's icon:
// every address gives a picture named after it, at the size asked for, a moment later. A phone app
// registers its own loader instead.
// Threading: main queue; answers arrive later on the main queue unless cancelled.

#include <memory>
#include <optional>
#include <utility>

#include "QVRAdKit/Platform/MainQueue.h"
#include "QVRAdKit/UI/ImageLoader.h"

namespace ExampleHost {

class StandInImageLoader final : public QVRAdKit::UI::ImageLoader {
 public:
  static constexpr double kLatency = 0.1;
  static constexpr QVRAdKit::UI::Size kDefaultSize{72, 44};

  // The queue must outlive this object: both belong to one environment.
  explicit StandInImageLoader(QVRAdKit::Platform::MainQueue& mainQueue) : mainQueue_(mainQueue) {}

  [[nodiscard]] QVRAdKit::Rx::Disposable loadImage(const QVRAdKit::Platform::URL& url,
                                                   std::optional<QVRAdKit::UI::Size> preferredSize,
                                                   Completion completion) override {
    // The request owns the completion; cancelling empties it, so a late answer does nothing.
    auto pending = std::make_shared<Completion>(std::move(completion));
    QVRAdKit::UI::Image image{url.absoluteString(), preferredSize.value_or(kDefaultSize)};
    mainQueue_.asyncAfter(kLatency, [weak = std::weak_ptr<Completion>(pending), image] {
      auto answer = weak.lock();
      if (!answer || !*answer) return;
      std::exchange(*answer, nullptr)(image);
    });
    return QVRAdKit::Rx::Disposable::create([pending] { *pending = nullptr; });
  }

 private:
  QVRAdKit::Platform::MainQueue& mainQueue_;
};

}  // namespace ExampleHost
