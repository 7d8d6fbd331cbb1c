#include "QVRAdKit/UI/detail/AxisSolver.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/UI/ViewKitLogger.h"

namespace QVRAdKit::UI::detail {
namespace {

constexpr double kEpsilon = 1e-6;

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

void reportConflict(const View& view, bool horizontal) {
  std::string message = "Conflicting required constraints on the ";
  message += horizontal ? "horizontal" : "vertical";
  message += " axis of view '" + view.accessibilityIdentifier() + "'; one is ignored";
  viewKitAssertionFailure(message, QVR_FILE_TEXT, "layoutSubviews()", __LINE__);
}

}  // namespace

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

const View* rootOf(const View& view) {
  const View* root = &view;
  for (auto parent = view.superview(); parent; parent = parent->superview()) root = parent.get();
  return root;
}

bool isSelf(const LayoutConstraint::Item& item, const View& view) {
  return !item.safeAreaGuide && item.view.lock().get() == &view;
}

bool namesDescendant(const LayoutConstraint::Item& item, const View& view) {
  auto other = item.view.lock();
  if (!other) return false;
  for (auto parent = other->superview(); parent; parent = parent->superview()) {
    if (parent.get() == &view) return true;
  }
  return false;
}

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

}  // namespace QVRAdKit::UI::detail
