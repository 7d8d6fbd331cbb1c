#include "QVRAdKit/UI/Button.h"

#include <utility>

namespace QVRAdKit::UI {

std::shared_ptr<Button> Button::create(Rect frame) {
  return std::shared_ptr<Button>(new Button(frame));
}

std::optional<Image> Button::image(ControlState state) const {
  if (auto found = images_.find(state); found != images_.end()) return found->second;
  if (auto normal = images_.find(ControlState::normal); normal != images_.end()) {
    return normal->second;
  }
  return std::nullopt;
}

void Button::setImage(std::optional<Image> image, ControlState state) {
  const std::optional<Image> before = currentImage();
  if (image) {
    images_[state] = std::move(*image);
  } else {
    images_.erase(state);
  }
  const std::optional<Image> after = currentImage();
  if ((before ? before->size : Size{-1, -1}) != (after ? after->size : Size{-1, -1})) {
    invalidateIntrinsicContentSize();
  }
}

std::optional<Image> Button::currentImage() const {
  if (!enabled_) return image(ControlState::disabled);
  if (highlighted_) return image(ControlState::highlighted);
  return image(ControlState::normal);
}

void Button::setHighlighted(bool highlighted) {
  if (highlighted == highlighted_) return;
  highlighted_ = highlighted;
  invalidateIntrinsicContentSize();
}

void Button::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  invalidateIntrinsicContentSize();  // the disabled state's image may have another size
}

void Button::addAction(ControlEvent event, std::function<void()> action) {
  if (action) actions_[event].push_back(std::move(action));
}

void Button::removeActions(ControlEvent event) {
  actions_.erase(event);
}

void Button::sendActions(ControlEvent event) {
  if (!enabled_) return;
  auto found = actions_.find(event);
  if (found == actions_.end()) return;
  const auto keep = shared_from_this();  // an action may drop the button's last owner
  const std::vector<std::function<void()>> actions = found->second;
  for (const auto& action : actions) action();
}

Size Button::intrinsicContentSize() const {
  if (auto image = currentImage()) return image->size;
  return {noIntrinsicMetric, noIntrinsicMetric};
}

}  // namespace QVRAdKit::UI
