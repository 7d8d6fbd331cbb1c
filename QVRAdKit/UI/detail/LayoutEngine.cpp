#include "QVRAdKit/UI/detail/LayoutEngine.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "QVRAdKit/UI/LayoutGuide.h"
#include "QVRAdKit/UI/View.h"
#include "QVRAdKit/UI/detail/AxisSolver.h"

namespace QVRAdKit::UI::detail {
namespace {

// Whether an active constraint places the view: one that ties it to a constant or to anything
// outside its own subtree. A view without one is placed by its frame, which the pass keeps (ties
// to its descendants only place those descendants inside it).
bool placedByConstraints(const View& view) {
  return std::any_of(view.constraints().begin(), view.constraints().end(), [&](const auto& c) {
    const auto& first = c->firstItem();
    const auto& second = c->secondItem();
    if (isSelf(first, view)) return !second || !namesDescendant(*second, view);
    return second && isSelf(*second, view) && !namesDescendant(first, view);
  });
}

// The view's frame (or safe-area guide) named by item, in parent's coordinates.
std::optional<Rect> rectInParent(const LayoutConstraint::Item& item, const View& parent) {
  auto view = item.view.lock();
  if (!view || rootOf(*view) != rootOf(parent)) return std::nullopt;
  const Rect local = item.safeAreaGuide ? LayoutGuide(view).layoutFrame() : view->bounds();
  return view->convert(local, &parent);
}

// The width a subview gets inside a parent of the given width, from the relations to the
// parent (and its safe-area guide) alone.
double widthInParent(const View& child, const View& parent, double parentWidth) {
  if (!placedByConstraints(child)) return child.frame().width();
  const EdgeInsets insets = parent.safeAreaInsets();
  const Resolve resolve = [&](const LayoutConstraint::Item& item) -> std::optional<Rect> {
    if (item.view.lock().get() != &parent) return std::nullopt;
    if (!item.safeAreaGuide) return Rect{{0, 0}, {parentWidth, 0}};
    return Rect{{insets.left, 0}, {std::max(0.0, parentWidth - insets.left - insets.right), 0}};
  };
  const double intrinsic = child.intrinsicContentSize().width;
  return solveAxis(child, true, gatherRelations(child, true, resolve),
                   axisInput(child, true, intrinsic))
      .second;
}

// The highest-priority equality "view.attribute = other + offset" to an edge of `a` or `b` (or
// their safe-area guides): the other item and the offset.
struct EdgeTie {
  LayoutConstraint::Item other;
  double offset = 0;
};
std::optional<EdgeTie> edgeTie(const View& view, LayoutAttribute attribute, const View& a,
                               const View& b) {
  std::optional<EdgeTie> best;
  float bestPriority = 0;
  for (const auto& constraint : view.constraints()) {
    if (!constraint->isActive() || constraint->relation() != LayoutRelation::equal) continue;
    if (!constraint->secondItem() || constraint->priority() <= bestPriority) continue;
    const auto& first = constraint->firstItem();
    const auto& second = *constraint->secondItem();
    EdgeTie tie;
    if (isSelf(first, view) && first.attribute == attribute) {
      tie = {second, constraint->constant()};
    } else if (isSelf(second, view) && second.attribute == attribute) {
      tie = {first, -constraint->constant()};
    } else {
      continue;
    }
    auto other = tie.other.view.lock();
    if (other.get() != &a && other.get() != &b) continue;
    if (partOf(tie.other.attribute) != partOf(attribute) || isHorizontal(tie.other.attribute)) {
      continue;
    }
    best = tie;
    bestPriority = constraint->priority();
  }
  return best;
}

// The height d needs at the given width; d's top sits at topInF in the fitted view f, and the
// needs that subviews put on f's own height (by being tied to f's bottom) go to fMin.
double measureHeight(const View& d, double width, double topInF, const View& f, double& fMin) {
  if (auto fixed = LayoutEngine::requiredSize(d, LayoutAxis::vertical)) return *fixed;
  // A view with content of its own (label, image, stack) measures itself.
  if (d.intrinsicContentSize().height >= 0) return d.systemLayoutSizeFitting(width).height;
  double need = 0;
  const EdgeInsets dInsets = d.safeAreaInsets();
  const EdgeInsets fInsets = f.safeAreaInsets();
  for (const auto& child : d.subviews()) {
    auto top = edgeTie(*child, LayoutAttribute::top, d, f);
    if (!top) continue;
    const bool topToD = top->other.view.lock().get() == &d;
    const double topGuide = top->other.safeAreaGuide ? (topToD ? dInsets.top : fInsets.top) : 0;
    const double childTop = topToD ? topGuide + top->offset : topGuide + top->offset - topInF;
    const double childWidth = widthInParent(*child, d, width);
    const double childHeight = measureHeight(*child, childWidth, topInF + childTop, f, fMin);
    auto bottom = edgeTie(*child, LayoutAttribute::bottom, d, f);
    if (!bottom) continue;
    const bool bottomToD = bottom->other.view.lock().get() == &d;
    const double below =
        -bottom->offset +
        (bottom->other.safeAreaGuide ? (bottomToD ? dInsets.bottom : fInsets.bottom) : 0);
    if (bottomToD) {
      need = std::max(need, childTop + childHeight + below);
    } else {
      fMin = std::max(fMin, topInF + childTop + childHeight + below);
    }
  }
  return need;
}

}  // namespace

std::optional<double> LayoutEngine::requiredSize(const View& view, LayoutAxis axis) {
  const LayoutAttribute wanted =
      axis == LayoutAxis::horizontal ? LayoutAttribute::width : LayoutAttribute::height;
  std::optional<double> size;
  for (const auto& constraint : view.constraints()) {
    if (!constraint->isActive() || constraint->secondItem()) continue;
    if (constraint->relation() != LayoutRelation::equal) continue;
    if (constraint->priority() < LayoutPriority::required) continue;
    if (!isSelf(constraint->firstItem(), view) || constraint->firstItem().attribute != wanted) {
      continue;
    }
    size = constraint->constant();
  }
  return size;
}

void LayoutEngine::layoutChildren(View& parent, const std::vector<const View*>& placed) {
  std::vector<View*> unsolved;
  for (const auto& child : parent.subviews()) {
    if (std::find(placed.begin(), placed.end(), child.get()) != placed.end()) continue;
    if (!placedByConstraints(*child)) continue;  // laid out by frame
    unsolved.push_back(child.get());
  }
  const auto isUnsolved = [&](const View* view) {
    return std::find(unsolved.begin(), unsolved.end(), view) != unsolved.end();
  };
  // A constraint's first item follows its second: "below.top = banner.bottom" solves banner first.
  const auto dependsOnUnsolved = [&](const View& view) {
    return std::any_of(view.constraints().begin(), view.constraints().end(), [&](const auto& c) {
      if (!isSelf(c->firstItem(), view) || !c->secondItem()) return false;
      auto other = c->secondItem()->view.lock();
      return other && other.get() != &view && isUnsolved(other.get());
    });
  };
  while (!unsolved.empty()) {
    auto next = std::find_if(unsolved.begin(), unsolved.end(),
                             [&](const View* view) { return !dependsOnUnsolved(*view); });
    const bool cycle = next == unsolved.end();
    if (cycle) next = unsolved.begin();  // a cycle: current frames stand in for the unsolved
    View& child = **next;
    unsolved.erase(next);

    const Resolve resolve = [&](const LayoutConstraint::Item& item) -> std::optional<Rect> {
      auto other = item.view.lock();
      if (!other || other.get() == &child) return std::nullopt;
      if (!cycle && isUnsolved(other.get())) return std::nullopt;
      return rectInParent(item, parent);
    };
    const Size intrinsic = child.intrinsicContentSize();
    const auto [x, width] = solveAxis(child, true, gatherRelations(child, true, resolve),
                                      axisInput(child, true, intrinsic.width));
    const double intrinsicHeight = intrinsic.height >= 0
                                       ? child.systemLayoutSizeFitting(width).height
                                       : View::noIntrinsicMetric;
    const auto [y, height] = solveAxis(child, false, gatherRelations(child, false, resolve),
                                       axisInput(child, false, intrinsicHeight));
    child.setFrame({{x, y}, {width, height}});
  }
}

double LayoutEngine::fittingHeight(const View& view, double width) {
  if (auto fixed = requiredSize(view, LayoutAxis::vertical)) return *fixed;
  if (view.intrinsicContentSize().height >= 0) return view.heightForWidth(width);
  double fMin = 0;
  const double own = measureHeight(view, width, 0, view, fMin);
  return std::max(own, fMin);
}

}  // namespace QVRAdKit::UI::detail
