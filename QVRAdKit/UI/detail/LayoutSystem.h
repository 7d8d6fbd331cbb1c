#pragma once
// LayoutSystem states the frames of some views as one linear system and solves it with the
// simplex solver. Each unknown view has a left, top, width and height in the coordinates of a
// reference view; every active constraint of an unknown view whose items are all unknown views or
// resolvable rectangles becomes a relation, in activation order:
//  - required constraints must hold; one that contradicts those activated before it is refused
//    and reported, and the layout goes on without it;
//  - a constraint of priority p < 1000 is weighed by p;
//  - a view's content size pulls its size from above (compression resistance) and from below
//    (hugging), each weighed a little under a constraint of the same priority, so content never
//    wins against an equally strong constraint and never makes a system unsatisfiable;
//  - whatever is still left free is pulled towards zero, sizes before positions and earlier views
//    more than later ones, by weights far below any priority.
// The result depends only on the relations, never on the frames the views had before. When the
// optimum is still not a single layout (equally strong wishes that disagree), the views whose
// frames it leaves open are named in the solution.
// Internal to the UI kit. Threading: main queue only.

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "QVRAdKit/UI/LayoutAxis.h"
#include "QVRAdKit/UI/LayoutConstraint.h"
#include "QVRAdKit/UI/Rect.h"
#include "QVRAdKit/UI/Size.h"

namespace QVRAdKit::UI {
class View;
}

namespace QVRAdKit::UI::detail {

struct LayoutProblem {
  // A relation that is part of the problem itself: "unknown.attribute = value", added before the
  // constraints (required without a weight).
  struct Pin {
    std::size_t unknown = 0;
    LayoutAttribute attribute = LayoutAttribute::top;
    double value = 0;
    std::optional<double> weight;
  };

  std::vector<const View*> unknowns;
  // Unknowns that keep their current frame inside their superview, which is an unknown too.
  std::vector<const View*> keepFrames;
  // The rectangle, in the reference view's coordinates, of an item (whose view, alive, is given
  // with it) that is not an unknown view; none leaves the constraint out.
  std::function<std::optional<Rect>(const LayoutConstraint::Item&, const View&)> resolve;
  // Per unknown: its intrinsic content size, asked once (a stack view's is costly).
  std::vector<Size> intrinsic;
  // Per unknown: the height its content needs (View::noIntrinsicMetric for none); the width is
  // the intrinsic width.
  std::vector<double> contentHeights;
  std::vector<Pin> pins;
  // Whether refused required constraints are reported (once per pass is enough).
  bool reportConflicts = true;
  // Whether to look for frames the optimum leaves open (a fitting size reads one height only).
  bool findUndetermined = true;
  // One axis only (for relations that never mix the axes, each axis is a problem of its own);
  // the other axis's coordinates come out as zero.
  std::optional<LayoutAxis> axis;
  // The unknowns' active constraints, each once, in activation order: collected by the problem's
  // first solve and reused by the next (the other axis, further rounds of content heights).
  std::vector<const LayoutConstraint*> constraints;
  bool constraintsCollected = false;

  // Back to a new problem's state, keeping the vectors' storage.
  void clear() {
    unknowns.clear();
    keepFrames.clear();
    resolve = nullptr;
    intrinsic.clear();
    contentHeights.clear();
    pins.clear();
    reportConflicts = true;
    findUndetermined = true;
    axis.reset();
    constraints.clear();
    constraintsCollected = false;
  }
};

struct LayoutSolution {
  std::vector<Rect> frames;               // per unknown, in the reference view's coordinates
  std::vector<const View*> undetermined;  // unknowns whose frame the optimum leaves open
};

// Solves the problem into solution, reusing its storage. The first solve of a problem collects
// its constraints into it.
void solveLayout(LayoutProblem& problem, LayoutSolution& solution);

// The weights the solver gives: a constraint of priority p, a content priority p, and the pull
// towards zero on the index-th unknown's size and position.
[[nodiscard]] double constraintWeight(float priority);
[[nodiscard]] double contentWeight(float priority);
[[nodiscard]] double defaultSizeWeight(std::size_t index);
[[nodiscard]] double defaultPositionWeight(std::size_t index);

}  // namespace QVRAdKit::UI::detail
