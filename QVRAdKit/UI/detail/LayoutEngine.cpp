#include "QVRAdKit/UI/detail/LayoutEngine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/UI/LayoutGuide.h"
#include "QVRAdKit/UI/View.h"
#include "QVRAdKit/UI/ViewKitLogger.h"
#include "QVRAdKit/UI/detail/ConstraintItems.h"
#include "QVRAdKit/UI/detail/LayoutMemo.h"
#include "QVRAdKit/UI/detail/LayoutSystem.h"

namespace QVRAdKit::UI::detail {
namespace {

// A fitting solve and what it read: the view, the width, every change but frames (with the
// environment and its registry), and the frames, safe areas and content sizes of its views.
struct KeptFitting {
  const View* view = nullptr;
  double width = 0;
  LayoutStamp stamp;  // compared but for its frame count
  std::vector<double> reads;
  double height = 0;
};

// The frame-dependent and content inputs of a fitting solve over these views, written into
// reads (its storage reused).
void fittingReads(const LayoutProblem& problem, std::vector<double>& reads) {
  reads.clear();
  const auto addRect = [&reads](const Rect& rect) {
    reads.insert(reads.end(), {rect.minX(), rect.minY(), rect.width(), rect.height()});
  };
  reads.push_back(static_cast<double>(problem.unknowns.size()));
  for (std::size_t i = 0; i < problem.unknowns.size(); ++i) {
    const View& view = *problem.unknowns[i];
    addRect(view.frame());
    const EdgeInsets insets = view.safeAreaInsets();
    reads.insert(reads.end(), {insets.top, insets.left, insets.bottom, insets.right});
    reads.insert(reads.end(), {problem.intrinsic[i].width, problem.intrinsic[i].height});
  }
  reads.push_back(static_cast<double>(problem.keepFrames.size()));
  for (const View* view : problem.keepFrames) addRect(view->frame());
}

// A problem and the solutions of its solves.
struct ProblemSpace {
  LayoutProblem problem;
  LayoutSolution across;
  LayoutSolution solution;
  std::vector<double> reads;  // what a fitting solve read, while views inside ask their own
};

// Problems reused by the thread's solves, one per nesting depth (a solve asks the fitting
// questions of views inside, which solve in turn), so that their vectors keep their storage.
class ProblemLease {
 public:
  ProblemLease() {
    if (spaces.size() <= depth) spaces.push_back(std::make_unique<ProblemSpace>());
    space_ = spaces[depth].get();
    ++depth;
    space_->problem.clear();
  }
  ~ProblemLease() { --depth; }
  ProblemLease(const ProblemLease&) = delete;
  ProblemLease& operator=(const ProblemLease&) = delete;
  [[nodiscard]] LayoutProblem& problem() const { return space_->problem; }
  [[nodiscard]] LayoutSolution& across() const { return space_->across; }
  [[nodiscard]] LayoutSolution& solution() const { return space_->solution; }
  [[nodiscard]] std::vector<double>& reads() const { return space_->reads; }

