#include "QVRAdKit/UI/detail/LayoutSystem.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_set>

#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/UI/View.h"
#include "QVRAdKit/UI/ViewKitLogger.h"
#include "QVRAdKit/UI/detail/ConstraintItems.h"
#include "QVRAdKit/UI/detail/SimplexSolver.h"

namespace QVRAdKit::UI::detail {
namespace {

// Content ranks just under a constraint of the same priority.
constexpr double kContentBelowConstraint = 1e-3;
// The pull towards zero: far under priority 1, yet far above the solver's tolerance.
constexpr double kDefaultSizeWeight = 1e-3;

struct FrameVariables {
  Symbol left;
  Symbol top;
  Symbol width;
  Symbol height;
};

const char* attributeName(LayoutAttribute attribute) {
  switch (attribute) {
    case LayoutAttribute::left:
      return "left";
    case LayoutAttribute::right:
      return "right";
    case LayoutAttribute::top:
      return "top";
    case LayoutAttribute::bottom:
      return "bottom";
    case LayoutAttribute::leading:
      return "leading";
    case LayoutAttribute::trailing:
      return "trailing";
    case LayoutAttribute::width:
      return "width";
    case LayoutAttribute::height:
      return "height";
    case LayoutAttribute::centerX:
      return "centerX";
    case LayoutAttribute::centerY:
      return "centerY";
  }
  return "?";
}

std::string formatNumber(double value) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.10g", value);
  return text.data();
}

void describeItem(std::string& text, const LayoutConstraint::Item& item) {
  auto view = item.view.lock();
  text += "'";
  text += view ? view->accessibilityIdentifier() : std::string();
  text += "'";
  if (item.safeAreaGuide) text += ".safeArea";
  text += ".";
  text += attributeName(item.attribute);
}

std::string describe(const LayoutConstraint& constraint) {
  std::string text;
  if (!constraint.identifier().empty()) {
    text += "[";
    text += constraint.identifier();
    text += "] ";
  }
  describeItem(text, constraint.firstItem());
  switch (constraint.relation()) {
    case LayoutRelation::lessThanOrEqual:
      text += " <= ";
      break;
    case LayoutRelation::equal:
      text += " == ";
      break;
    case LayoutRelation::greaterThanOrEqual:
      text += " >= ";
      break;
  }
  if (constraint.secondItem()) {
    if (constraint.multiplier() != 1) {
      text += formatNumber(constraint.multiplier());
      text += " * ";
    }
    describeItem(text, *constraint.secondItem());
    if (constraint.constant() != 0) {
      text += constraint.constant() < 0 ? " - " : " + ";
      text += formatNumber(std::abs(constraint.constant()));
    }
  } else {
    text += formatNumber(constraint.constant());
  }
  return text;
}

void reportConflict(const LayoutConstraint& constraint) {
  std::string message = "Conflicting required constraints: ";
  message += describe(constraint);
  message +=
      " cannot hold together with the required constraints activated before it; it is "
      "ignored";
  viewKitAssertionFailure(message, QVR_FILE_TEXT, "layoutSubviews()", __LINE__);
}

// A view's frame as variables, with its safe-area insets when the item names its guide.
LinearExpression unknownAttribute(const FrameVariables& frame, const View& view,
                                  const LayoutConstraint::Item& item) {
  const bool horizontal = isHorizontal(item.attribute);
  const Symbol start = horizontal ? frame.left : frame.top;
  const Symbol size = horizontal ? frame.width : frame.height;
  double before = 0;
  double after = 0;
  if (item.safeAreaGuide) {
    const EdgeInsets insets = view.safeAreaInsets();
    before = horizontal ? insets.left : insets.top;
    after = horizontal ? insets.right : insets.bottom;
  }
  LinearExpression expression;
  switch (partOf(item.attribute)) {
    case Part::start:
      expression.add(start, 1).add(before);
      break;
    case Part::end:
      expression.add(start, 1).add(size, 1).add(-after);
      break;
    case Part::center:
      expression.add(start, 1).add(size, 0.5).add((before - after) / 2);
      break;
    case Part::size:
      expression.add(size, 1).add(-before - after);
      break;
  }
  return expression;
}

LinearExpression attributeOf(const FrameVariables& frame, LayoutAttribute attribute) {
  const bool horizontal = isHorizontal(attribute);
  const Symbol start = horizontal ? frame.left : frame.top;
  const Symbol size = horizontal ? frame.width : frame.height;
  LinearExpression expression;
  switch (partOf(attribute)) {
    case Part::start:
      expression.add(start, 1);
      break;
    case Part::end:
      expression.add(start, 1).add(size, 1);
      break;
    case Part::center:
      expression.add(start, 1).add(size, 0.5);
      break;
    case Part::size:
      expression.add(size, 1);
      break;
  }
  return expression;
}

// Values within a billionth of a millionth-grid point are taken as that point, so that sums of
// constants come out as the same doubles however the pivots combined them.
double tidy(double value) {
  const double snapped = std::round(value * 1e6) / 1e6;
  // Adding zero turns a negative zero into zero.
  return (std::abs(snapped - value) < 1e-9 ? snapped : value) + 0.0;
}

}  // namespace

