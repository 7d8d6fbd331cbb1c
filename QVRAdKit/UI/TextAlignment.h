#pragma once
// TextAlignment places each laid-out line of a label horizontally in its bounds. Natural is left:
// only left-to-right text is laid out here.
// Threading: a value.

namespace QVRAdKit::UI {

enum class TextAlignment { left, center, right, natural };

}  // namespace QVRAdKit::UI
