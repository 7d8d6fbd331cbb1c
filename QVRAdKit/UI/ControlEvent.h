#pragma once
// ControlEvent names what happened to a control, for the actions a Button runs.
// Threading: a value.

namespace QVRAdKit::UI {

enum class ControlEvent { touchDown, touchUpInside, touchUpOutside, touchCancel, valueChanged };

}  // namespace QVRAdKit::UI
