#pragma once
// ImageView shows one image (or nothing). Its intrinsic size is the image's point size; without an
// image it has none on either axis. imageRect() says where the image lands in the bounds for the
// content mode, which is what a renderer draws.
// Threading: main queue only.

#include <memory>
#include <optional>

#include "QVRAdKit/UI/ContentMode.h"
#include "QVRAdKit/UI/Image.h"
#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::UI {

class ImageView : public View {
 public:
  static std::shared_ptr<ImageView> create(Rect frame = {});

  [[nodiscard]] const std::optional<Image>& image() const { return image_; }
  virtual void setImage(std::optional<Image> image);
  // scaleToFill by default, as on the phone.
  [[nodiscard]] ContentMode contentMode() const { return contentMode_; }
  void setContentMode(ContentMode mode) { contentMode_ = mode; }

  // The image's rectangle in the bounds for the content mode; none without an image.
  [[nodiscard]] std::optional<Rect> imageRect() const;

  [[nodiscard]] Size intrinsicContentSize() const override;

 protected:
  explicit ImageView(Rect frame) : View(frame) {}

 private:
  std::optional<Image> image_;
  ContentMode contentMode_ = ContentMode::scaleToFill;
};

}  // namespace QVRAdKit::UI
