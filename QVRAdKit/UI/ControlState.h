#pragma once
// ControlState is the state of a control for which a Button keeps an image. A state without its
// own image shows the normal state's.
// Threading: a value.

namespace QVRAdKit::UI {

enum class ControlState { normal, highlighted, disabled, selected };

}  // namespace QVRAdKit::UI
