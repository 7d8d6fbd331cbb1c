#pragma once
// LayoutEngine solves frames from constraints for View's layout pass and answers the fitting and
// size questions that views and stack views ask of each other (the algorithm is described in
// View.h). Both go through one solver (LayoutSystem), so a fitting size is the size a layout pass
// gives. Internal to the UI kit.
// Threading: main queue only.

#include <optional>
#include <vector>

#include "QVRAdKit/UI/LayoutAxis.h"
#include "QVRAdKit/UI/Size.h"

namespace QVRAdKit::UI {
class View;
}

namespace QVRAdKit::UI::detail {

struct LayoutProblem;
struct LayoutSolution;

class LayoutEngine {
 public:
  // Solves the frames of parent's subviews, except those in `placed`, from constraints.
  static void layoutChildren(View& parent, const std::vector<const View*>& placed);
  // The height view needs at the given width (see View::systemLayoutSizeFitting). A solve is
  // kept and reused while nothing but frames changed and the frames and safe areas it reads are
  // the same, so a layout pass that moves views inside does not solve the same question again.
  // Answers read off a view's own constraints and content (no solve) read no frames.
  static double fittingHeight(const View& view, double width);
  // The constant of the view's required "width (or height) = constant" constraint, if any (the
  // last activated one wins).
  static std::optional<double> requiredSize(const View& view, LayoutAxis axis);

 private:
  // The fitting height of a view with nothing inside it to solve, where it can be read off its
  // own constraints and content without a solve.
  static std::optional<double> fittingHeightAlone(const View& view, const Size& intrinsic,
                                                  double width);
  // Solves, then solves again while a view's content height at the width it got differs from the
  // one used (a label's height follows its width). The answer is written into solution; across
  // holds the widths of a solve by axes. Both keep their storage from one question to the next.
  static const LayoutSolution& solveWithContent(LayoutProblem& problem, LayoutSolution& across,
                                                LayoutSolution& solution);
};

}  // namespace QVRAdKit::UI::detail
