#pragma once
// Font names a typeface, its weight and its point size. Text is measured from the point size
// alone (see Label), so the name only travels to whoever draws it.
// Example: Font{"SF Pro Text", 15, Font::Weight::semibold}
// Threading: a value.

#include <string>

namespace QVRAdKit::UI {

struct Font {
  enum class Weight { regular, medium, semibold, bold };

  std::string name = "System";
  double pointSize = 17;
  Weight weight = Weight::regular;

  static Font system(double pointSize, Weight weight = Weight::regular) {
    return {"System", pointSize, weight};
  }

  bool operator==(const Font&) const = default;
};

}  // namespace QVRAdKit::UI