double constraintWeight(float priority) {
  return priority;
}

double contentWeight(float priority) {
  return priority - kContentBelowConstraint;
}

double defaultSizeWeight(std::size_t index) {
  // Distinct per view (a low-discrepancy sequence in [1, 1.5)), so that two views left equally
  // free do not tie.
  const double spread = std::fmod(static_cast<double>(index) * 0.6180339887498949, 1.0);
  return kDefaultSizeWeight * (1.0 + 0.5 * spread);
}

double defaultPositionWeight(std::size_t index) {
  return defaultSizeWeight(index) / 2;
}

LayoutSolution solveLayout(const LayoutProblem& problem) {
  SimplexSolver solver;
  std::vector<FrameVariables> variables;
  variables.reserve(problem.unknowns.size());
  const auto onAxis = [&](bool horizontal) {
    return !problem.axis || (*problem.axis == LayoutAxis::horizontal) == horizontal;
  };
  const auto variable = [&](bool horizontal) {
    return onAxis(horizontal) ? solver.newVariable() : Symbol{};
  };
  for (std::size_t i = 0; i < problem.unknowns.size(); ++i) {
    const Symbol left = variable(true);
    const Symbol top = variable(false);
    const Symbol width = variable(true);
    const Symbol height = variable(false);
    variables.push_back({left, top, width, height});
  }
  const auto indexOf = [&](const View* view) -> std::optional<std::size_t> {
    const auto found = std::find(problem.unknowns.begin(), problem.unknowns.end(), view);
    if (found == problem.unknowns.end()) return std::nullopt;
    return static_cast<std::size_t>(found - problem.unknowns.begin());
  };

  for (const LayoutProblem::Pin& pin : problem.pins) {
    if (!onAxis(isHorizontal(pin.attribute))) continue;
    LinearExpression expression = attributeOf(variables[pin.unknown], pin.attribute);
    expression.add(-pin.value);
    (void)solver.addRelation(expression, LayoutRelation::equal, pin.weight);
  }
  for (const View* view : problem.keepFrames) {
    const auto index = indexOf(view);
    const auto parent = view->superview();
    const auto parentIndex = parent ? indexOf(parent.get()) : std::nullopt;
    if (!index || !parentIndex) continue;
    const FrameVariables& mine = variables[*index];
    const FrameVariables& theirs = variables[*parentIndex];
    const Rect frame = view->frame();
    if (onAxis(true)) {
      (void)solver.addRelation(
          LinearExpression(-frame.minX()).add(mine.left, 1).add(theirs.left, -1),
          LayoutRelation::equal, std::nullopt);
      (void)solver.addRelation(LinearExpression(-frame.width()).add(mine.width, 1),
                               LayoutRelation::equal, std::nullopt);
    }
    if (onAxis(false)) {
      (void)solver.addRelation(LinearExpression(-frame.minY()).add(mine.top, 1).add(theirs.top, -1),
                               LayoutRelation::equal, std::nullopt);
      (void)solver.addRelation(LinearExpression(-frame.height()).add(mine.height, 1),
                               LayoutRelation::equal, std::nullopt);
    }
  }

  // The constraints, each once, in activation order.
  std::vector<const LayoutConstraint*> constraints;
  std::unordered_set<const LayoutConstraint*> seen;
  for (const View* view : problem.unknowns) {
    for (const auto& constraint : view->constraints()) {
      if (constraint->isActive() && seen.insert(constraint.get()).second) {
        constraints.push_back(constraint.get());
      }
    }
  }
  std::sort(constraints.begin(), constraints.end(),
            [](const LayoutConstraint* l, const LayoutConstraint* r) {
              return l->activationOrder() < r->activationOrder();
            });
  const auto side = [&](const LayoutConstraint::Item& item) -> std::optional<LinearExpression> {
    auto view = item.view.lock();
    if (!view) return std::nullopt;
    if (const auto index = indexOf(view.get())) {
      return unknownAttribute(variables[*index], *view, item);
    }
    const std::optional<Rect> rect = problem.resolve(item);
    if (!rect) return std::nullopt;
    return LinearExpression(attributeValue(*rect, item.attribute));
  };
  for (const LayoutConstraint* constraint : constraints) {
    // With one axis, the caller has made sure no constraint mixes them.
    if (!onAxis(isHorizontal(constraint->firstItem().attribute))) continue;
    std::optional<LinearExpression> expression = side(constraint->firstItem());
    if (!expression) continue;
    if (const auto& second = constraint->secondItem()) {
      const std::optional<LinearExpression> other = side(*second);
      if (!other) continue;
      expression->add(*other, -constraint->multiplier());
    }
    expression->add(-constraint->constant());
    if (expression->terms().empty()) continue;  // nothing unknown: nothing to solve
    const float priority = constraint->priority();
    const std::optional<double> weight = priority >= LayoutPriority::required
                                             ? std::nullopt
                                             : std::optional<double>(constraintWeight(priority));
    if (!solver.addRelation(*expression, constraint->relation(), weight) &&
        problem.reportConflicts) {
      reportConflict(*constraint);
    }
  }

  // Content sizes: hugging keeps the size from growing past the content, compression resistance
  // from shrinking below it.
  for (std::size_t i = 0; i < problem.unknowns.size(); ++i) {
    const View& view = *problem.unknowns[i];
    const double contents[2] = {
        i < problem.intrinsic.size() ? problem.intrinsic[i].width : View::noIntrinsicMetric,
        i < problem.contentHeights.size() ? problem.contentHeights[i] : View::noIntrinsicMetric};
    for (const LayoutAxis axis : {LayoutAxis::horizontal, LayoutAxis::vertical}) {
      const bool horizontal = axis == LayoutAxis::horizontal;
      const double content = contents[horizontal ? 0 : 1];
      if (content < 0 || !onAxis(horizontal)) continue;
      const Symbol size = horizontal ? variables[i].width : variables[i].height;
      const LinearExpression expression = LinearExpression(-content).add(size, 1);
      (void)solver.addRelation(expression, LayoutRelation::greaterThanOrEqual,
                               contentWeight(view.contentCompressionResistancePriority(axis)));
      (void)solver.addRelation(expression, LayoutRelation::lessThanOrEqual,
                               contentWeight(view.contentHuggingPriority(axis)));
    }
  }
  // What is left free goes towards zero.
  for (std::size_t i = 0; i < variables.size(); ++i) {
    const FrameVariables& frame = variables[i];
    for (const Symbol size : {frame.width, frame.height}) {
      if (!size.valid()) continue;
      (void)solver.addRelation(LinearExpression().add(size, 1), LayoutRelation::equal,
                               defaultSizeWeight(i));
    }
    for (const Symbol position : {frame.left, frame.top}) {
      if (!position.valid()) continue;
      (void)solver.addRelation(LinearExpression().add(position, 1), LayoutRelation::equal,
                               defaultPositionWeight(i));
    }
  }

  LayoutSolution solution;
  solution.frames.reserve(variables.size());
  for (const FrameVariables& frame : variables) {
    // A size the relations make negative is shown as zero, where it starts.
    solution.frames.push_back({{tidy(solver.value(frame.left)), tidy(solver.value(frame.top))},
                               {std::max(0.0, tidy(solver.value(frame.width))),
                                std::max(0.0, tidy(solver.value(frame.height)))}});
  }
  if (!problem.findUndetermined) return solution;
  const std::vector<Symbol> open = solver.undeterminedVariables();
  for (std::size_t i = 0; i < variables.size(); ++i) {
    const FrameVariables& frame = variables[i];
    const bool undetermined = std::any_of(open.begin(), open.end(), [&](Symbol s) {
      return s == frame.left || s == frame.top || s == frame.width || s == frame.height;
    });
    if (undetermined) solution.undetermined.push_back(problem.unknowns[i]);
  }
  return solution;
}

}  // namespace QVRAdKit::UI::detail
