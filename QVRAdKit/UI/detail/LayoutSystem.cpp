#include "QVRAdKit/UI/detail/LayoutSystem.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <span>
#include <string>

#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/UI/View.h"
#include "QVRAdKit/UI/ViewKitLogger.h"
#include "QVRAdKit/UI/detail/ConstraintItems.h"
#include "QVRAdKit/UI/detail/LinearSystem.h"
#include "QVRAdKit/UI/detail/SimplexSolver.h"
#include "QVRAdKit/UI/detail/ThreadScratch.h"

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

// A relation's expression, built in place: a constant and at most four terms (a relation ties
// two attributes, each a position and perhaps a size). Terms on the same variable are merged and
// numbers combined in the same order as LinearExpression does, so the system comes out the same.
class Expression {
 public:
  using Term = LinearExpression::Term;

  Expression() = default;
  explicit Expression(double constant) : constant_(constant) {}

  [[nodiscard]] double constant() const { return constant_; }
  [[nodiscard]] std::span<const Term> terms() const { return {terms_.data(), count_}; }

  Expression& add(double value) {
    constant_ += value;
    return *this;
  }
  Expression& add(Symbol variable, double coefficient) {
    for (std::size_t i = 0; i < count_; ++i) {
      if (terms_[i].first == variable) {
        terms_[i].second += coefficient;
        return *this;
      }
    }
    terms_.at(count_) = {variable, coefficient};  // four at most, as said above
    ++count_;
    return *this;
  }
  Expression& add(const Expression& other, double factor) {
    constant_ += other.constant_ * factor;
    for (const auto& [variable, coefficient] : other.terms()) add(variable, coefficient * factor);
    return *this;
  }

