#pragma once
// Button is a control of the custom type: it shows an image per state (the normal state's when a
// state has none) and runs actions for control events. The host's touch handling, or a test,
// calls sendActions(ControlEvent::touchUpInside) for a tap; a disabled button runs nothing.
// An action bound to an object should not keep it alive: addTarget holds its target weakly and
// does nothing once the target is gone.
// Example:
//   button->addTarget(weak_from_this(), &BannerView::closeButtonAction,
//                     ControlEvent::touchUpInside);
//   button->sendActions(ControlEvent::touchUpInside);  // a tap: runs closeButtonAction
// Intrinsic size: the current image's point size; none without an image.
// Threading: main queue only.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "QVRAdKit/UI/ControlEvent.h"
#include "QVRAdKit/UI/ControlState.h"
#include "QVRAdKit/UI/Image.h"
#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::UI {

class Button : public View {
 public:
  static std::shared_ptr<Button> create(Rect frame = {});

  // The image set for the state, falling back to the normal state's.
  [[nodiscard]] std::optional<Image> image(ControlState state = ControlState::normal) const;
  void setImage(std::optional<Image> image, ControlState state = ControlState::normal);
  // The image shown now (for the current state).
  [[nodiscard]] std::optional<Image> currentImage() const;

  [[nodiscard]] bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);
  [[nodiscard]] bool isHighlighted() const { return highlighted_; }
  void setHighlighted(bool highlighted);

  // Runs the action on each sendActions(event), in the order added.
  void addAction(ControlEvent event, std::function<void()> action);
  // Calls (target->*action)() while the target lives; nothing once it is gone.
  template <class Target>
  void addTarget(std::weak_ptr<Target> target, void (Target::*action)(), ControlEvent event) {
    addAction(event, [target = std::move(target), action] {
      if (auto strong = target.lock()) ((*strong).*action)();
    });
  }
  void removeActions(ControlEvent event);
  // Runs the event's actions (a copy of the list: an action may add or remove actions). A
  // disabled button runs none.
  void sendActions(ControlEvent event);

  [[nodiscard]] Size intrinsicContentSize() const override;

 protected:
  explicit Button(Rect frame) : View(frame) {}

 private:
  std::map<ControlState, Image> images_;
  std::map<ControlEvent, std::vector<std::function<void()>>> actions_;
  bool enabled_ = true;
  bool highlighted_ = false;
};

}  // namespace QVRAdKit::UI
