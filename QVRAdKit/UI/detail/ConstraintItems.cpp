#include "QVRAdKit/UI/detail/ConstraintItems.h"

#include <algorithm>

namespace QVRAdKit::UI::detail {

bool isHorizontal(LayoutAttribute attribute) {
  switch (attribute) {
    case LayoutAttribute::left:
    case LayoutAttribute::right:
    case LayoutAttribute::leading:
    case LayoutAttribute::trailing:
    case LayoutAttribute::width:
    case LayoutAttribute::centerX:
      return true;
    default:
      return false;
  }
}

Part partOf(LayoutAttribute attribute) {
  switch (attribute) {
    case LayoutAttribute::left:
    case LayoutAttribute::leading:
    case LayoutAttribute::top:
      return Part::start;
    case LayoutAttribute::right:
    case LayoutAttribute::trailing:
    case LayoutAttribute::bottom:
      return Part::end;
    case LayoutAttribute::centerX:
    case LayoutAttribute::centerY:
      return Part::center;
    case LayoutAttribute::width:
    case LayoutAttribute::height:
      return Part::size;
  }
  return Part::start;
}

double attributeValue(const Rect& rect, LayoutAttribute attribute) {
  const bool horizontal = isHorizontal(attribute);
  const double start = horizontal ? rect.minX() : rect.minY();
  const double size = horizontal ? rect.width() : rect.height();
  switch (partOf(attribute)) {
    case Part::start:
      return start;
    case Part::end:
      return start + size;
    case Part::center:
      return start + size / 2;
    case Part::size:
      return size;
  }
  return start;
}

const View* rootOf(const View& view) {
  const View* root = &view;
  for (const View* parent = view.superviewPointer(); parent != nullptr;
       parent = parent->superviewPointer()) {
    root = parent;
  }
  return root;
}

bool isSelf(const LayoutConstraint::Item& item, const View* itemView, const View& view) {
  return !item.safeAreaGuide && itemView == &view;
}

bool namesDescendant(const View* itemView, const View& view) {
  return itemView != nullptr && itemView->isDescendant(view);
}

bool placedByConstraints(const View& view) {
  return std::any_of(view.constraints().begin(), view.constraints().end(), [&](const auto& c) {
    const auto& first = c->firstItem();
    const auto& second = c->secondItem();
    if (isSelf(first, c->firstView(), view)) {
      return !second || !namesDescendant(c->secondView(), view);
    }
    return second && isSelf(*second, c->secondView(), view) &&
           !namesDescendant(c->firstView(), view);
  });
}

}  // namespace QVRAdKit::UI::detail
