#include "QVRAdKit/UI/ImageView.h"

#include <algorithm>
#include <utility>

namespace QVRAdKit::UI {

std::shared_ptr<ImageView> ImageView::create(Rect frame) {
  return std::shared_ptr<ImageView>(new ImageView(frame));
}

void ImageView::setImage(std::optional<Image> image) {
  const bool resized =
      (image ? image->size : Size{-1, -1}) != (image_ ? image_->size : Size{-1, -1});
  image_ = std::move(image);
  if (resized) invalidateIntrinsicContentSize();
}

Size ImageView::intrinsicContentSize() const {
  if (!image_) return {noIntrinsicMetric, noIntrinsicMetric};
  return image_->size;
}

std::optional<Rect> ImageView::imageRect() const {
  if (!image_) return std::nullopt;
  const Size box = bounds().size;
  const Size natural = image_->size;
  Size size = natural;
  if (contentMode_ == ContentMode::scaleToFill) return bounds();
  if (contentMode_ == ContentMode::scaleAspectFit || contentMode_ == ContentMode::scaleAspectFill) {
    if (natural.width <= 0 || natural.height <= 0) return Rect{{box.width / 2, box.height / 2}, {}};
    const double sx = box.width / natural.width;
    const double sy = box.height / natural.height;
    const double scale =
        contentMode_ == ContentMode::scaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
    size = {natural.width * scale, natural.height * scale};
  }
  double x = (box.width - size.width) / 2;
  double y = (box.height - size.height) / 2;
  switch (contentMode_) {
    case ContentMode::top:
      y = 0;
      break;
    case ContentMode::bottom:
      y = box.height - size.height;
      break;
    case ContentMode::left:
      x = 0;
      break;
    case ContentMode::right:
      x = box.width - size.width;
      break;
    case ContentMode::topLeft:
      x = 0;
      y = 0;
      break;
    case ContentMode::topRight:
      x = box.width - size.width;
      y = 0;
      break;
    case ContentMode::bottomLeft:
      x = 0;
      y = box.height - size.height;
      break;
    case ContentMode::bottomRight:
      x = box.width - size.width;
      y = box.height - size.height;
      break;
    default:
      break;
  }
  return Rect{{x, y}, size};
}

}  // namespace QVRAdKit::UI
