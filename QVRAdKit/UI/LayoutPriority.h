#pragma once
// LayoutPriority ranks layout wishes from 1 to 1000. A constraint at `required` (1000) must hold;
// a lower one yields when it disagrees with a higher one. Content hugging (default `defaultLow`)
// and compression resistance (default `defaultHigh`) are priorities too: they decide which view
// grows or shrinks when constraints or a stack view leave an axis free.
// Example: constraint->setPriority(LayoutPriority::defaultHigh);
// Threading: a value.

namespace QVRAdKit::UI {

struct LayoutPriority {
  static constexpr float required = 1000;
  static constexpr float defaultHigh = 750;
  static constexpr float defaultLow = 250;
  static constexpr float fittingSizeLevel = 50;

  // Priorities outside 1...1000 are clamped into it.
  static constexpr float clamped(float priority) {
    return priority < 1 ? 1 : (priority > required ? required : priority);
  }
};

}  // namespace QVRAdKit::UI
