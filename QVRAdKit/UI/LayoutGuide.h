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

#include "QVRAdKit/UI/LayoutAnchor.h"
#include "QVRAdKit/UI/Rect.h"

namespace QVRAdKit::UI {

class View;

class LayoutGuide {
 public:
  explicit LayoutGuide(std::weak_ptr<View> owningView) : owningView_(std::move(owningView)) {}

  [[nodiscard]] std::shared_ptr<View> owningView() const { return owningView_.lock(); }
  // The guide's rectangle in its owning view's coordinates.
  [[nodiscard]] Rect layoutFrame() const;

  [[nodiscard]] LayoutXAxisAnchor leftAnchor() const { return x(LayoutAttribute::left); }
  [[nodiscard]] LayoutXAxisAnchor rightAnchor() const { return x(LayoutAttribute::right); }
  [[nodiscard]] LayoutXAxisAnchor leadingAnchor() const { return x(LayoutAttribute::leading); }
  [[nodiscard]] LayoutXAxisAnchor trailingAnchor() const { return x(LayoutAttribute::trailing); }
  [[nodiscard]] LayoutXAxisAnchor centerXAnchor() const { return x(LayoutAttribute::centerX); }
  [[nodiscard]] LayoutYAxisAnchor topAnchor() const { return y(LayoutAttribute::top); }
  [[nodiscard]] LayoutYAxisAnchor bottomAnchor() const { return y(LayoutAttribute::bottom); }
  [[nodiscard]] LayoutYAxisAnchor centerYAnchor() const { return y(LayoutAttribute::centerY); }
  [[nodiscard]] LayoutDimension widthAnchor() const {
    return {owningView_, true, LayoutAttribute::width};
  }
  [[nodiscard]] LayoutDimension heightAnchor() const {
    return {owningView_, true, LayoutAttribute::height};
  }

 private:
  [[nodiscard]] LayoutXAxisAnchor x(LayoutAttribute attribute) const {
    return {owningView_, true, attribute};
  }
  [[nodiscard]] LayoutYAxisAnchor y(LayoutAttribute attribute) const {
    return {owningView_, true, attribute};
  }

  std::weak_ptr<View> owningView_;
};

}  // namespace QVRAdKit::UI
