#pragma once
// LayoutGuide is a rectangle of a view that constraints can refer to without being a view. The
// one used here is the safe-area guide (View::safeAreaLayoutGuide()): the owner's bounds inset by
// its safe-area insets, so "8 points above the bottom of the safe area" is
//   content->bottomAnchor().equalTo(owner->safeAreaLayoutGuide().bottomAnchor(), -8)
// A guide is a small handle that holds its owning view weakly; a guide whose view is gone has an
// empty frame and its constraints take no part in layout.
// Threading: main queue only.

#include <memory>
#include <utility>

#include "QVRAdKit/UI/LayoutAnchors.h"
#include "QVRAdKit/UI/Rect.h"

namespace QVRAdKit::UI {

class View;

class LayoutGuide : public LayoutAnchors<LayoutGuide> {
 public:
  explicit LayoutGuide(std::weak_ptr<View> owningView) : owningView_(std::move(owningView)) {}

  [[nodiscard]] std::shared_ptr<View> owningView() const { return owningView_.lock(); }
  // The guide's rectangle in its owning view's coordinates.
  [[nodiscard]] Rect layoutFrame() const;

 private:
  friend class LayoutAnchors<LayoutGuide>;
  static constexpr bool kAnchorsOnSafeArea = true;
  [[nodiscard]] const std::weak_ptr<View>& anchorView() const { return owningView_; }

  std::weak_ptr<View> owningView_;
};

}  // namespace QVRAdKit::UI
