#pragma once
// AxisSolver turns a view's active constraints into relations on its start and size along one
// axis and solves them (the algorithm described in View.h), with the small questions about
// constraint items that the layout engine also asks. Internal to the UI kit.
// Threading: main queue only.

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "QVRAdKit/UI/LayoutConstraint.h"
#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::UI::detail {

// Which part of a frame along its axis an attribute names.
enum class Part { start, end, center, size };

[[nodiscard]] bool isHorizontal(LayoutAttribute attribute);
[[nodiscard]] Part partOf(LayoutAttribute attribute);
// The top of the view's tree.
[[nodiscard]] const View* rootOf(const View& view);
// Whether item names the view itself (not its safe-area guide).
[[nodiscard]] bool isSelf(const LayoutConstraint::Item& item, const View& view);
// Whether item names a view strictly inside view's subtree (or such a view's safe-area guide).
[[nodiscard]] bool namesDescendant(const LayoutConstraint::Item& item, const View& view);

// One relation on a view's start and size along an axis: a*start + b*size (relation) value.
struct Relation {
  double a = 0;
  double b = 0;
  LayoutRelation relation = LayoutRelation::equal;
  double value = 0;
  float priority = LayoutPriority::required;
};

// The other side of a constraint in the solving view's superview coordinates; none when it
// cannot be known yet (or at all).
using Resolve = std::function<std::optional<Rect>(const LayoutConstraint::Item&)>;

// The relations of view's active constraints along one axis, each other side resolved; ties to
// the view's own descendants and sides that cannot be resolved are left out.
[[nodiscard]] std::vector<Relation> gatherRelations(const View& view, bool horizontal,
                                                    const Resolve& resolve);

// What the solver keeps when relations leave room: the current frame, the content size and how
// strongly the view holds to it.
struct AxisInput {
  double currentStart = 0;
  double currentSize = 0;
  double intrinsic = View::noIntrinsicMetric;
  float hugging = LayoutPriority::defaultLow;
  float compression = LayoutPriority::defaultHigh;
};

[[nodiscard]] AxisInput axisInput(const View& view, bool horizontal, double intrinsic);

// Solves start and size along one axis: equalities by priority, strongest first, until two
// independent ones fix both, the content size resisting weaker ones; then the inequalities. Two
// required relations that contradict each other are reported, and the later one is ignored.
[[nodiscard]] std::pair<double, double> solveAxis(const View& view, bool horizontal,
                                                  std::vector<Relation> relations,
                                                  const AxisInput& input);

}  // namespace QVRAdKit::UI::detail
