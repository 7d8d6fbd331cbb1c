#pragma once
// Layer is the drawn look of a view beyond its background: rounded corners, a border, a drop
// shadow and whether the view's content is clipped to its (rounded) bounds. Every view owns one
// (View::layer()); View::clipsToBounds is the same switch as masksToBounds.
// The defaults are the phone's: square corners, no border (width 0, black colour), an invisible
// shadow (opacity 0, black, offset 0 x -3, radius 3), no clipping.
// Threading: main queue only, as its view.

#include "QVRAdKit/UI/Color.h"
#include "QVRAdKit/UI/Size.h"

namespace QVRAdKit::UI {

struct Layer {
  double cornerRadius = 0;
  double borderWidth = 0;
  Color borderColor = Color::black();
  Color shadowColor = Color::black();
  double shadowOpacity = 0;
  Size shadowOffset{0, -3};
  double shadowRadius = 3;
  bool masksToBounds = false;

  bool operator==(const Layer&) const = default;
};

}  // namespace QVRAdKit::UI
