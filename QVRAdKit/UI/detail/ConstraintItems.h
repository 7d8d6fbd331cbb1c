#pragma once
// The small questions the layout engine asks about constraint items: which axis and which part of
// a frame an attribute names, and how an item relates to a view and its subtree. Internal to the
// UI kit. Threading: main queue only.

#include "QVRAdKit/UI/LayoutConstraint.h"
#include "QVRAdKit/UI/Rect.h"
#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::UI::detail {

// Which part of a frame along its axis an attribute names.
enum class Part { start, end, center, size };

[[nodiscard]] bool isHorizontal(LayoutAttribute attribute);
[[nodiscard]] Part partOf(LayoutAttribute attribute);
// The value of an attribute of a rectangle.
[[nodiscard]] double attributeValue(const Rect& rect, LayoutAttribute attribute);
// The top of the view's tree.
[[nodiscard]] const View* rootOf(const View& view);
// Whether item, whose view is itemView (nullptr once gone), names the view itself (not its
// safe-area guide).
[[nodiscard]] bool isSelf(const LayoutConstraint::Item& item, const View* itemView,
                          const View& view);
// Whether itemView (an item's view, nullptr once gone) is strictly inside view's subtree.
[[nodiscard]] bool namesDescendant(const View* itemView, const View& view);
// Whether an active constraint places the view: one that ties it to a constant or to anything
// outside its own subtree. A view without one is placed by its frame.
[[nodiscard]] bool placedByConstraints(const View& view);

}  // namespace QVRAdKit::UI::detail
