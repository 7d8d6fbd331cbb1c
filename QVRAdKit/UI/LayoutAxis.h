#pragma once
// LayoutAxis names the two directions a layout property applies to: content hugging and
// compression resistance are set per axis, and a stack view arranges along one.
// Threading: a value.

namespace QVRAdKit::UI {

enum class LayoutAxis { horizontal, vertical };

}  // namespace QVRAdKit::UI
