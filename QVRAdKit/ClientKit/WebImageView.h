#pragma once
// WebImageView is an image view that shows a remote image: fetchImage(url) shows the placeholder
// at once, cancels any earlier fetch, and asks its environment's UI::ImageLoader for the image,
// which replaces the placeholder when it arrives. An absent URL, a failed load, or no installed
// loader (logged once per view) leave the placeholder in place. The fetch holds the view weakly:
// a view dropped mid-fetch is not kept alive, the load is cancelled, and nothing happens later.
// While the placeholder is shown, setting another placeholder shows the new one; setting an image
// directly (setImage) ends the current fetch and shows that image.
// Example:
//   auto icon = WebImageView::create(environment);
//   icon->setPlaceholder(UI::Image{"placeholder", {72, 44}});
//   icon->setPreferredImageSize(UI::Size{72, 44});
//   icon->fetchImage(Platform::URL::string("https://example.com/icon.png"));
// Threading: main queue only.

#include <memory>
#include <optional>

#include "QVRAdKit/Platform/Expected.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/Rx/Disposable.h"
#include "QVRAdKit/UI/Image.h"
#include "QVRAdKit/UI/ImageView.h"
#include "QVRAdKit/UI/Size.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class WebImageView : public UI::ImageView {
 public:
  // A view that fetches through the image loader registered in environment, which outlives it.
  static std::shared_ptr<WebImageView> create(Platform::Environment& environment,
                                              UI::Rect frame = {});

  [[nodiscard]] const std::optional<UI::Image>& placeholder() const { return placeholder_; }
  void setPlaceholder(std::optional<UI::Image> placeholder);
  // The size hint passed to the loader; none by default.
  [[nodiscard]] const std::optional<UI::Size>& preferredImageSize() const {
    return preferredImageSize_;
  }
  void setPreferredImageSize(std::optional<UI::Size> size) { preferredImageSize_ = size; }

  void fetchImage(const std::optional<Platform::URL>& url);
  // The URL of the fetch in flight; none when idle.
  [[nodiscard]] const std::optional<Platform::URL>& loadingURL() const { return loadingURL_; }

  void setImage(std::optional<UI::Image> image) override;

 protected:
  WebImageView(Platform::Environment& environment, UI::Rect frame)
      : UI::ImageView(frame), environment_(environment) {}

 private:
  void showPlaceholder();
  void finishLoad(unsigned long long fetch, Platform::Expected<UI::Image> result);

  Platform::Environment& environment_;
  std::optional<UI::Image> placeholder_;
  std::optional<UI::Size> preferredImageSize_;
  std::optional<Platform::URL> loadingURL_;
  Rx::Disposable load_;
  unsigned long long fetchCount_ = 0;
  bool showingPlaceholder_ = true;
  bool loggedMissingLoader_ = false;
};

}  // namespace QVRAdKit
