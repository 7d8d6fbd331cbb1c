#include "QVRAdKit/UI/detail/LayoutEngine.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/UI/LayoutGuide.h"
#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::UI::detail {
namespace {

constexpr double kEpsilon = 1e-6;

enum class Part { start, end, center, size };

bool isHorizontal(LayoutAttribute attribute) {
  switch (attribute) {
    case LayoutAttribute::left:
    case LayoutAttribute::right:
    case LayoutAttribute::leading:
    case LayoutAttribute::trailing:
    case LayoutAttribute::width:
    case LayoutAttribute::centerX:
      return true;
    default:
      return false;
  }
}

Part partOf(LayoutAttribute attribute) {
  switch (attribute) {
    case LayoutAttribute::left:
    case LayoutAttribute::leading:
    case LayoutAttribute::top:
      return Part::start;
    case LayoutAttribute::right:
    case LayoutAttribute::trailing:
    case LayoutAttribute::bottom:
      return Part::end;
    case LayoutAttribute::centerX:
    case LayoutAttribute::centerY:
      return Part::center;
    case LayoutAttribute::width:
    case LayoutAttribute::height:
      return Part::size;
  }
  return Part::start;
}

// A part as a*start + b*size.
std::pair<double, double> coefficients(Part part) {
  switch (part) {
    case Part::start:
      return {1, 0};
    case Part::end:
      return {1, 1};
    case Part::center:
      return {1, 0.5};
    case Part::size:
      return {0, 1};
  }
  return {1, 0};
}

double partValue(const Rect& rect, bool horizontal, Part part) {
  const double start = horizontal ? rect.minX() : rect.minY();
  const double size = horizontal ? rect.width() : rect.height();
  const auto [a, b] = coefficients(part);
  return a * start + b * size;
}

const View* rootOf(const View& view) {
  const View* root = &view;
  for (auto parent = view.superview(); parent; parent = parent->superview()) root = parent.get();
  return root;
}

bool isSelf(const LayoutConstraint::Item& item, const View& view) {
  return !item.safeAreaGuide && item.view.lock().get() == &view;
}

// Whether item names a view strictly inside view's subtree (or such a view's safe-area guide).
bool namesDescendant(const LayoutConstraint::Item& item, const View& view) {
  auto other = item.view.lock();
  if (!other) return false;
  for (auto parent = other->superview(); parent; parent = parent->superview()) {
    if (parent.get() == &view) return true;
  }
  return false;
}

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

std::vector<Relation> gatherRelations(const View& view, bool horizontal, const Resolve& resolve) {
  std::vector<Relation> relations;
  for (const auto& constraint : view.constraints()) {
    if (!constraint->isActive()) continue;
    const auto& first = constraint->firstItem();
    const auto& second = constraint->secondItem();
    const bool firstIsView = isSelf(first, view);
    const bool secondIsView = second && isSelf(*second, view);
    if (firstIsView == secondIsView) continue;  // neither, or a relation of the view to itself
    const auto& mine = firstIsView ? first : *second;
    if (isHorizontal(mine.attribute) != horizontal) continue;
    const auto [a, b] = coefficients(partOf(mine.attribute));
    double otherValue = 0;
    const LayoutConstraint::Item* other = firstIsView ? (second ? &*second : nullptr) : &first;
    // A tie to one of the view's own descendants places the descendant inside the view: it is
    // solved in the descendant's pass (or measured by the fitting size), never from the
    // descendant's frame, which is not yet laid out when the view is.
    if (other != nullptr && namesDescendant(*other, view)) continue;
    if (other != nullptr) {
      const std::optional<Rect> rect = resolve(*other);
      if (!rect) continue;
      otherValue = partValue(*rect, isHorizontal(other->attribute), partOf(other->attribute));
    }
    Relation relation{a, b, constraint->relation(), 0, constraint->priority()};
    const double m = constraint->multiplier();
    if (firstIsView) {
      relation.value = m * otherValue + constraint->constant();
    } else {
      // other = m * mine + c  =>  mine = (other - c) / m, with the inequality turned around.
      relation.value = (otherValue - constraint->constant()) / m;
      if (relation.relation == LayoutRelation::lessThanOrEqual) {
        relation.relation = LayoutRelation::greaterThanOrEqual;
      } else if (relation.relation == LayoutRelation::greaterThanOrEqual) {
        relation.relation = LayoutRelation::lessThanOrEqual;
      }
    }
    relations.push_back(relation);
  }
  return relations;
}

struct AxisInput {
  double currentStart = 0;
  double currentSize = 0;
  double intrinsic = View::noIntrinsicMetric;
  float hugging = LayoutPriority::defaultLow;
  float compression = LayoutPriority::defaultHigh;
};

void reportConflict(const View& view, bool horizontal) {
  std::string message = "Conflicting required constraints on the ";
  message += horizontal ? "horizontal" : "vertical";
  message += " axis of view '" + view.accessibilityIdentifier() + "'; one is ignored";
  QVLogAssertionFailure(message, QVR_FILE_TEXT, "layoutSubviews()", __LINE__);
}

// Solves start and size along one axis (the algorithm of View.h).
std::pair<double, double> solveAxis(const View& view, bool horizontal,
                                    std::vector<Relation> relations, const AxisInput& input) {
  std::stable_sort(relations.begin(), relations.end(),
                   [](const Relation& l, const Relation& r) { return l.priority > r.priority; });
  const auto yieldsToIntrinsic = [&](double size, float priority) {
    if (input.intrinsic < 0) return false;
    if (size < input.intrinsic - kEpsilon && input.compression > priority) return true;
    return size > input.intrinsic + kEpsilon && input.hugging > priority;
  };
  const auto conflict = [&](float held, float incoming) {
    if (held >= LayoutPriority::required && incoming >= LayoutPriority::required) {
      reportConflict(view, horizontal);
    }
  };

  std::vector<Relation> lines;  // accepted equalities, at most two independent ones
  float weakestLine = LayoutPriority::required;
  double start = 0;
  double size = 0;
  for (const Relation& relation : relations) {
    if (relation.relation != LayoutRelation::equal) continue;
    if (lines.empty()) {
      if (relation.a == 0 && yieldsToIntrinsic(relation.value, relation.priority)) continue;
      lines.push_back(relation);
      weakestLine = relation.priority;
      continue;
    }
    if (lines.size() == 1) {
      const Relation& line = lines.front();
      const double det = line.a * relation.b - relation.a * line.b;
      if (std::abs(det) < kEpsilon) {  // the same part again
        if (std::abs(line.value - relation.value) > kEpsilon)
          conflict(line.priority, relation.priority);
        continue;
      }
      const double s = (line.value * relation.b - relation.value * line.b) / det;
      const double w = (line.a * relation.value - relation.a * line.value) / det;
      if (yieldsToIntrinsic(w, relation.priority)) continue;
      lines.push_back(relation);
      weakestLine = std::min(weakestLine, relation.priority);
      start = s;
      size = w;
      continue;
    }
    if (std::abs(relation.a * start + relation.b * size - relation.value) > kEpsilon) {
      conflict(weakestLine, relation.priority);
    }
  }

  const double preferred = input.intrinsic >= 0 ? input.intrinsic : input.currentSize;
  const bool solved = lines.size() == 2;
  const bool sizeFixed = solved || (lines.size() == 1 && lines.front().a == 0);
  if (!solved) {
    if (lines.empty()) {
      size = preferred;
      start = input.currentStart;
    } else if (lines.front().a == 0) {
      size = lines.front().value;
      start = input.currentStart;
    } else {
      const Relation& line = lines.front();
      size = preferred;
      start = (line.value - line.b * size) / line.a;
    }
  }

  // Inequalities: clamp what the equalities left free, where they outrank the content priorities.
  for (const Relation& relation : relations) {
    if (relation.relation == LayoutRelation::equal) continue;
    const double current = relation.a * start + relation.b * size;
    const bool holds = relation.relation == LayoutRelation::greaterThanOrEqual
                           ? current >= relation.value - kEpsilon
                           : current <= relation.value + kEpsilon;
    if (holds) continue;
    const auto mayResize = [&](double newSize) {
      if (input.intrinsic < 0) return true;
      const float content = newSize > size ? input.hugging : input.compression;
      return relation.priority > content;
    };
    if (relation.a == 0) {
      if (sizeFixed) {
        conflict(weakestLine, relation.priority);
        continue;
      }
      if (!mayResize(relation.value)) continue;
      size = relation.value;
      if (lines.size() == 1)
        start = (lines.front().value - lines.front().b * size) / lines.front().a;
      continue;
    }
    if (lines.empty() || (lines.size() == 1 && lines.front().a == 0)) {
      start = relation.value - relation.b * size;  // the position is free: move, keep the size
      continue;
    }
    if (solved) {
      conflict(weakestLine, relation.priority);
      continue;
    }
    const Relation& line = lines.front();
    const double det = line.a * relation.b - relation.a * line.b;
    if (std::abs(det) < kEpsilon) {
      conflict(line.priority, relation.priority);
      continue;
    }
    const double s = (line.value * relation.b - relation.value * line.b) / det;
    const double w = (line.a * relation.value - relation.a * line.value) / det;
    if (!mayResize(w)) continue;
    start = s;
    size = w;
  }
  return {start, std::max(0.0, size)};
}

AxisInput axisInput(const View& view, bool horizontal, double intrinsic) {
  const LayoutAxis axis = horizontal ? LayoutAxis::horizontal : LayoutAxis::vertical;
  const Rect frame = view.frame();
  return {horizontal ? frame.minX() : frame.minY(), horizontal ? frame.width() : frame.height(),
          intrinsic, view.contentHuggingPriority(axis),
          view.contentCompressionResistancePriority(axis)};
}

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
