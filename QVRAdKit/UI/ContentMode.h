#pragma once
// ContentMode says how an image view fits its image into its bounds.
// Threading: a value.

namespace QVRAdKit::UI {

enum class ContentMode {
  scaleToFill,      // stretched to the bounds
  scaleAspectFit,   // as large as fits, whole image visible, centred
  scaleAspectFill,  // as small as covers the bounds, centred (cut where clipping)
  center,           // natural size, centred
  top,
  bottom,
  left,
  right,
  topLeft,
  topRight,
  bottomLeft,
  bottomRight,
};

}  // namespace QVRAdKit::UI
