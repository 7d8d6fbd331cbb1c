#include "QVRAdKit/ClientKit/WebImageView.h"

#include <utility>

#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/ImageLoader.h"

namespace QVRAdKit {

std::shared_ptr<WebImageView> WebImageView::create(Platform::Environment& environment,
                                                   UI::Rect frame) {
  return std::shared_ptr<WebImageView>(new WebImageView(environment, frame));
}

void WebImageView::setPlaceholder(std::optional<UI::Image> placeholder) {
  placeholder_ = std::move(placeholder);
  if (showingPlaceholder_) UI::ImageView::setImage(placeholder_);
}

void WebImageView::setImage(std::optional<UI::Image> image) {
  ++fetchCount_;  // an answer still on its way is stale now
  load_.dispose();
  loadingURL_.reset();
  showingPlaceholder_ = false;
  UI::ImageView::setImage(std::move(image));
}

void WebImageView::showPlaceholder() {
  showingPlaceholder_ = true;
  UI::ImageView::setImage(placeholder_);
}

void WebImageView::fetchImage(const std::optional<Platform::URL>& url) {
  const unsigned long long fetch = ++fetchCount_;
  load_.dispose();
  loadingURL_.reset();
  showPlaceholder();
  if (!url) return;
  auto loader = environment_.service<UI::ImageLoader>();
  if (!loader) {
    if (!loggedMissingLoader_) {
      loggedMissingLoader_ = true;
      QVLog(LogFlag::warning, "No image loader installed; keeping the placeholder", QVR_FILE_TEXT,
            "fetchImage(from:)", __LINE__);
    }
    return;
  }
  loadingURL_ = url;
  std::weak_ptr<WebImageView> weak = std::static_pointer_cast<WebImageView>(shared_from_this());
  load_ = loader->loadImage(*url, preferredImageSize_,
                            [weak, fetch](Platform::Expected<UI::Image> result) {
                              if (auto self = weak.lock())
                                self->finishLoad(fetch, std::move(result));
                            });
}

void WebImageView::finishLoad(unsigned long long fetch, Platform::Expected<UI::Image> result) {
  if (fetch != fetchCount_) return;  // a later fetch (or setImage) replaced this one
  loadingURL_.reset();
  if (!result) {
    QVLog(LogFlag::info, "Image failed to load: " + result.error().localizedDescription,
          QVR_FILE_TEXT, "fetchImage(from:)", __LINE__);
    return;
  }
  showingPlaceholder_ = false;
  UI::ImageView::setImage(std::move(result).value());
}

}  // namespace QVRAdKit