 private:
  static thread_local std::vector<std::unique_ptr<ProblemSpace>> spaces;
  static thread_local std::size_t depth;
  ProblemSpace* space_;
};
thread_local std::vector<std::unique_ptr<ProblemSpace>> ProblemLease::spaces;
thread_local std::size_t ProblemLease::depth = 0;

// The last few fitting solves of this thread (layout runs on the main queue).
constexpr std::size_t kKeptFittings = 4;
thread_local std::array<KeptFitting, kKeptFittings> keptFittings;
thread_local std::size_t nextKeptFitting = 0;

// How many times a solve is repeated with content heights measured at the widths it found (a
// label's height depends on the width it gets). One repeat settles every layout whose widths do
// not depend on heights.
constexpr int kContentRounds = 3;

// Whether a view sizes itself from its content (a label, an image, a stack view): its subviews,
// if any, are its own business and not part of a fitting solve.
bool measuresItself(const Size& intrinsic) {
  return intrinsic.width >= 0 || intrinsic.height >= 0;
}

// Whether a constraint of these views ties a horizontal attribute to a vertical one (a width to
// a height): then the axes are one problem.
bool mixesAxes(const std::vector<const View*>& views) {
  return std::any_of(views.begin(), views.end(), [](const View* view) {
    return std::any_of(view->constraints().begin(), view->constraints().end(), [](const auto& c) {
      const auto& second = c->secondItem();
      return second && isHorizontal(c->firstItem().attribute) != isHorizontal(second->attribute);
    });
  });
}

void reportUndetermined(const std::vector<const View*>& views) {
  std::string message = "Ambiguous layout: the constraints leave equally good frames open for ";
  for (std::size_t i = 0; i < views.size(); ++i) {
    if (i > 0) message += ", ";
    message += "'";
    message += views[i]->accessibilityIdentifier();
    message += "'";
  }
  message += "; their frames are left as they were";
  viewKitAssertionFailure(message, QVR_FILE_TEXT, "layoutSubviews()", __LINE__);
}

}  // namespace

std::optional<double> LayoutEngine::fittingHeightAlone(const View& view, const Size& intrinsic,
                                                       double width) {
  // What the solve gives for a view without subviews to solve, when the answer is plain: the
  // content height (if the compression resistance outranks the fitting pull) when no constraint
  // of the view's own speaks of its height, or the constant of the one required
  // "height = constant" that does.
  const LayoutConstraint* height = nullptr;
  for (const auto& constraint : view.constraints()) {
    const auto& first = constraint->firstItem();
    const auto& second = constraint->secondItem();
    // Ties to others are left out.
    if (constraint->firstView() != &view || (second && constraint->secondView() != &view)) continue;
    if (first.safeAreaGuide || (second && second->safeAreaGuide)) return std::nullopt;
    const bool vertical =
        !isHorizontal(first.attribute) || (second && !isHorizontal(second->attribute));
    if (!vertical) continue;
    if (height != nullptr || second || first.attribute != LayoutAttribute::height ||
        constraint->relation() != LayoutRelation::equal ||
        constraint->priority() < LayoutPriority::required) {
      return std::nullopt;  // anything else is for the solver
    }
    height = constraint.get();
  }
  if (height != nullptr) return height->constant() < 0 ? 0 : height->constant();
  if (intrinsic.height < 0) return 0.0;
  const float resistance = view.contentCompressionResistancePriority(LayoutAxis::vertical);
  return contentWeight(resistance) > constraintWeight(LayoutPriority::fittingSizeLevel)
             ? std::max(0.0, view.heightForWidth(width))
             : 0.0;
}

const LayoutSolution& LayoutEngine::solveWithContent(LayoutProblem& problem, LayoutSolution& across,
                                                     LayoutSolution& solution) {
  if (problem.intrinsic.size() != problem.unknowns.size()) {
    problem.intrinsic.clear();
    for (const View* view : problem.unknowns) {
      problem.intrinsic.push_back(view->intrinsicContentSize());
    }
  }
  problem.contentHeights.clear();
  for (const Size& intrinsic : problem.intrinsic)
    problem.contentHeights.push_back(intrinsic.height);
  if (!mixesAxes(problem.unknowns)) {
    // Each axis on its own: the widths first, then the heights with every content measured at
    // the width it got. The same optimum as one joint solve, in two smaller ones.
    problem.axis = LayoutAxis::horizontal;
    solveLayout(problem, across);
    for (std::size_t i = 0; i < problem.unknowns.size(); ++i) {
      if (problem.contentHeights[i] < 0) continue;
      problem.contentHeights[i] = problem.unknowns[i]->heightForWidth(across.frames[i].width());
    }
    problem.axis = LayoutAxis::vertical;
    solveLayout(problem, solution);
    problem.axis.reset();
    for (std::size_t i = 0; i < solution.frames.size(); ++i) {
      solution.frames[i].origin.x = across.frames[i].origin.x;
      solution.frames[i].size.width = across.frames[i].size.width;
    }
    for (const View* view : across.undetermined) {
      if (std::find(solution.undetermined.begin(), solution.undetermined.end(), view) ==
          solution.undetermined.end()) {
        solution.undetermined.push_back(view);
      }
    }
    std::sort(solution.undetermined.begin(), solution.undetermined.end(),
              [&](const View* l, const View* r) {
                return std::find(problem.unknowns.begin(), problem.unknowns.end(), l) <
                       std::find(problem.unknowns.begin(), problem.unknowns.end(), r);
              });
    return solution;
  }
  // A width tied to a height: solve both axes together, again while a content height at the
  // width found differs from the one used.
  solveLayout(problem, solution);
  problem.reportConflicts = false;  // the same required constraints: reported once
  for (int round = 0; round < kContentRounds; ++round) {
    bool changed = false;
    for (std::size_t i = 0; i < problem.unknowns.size(); ++i) {
      if (problem.contentHeights[i] < 0) continue;
      const double height = problem.unknowns[i]->heightForWidth(solution.frames[i].width());
      if (std::abs(height - problem.contentHeights[i]) > 1e-9) {
        problem.contentHeights[i] = height;
        changed = true;
      }
    }
    if (!changed) break;
    solveLayout(problem, solution);
  }
  return solution;
}

std::optional<double> LayoutEngine::requiredSize(const View& view, LayoutAxis axis) {
  const LayoutAttribute wanted =
      axis == LayoutAxis::horizontal ? LayoutAttribute::width : LayoutAttribute::height;
  std::optional<double> size;
  for (const auto& constraint : view.constraints()) {
    if (!constraint->isActive() || constraint->secondItem()) continue;
    if (constraint->relation() != LayoutRelation::equal) continue;
    if (constraint->priority() < LayoutPriority::required) continue;
    if (constraint->firstItem().attribute != wanted ||
        !isSelf(constraint->firstItem(), constraint->firstView(), view)) {
      continue;
    }
    size = constraint->constant();
  }
  return size;
}

void LayoutEngine::layoutChildren(View& parent, const std::vector<const View*>& placed) {
  const ProblemLease lease;
  LayoutProblem& problem = lease.problem();
  for (const auto& child : parent.subviews()) {
    if (std::find(placed.begin(), placed.end(), child.get()) != placed.end()) continue;
    if (!placedByConstraints(*child)) continue;  // laid out by frame
    problem.unknowns.push_back(child.get());
  }
  if (problem.unknowns.empty()) return;
  // Captured as one reference, so that the resolver fits in the function object itself.
  struct {
    const View* root;
    const View* parent;
    const LayoutProblem* problem;
    // The parent's bounds in its own coordinates, the most common answer, worked out once:
    // nothing moves while the problem is solved.
    std::optional<Rect> parentBounds;
  } context{rootOf(parent), &parent, &problem, std::nullopt};
  problem.resolve = [&context](const LayoutConstraint::Item& item,
                               const View& view) -> std::optional<Rect> {
    const bool parentBounds = &view == context.parent && !item.safeAreaGuide;
    if (parentBounds && context.parentBounds) return context.parentBounds;
    if (rootOf(view) != context.root) return std::nullopt;
    // A tie to a view inside one being solved places that view, in its own parent's pass.
    for (const View* unknown : context.problem->unknowns) {
      if (view.isDescendant(*unknown)) return std::nullopt;
    }
    const Rect local = item.safeAreaGuide ? LayoutGuide(item.view).layoutFrame() : view.bounds();
    const Rect rect = view.convert(local, context.parent);
    if (parentBounds) context.parentBounds = rect;
    return rect;
  };
  const LayoutSolution& solution = solveWithContent(problem, lease.across(), lease.solution());
  if (!solution.undetermined.empty()) reportUndetermined(solution.undetermined);
  for (std::size_t i = 0; i < problem.unknowns.size(); ++i) {
    const View* view = problem.unknowns[i];
    if (std::find(solution.undetermined.begin(), solution.undetermined.end(), view) !=
        solution.undetermined.end()) {
      continue;
    }
    const_cast<View*>(view)->setFrame(  // NOLINT(cppcoreguidelines-pro-type-const-cast)
        solution.frames[i]);
  }
}

double LayoutEngine::fittingHeight(const View& view, double width) {
  // The view at the given width, its height as small as its subtree allows: the same solve as a
  // layout pass, over the view and every view inside it that does not measure itself.
  const ProblemLease lease;
  LayoutProblem& problem = lease.problem();
  problem.unknowns.push_back(&view);
  bool constrained = !view.constraints().empty();
  for (std::size_t next = 0; next < problem.unknowns.size(); ++next) {
    const View& current = *problem.unknowns[next];
    problem.intrinsic.push_back(current.intrinsicContentSize());
    if (measuresItself(problem.intrinsic.back())) continue;
    for (const auto& child : current.subviews()) {
      problem.unknowns.push_back(child.get());
      constrained = constrained || !child->constraints().empty();
      if (!placedByConstraints(*child)) problem.keepFrames.push_back(child.get());
    }
  }
  if (problem.unknowns.size() == 1) {
    if (const auto alone = fittingHeightAlone(view, problem.intrinsic.front(), width)) {
      return *alone;
    }
  } else if (!constrained) {
    return 0;  // subviews placed by their frames ask nothing of the view's height
  }
  // Widths compare exactly (NaN never matches), so a kept height is what solving again gives.
  // From here on the answer depends on frames and safe areas.
  noteFramesRead();
  const LayoutStamp stamp = currentLayoutStamp();
  // Compared in a buffer reused by every question of the thread: most questions are answered
  // from a kept solve.
  thread_local std::vector<double> asked;
  fittingReads(problem, asked);
  for (const KeptFitting& kept : keptFittings) {
    if (kept.view == &view && kept.width == width && kept.stamp.sameContent(stamp) &&
        kept.reads == asked) {
      return kept.height;
    }
  }
  // Solving asks the fitting questions of views inside, which reuse the buffer: keep a copy.
  std::vector<double>& solved = lease.reads();
  solved.assign(asked.begin(), asked.end());
  problem.pins = {{0, LayoutAttribute::left, 0, std::nullopt},
                  {0, LayoutAttribute::top, 0, std::nullopt},
                  {0, LayoutAttribute::width, width, std::nullopt},
                  {0, LayoutAttribute::height, 0, LayoutPriority::fittingSizeLevel}};
  // Ties to anything outside the subtree say nothing about its size.
  problem.resolve = [](const LayoutConstraint::Item&, const View&) -> std::optional<Rect> {
    return std::nullopt;
  };
  problem.reportConflicts = false;  // the layout pass reports them
  problem.findUndetermined = false;
  const LayoutSolution& solution = solveWithContent(problem, lease.across(), lease.solution());
  const double height = solution.frames.front().height();
  KeptFitting& kept = keptFittings[nextKeptFitting];
  kept.view = &view;
  kept.width = width;
  kept.stamp = stamp;
  kept.reads.assign(solved.begin(), solved.end());
  kept.height = height;
  nextKeptFitting = (nextKeptFitting + 1) % kKeptFittings;
  return height;
}

}  // namespace QVRAdKit::UI::detail
