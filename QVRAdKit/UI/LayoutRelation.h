#pragma once
// LayoutRelation is how a constraint's two sides compare.
// Threading: a value.

namespace QVRAdKit::UI {

enum class LayoutRelation { lessThanOrEqual, equal, greaterThanOrEqual };

}  // namespace QVRAdKit::UI