 private:
  double constant_ = 0;
  std::array<Term, 4> terms_;
  std::size_t count_ = 0;
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
Expression unknownAttribute(const FrameVariables& frame, const View& view,
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
  Expression expression;
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

Expression attributeOf(const FrameVariables& frame, LayoutAttribute attribute) {
  const bool horizontal = isHorizontal(attribute);
  const Symbol start = horizontal ? frame.left : frame.top;
  const Symbol size = horizontal ? frame.width : frame.height;
  Expression expression;
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

// What one solve needs, kept per thread so that its storage is reused.
struct Workspace {
  LinearSystem system;
  std::vector<const LayoutConstraint*> sources;  // per relation: the constraint it states
  std::vector<FrameVariables> variables;
  SimplexSolver solver;
};

// The last systems solved on this thread and their solutions. A layout pass and the fitting
// questions around it state the same few systems again and again (a change of content often
// leaves a system as it was), and the solver's answer depends on the system alone.
struct KeptSolve {
  std::uint64_t hash = 0;
  bool withUndetermined = false;
  LinearSystem system;
  LinearSystem::Solution solution;
};
// A banner's systems differ by the heights its content takes, which come in a few sizes however
// many texts it shows: each height brings a fitting system and a layout system or two, so room
// for a few heights' worth is kept.
constexpr std::size_t kKeptSolves = 32;

const LinearSystem::Solution& solveKept(Workspace& work, bool findUndetermined) {
  thread_local std::array<KeptSolve, kKeptSolves> kept;
  thread_local std::size_t used = 0;
  thread_local std::size_t next = 0;
  const std::uint64_t hash = work.system.hash();
  for (std::size_t i = 0; i < used; ++i) {
    const KeptSolve& entry = kept[i];
    if (entry.hash == hash && (entry.withUndetermined || !findUndetermined) &&
        entry.system == work.system) {
      return entry.solution;
    }
  }
  KeptSolve& entry = kept[next];
  next = (next + 1) % kKeptSolves;
  used = std::max(used, next == 0 ? kKeptSolves : next);
  work.system.solve(work.solver, findUndetermined, entry.solution);
  entry.hash = hash;
  entry.withUndetermined = findUndetermined;
  entry.system = work.system;
  return entry.solution;
}

}  // namespace

double constraintWeight(float priority) {
  return priority;
}

double contentWeight(float priority) {
  return priority - kContentBelowConstraint;
}

namespace {

double computeDefaultSizeWeight(std::size_t index) {
  // Distinct per view (a low-discrepancy sequence in [1, 1.5)), so that two views left equally
  // free do not tie.
  const double spread = std::fmod(static_cast<double>(index) * 0.6180339887498949, 1.0);
  return kDefaultSizeWeight * (1.0 + 0.5 * spread);
}

}  // namespace

double defaultSizeWeight(std::size_t index) {
  // Every system asks for the first few: worked out once.
  constexpr std::size_t kTabulated = 32;
  static const std::array<double, kTabulated> table = [] {
    std::array<double, kTabulated> weights{};
    for (std::size_t i = 0; i < kTabulated; ++i) weights[i] = computeDefaultSizeWeight(i);
    return weights;
  }();
  return index < kTabulated ? table[index] : computeDefaultSizeWeight(index);
}

double defaultPositionWeight(std::size_t index) {
  return defaultSizeWeight(index) / 2;
}

void solveLayout(LayoutProblem& problem, LayoutSolution& solution) {
  // The thread's workspace, emptied for each system so that its storage is reused.
  ThreadScratch<Workspace> lease;
  Workspace& work = *lease;
  LinearSystem& system = work.system;
  system.clear();
  work.sources.clear();
  const auto addRelation = [&](const Expression& expression, LayoutRelation relation,
                               std::optional<double> weight, const LayoutConstraint* source) {
    system.add(expression.constant(), expression.terms(), relation, weight);
    work.sources.push_back(source);
  };

  std::vector<FrameVariables>& variables = work.variables;
  variables.clear();
  const auto onAxis = [&](bool horizontal) {
    return !problem.axis || (*problem.axis == LayoutAxis::horizontal) == horizontal;
  };
  const auto variable = [&](bool horizontal) {
    return onAxis(horizontal) ? system.newVariable() : Symbol{};
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
    Expression expression = attributeOf(variables[pin.unknown], pin.attribute);
    expression.add(-pin.value);
    addRelation(expression, LayoutRelation::equal, pin.weight, nullptr);
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
      addRelation(Expression(-frame.minX()).add(mine.left, 1).add(theirs.left, -1),
                  LayoutRelation::equal, std::nullopt, nullptr);
      addRelation(Expression(-frame.width()).add(mine.width, 1), LayoutRelation::equal,
                  std::nullopt, nullptr);
    }
    if (onAxis(false)) {
      addRelation(Expression(-frame.minY()).add(mine.top, 1).add(theirs.top, -1),
                  LayoutRelation::equal, std::nullopt, nullptr);
      addRelation(Expression(-frame.height()).add(mine.height, 1), LayoutRelation::equal,
                  std::nullopt, nullptr);
    }
  }

  // The constraints, each once, in activation order: collected by the problem's first solve
  // and reused by the next ones (the other axis, another round of content heights).
  // Each active constraint has an activation order of its own, so sorting by it puts the copies
  // of a constraint held by both its views next to each other.
  std::vector<const LayoutConstraint*>& constraints = problem.constraints;
  if (!problem.constraintsCollected) {
    constraints.clear();
    for (const View* view : problem.unknowns) {
      for (const auto& constraint : view->constraints()) {
        if (constraint->isActive()) constraints.push_back(constraint.get());
      }
    }
    std::sort(constraints.begin(), constraints.end(),
              [](const LayoutConstraint* l, const LayoutConstraint* r) {
                return l->activationOrder() < r->activationOrder();
              });
    constraints.erase(std::unique(constraints.begin(), constraints.end()), constraints.end());
    problem.constraintsCollected = true;
  }
  // The item, of view (nullptr once gone), as an expression, into out; false leaves the
  // constraint out.
  const auto side = [&](const LayoutConstraint::Item& item, const View* view, Expression& out) {
    if (view == nullptr) return false;
    if (const auto index = indexOf(view)) {
      out = unknownAttribute(variables[*index], *view, item);
      return true;
    }
    const std::optional<Rect> rect = problem.resolve(item, *view);
    if (!rect) return false;
    out = Expression(attributeValue(*rect, item.attribute));
    return true;
  };
  Expression expression;
  Expression other;
  for (const LayoutConstraint* constraint : constraints) {
    // With one axis, the caller has made sure no constraint mixes them.
    if (!onAxis(isHorizontal(constraint->firstItem().attribute))) continue;
    if (!side(constraint->firstItem(), constraint->firstView(), expression)) continue;
    if (const auto& second = constraint->secondItem()) {
      if (!side(*second, constraint->secondView(), other)) continue;
      expression.add(other, -constraint->multiplier());
    }
    expression.add(-constraint->constant());
    if (expression.terms().empty()) continue;  // nothing unknown: nothing to solve
    const float priority = constraint->priority();
    const std::optional<double> weight = priority >= LayoutPriority::required
                                             ? std::nullopt
                                             : std::optional<double>(constraintWeight(priority));
    addRelation(expression, constraint->relation(), weight, constraint);
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
      Expression contentSize(-content);
      contentSize.add(size, 1);
      addRelation(contentSize, LayoutRelation::greaterThanOrEqual,
                  contentWeight(view.contentCompressionResistancePriority(axis)), nullptr);
      addRelation(contentSize, LayoutRelation::lessThanOrEqual,
                  contentWeight(view.contentHuggingPriority(axis)), nullptr);
    }
  }
  // What is left free goes towards zero.
  for (std::size_t i = 0; i < variables.size(); ++i) {
    const FrameVariables& frame = variables[i];
    for (const Symbol size : {frame.width, frame.height}) {
      if (!size.valid()) continue;
      addRelation(Expression().add(size, 1), LayoutRelation::equal, defaultSizeWeight(i), nullptr);
    }
    for (const Symbol position : {frame.left, frame.top}) {
      if (!position.valid()) continue;
      addRelation(Expression().add(position, 1), LayoutRelation::equal, defaultPositionWeight(i),
                  nullptr);
    }
  }

  const LinearSystem::Solution& solved = solveKept(work, problem.findUndetermined);
  if (problem.reportConflicts) {
    for (const std::size_t refused : solved.refused) {
      if (work.sources[refused] != nullptr) reportConflict(*work.sources[refused]);
    }
  }
  const auto value = [&](Symbol symbol) { return solved.values[symbol.id]; };
  solution.frames.clear();
  solution.undetermined.clear();
  solution.frames.reserve(variables.size());
  for (const FrameVariables& frame : variables) {
    // A size the relations make negative is shown as zero, where it starts.
    solution.frames.push_back(
        {{tidy(value(frame.left)), tidy(value(frame.top))},
         {std::max(0.0, tidy(value(frame.width))), std::max(0.0, tidy(value(frame.height)))}});
  }
  if (!problem.findUndetermined) return;
  const std::vector<Symbol>& open = solved.undetermined;
  for (std::size_t i = 0; i < variables.size(); ++i) {
    const FrameVariables& frame = variables[i];
    const bool undetermined = std::any_of(open.begin(), open.end(), [&](Symbol s) {
      return s == frame.left || s == frame.top || s == frame.width || s == frame.height;
    });
    if (undetermined) solution.undetermined.push_back(problem.unknowns[i]);
  }
}

}  // namespace QVRAdKit::UI::detail
