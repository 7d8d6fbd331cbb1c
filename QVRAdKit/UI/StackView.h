#pragma once
// StackView places its arranged subviews in a row (horizontal axis) or a column (vertical axis),
// in order, `spacing` apart, inside its bounds or, with isLayoutMarginsRelativeArrangement, inside
// its bounds inset by directionalLayoutMargins. Hidden arranged views collapse: they take neither
// room nor spacing.
//
// Along the axis, each arranged view's wanted length is its required size constraint (say a
// width of 44) when it has one, otherwise its intrinsic length (0 without one). Distribution:
//  - fill: wanted lengths; the room left over goes to the view with the lowest content hugging
//    priority on the axis (the first such view on a tie), the room missing is taken from the view
//    with the lowest compression resistance (then from the next lowest, never below 0). Views
//    with a required size constraint neither grow nor shrink.
//  - fillEqually: the room is shared equally.
//  - fillProportionally: the room is shared in proportion to the wanted lengths.
// Across the axis (alignment): fill stretches to the content's extent; leading/top, center and
// trailing/bottom keep each view's wanted cross length (its required size constraint, or the
// height it needs at its width in a row, or its intrinsic width capped to the content width in a
// column) and place it at the start, middle or end.
// Its intrinsic size follows from its arranged views and settings; it has none on an axis where an
// arranged view has none (say a plain view in a column).
// Arranged views are also subviews: arranging adds them; removeArrangedSubview keeps the view as
// a subview (as on the phone) and removeFromSuperview takes it out of both.
// Threading: main queue only.

#include <cstddef>
#include <memory>
#include <vector>

#include "QVRAdKit/UI/DirectionalEdgeInsets.h"
#include "QVRAdKit/UI/LayoutAxis.h"
#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::UI {

class StackView : public View {
 public:
  enum class Alignment { fill, leading, top = leading, center, trailing, bottom = trailing };
  enum class Distribution { fill, fillEqually, fillProportionally };

  static std::shared_ptr<StackView> create(
      const std::vector<std::shared_ptr<View>>& arrangedSubviews = {}, Rect frame = {});

  // The arranged views that are still subviews, in order.
  [[nodiscard]] std::vector<std::shared_ptr<View>> arrangedSubviews() const;
  void addArrangedSubview(const std::shared_ptr<View>& view);
  void insertArrangedSubview(const std::shared_ptr<View>& view, size_t index);
  void removeArrangedSubview(const std::shared_ptr<View>& view);

  // horizontal by default.
  [[nodiscard]] LayoutAxis axis() const { return axis_; }
  void setAxis(LayoutAxis axis);
  // fill by default.
  [[nodiscard]] Alignment alignment() const { return alignment_; }
  void setAlignment(Alignment alignment);
  // fill by default.
  [[nodiscard]] Distribution distribution() const { return distribution_; }
  void setDistribution(Distribution distribution);
  // 0 by default.
  [[nodiscard]] double spacing() const { return spacing_; }
  void setSpacing(double spacing);
  // 0 on every edge by default; used only with isLayoutMarginsRelativeArrangement.
  [[nodiscard]] const DirectionalEdgeInsets& directionalLayoutMargins() const { return margins_; }
  void setDirectionalLayoutMargins(DirectionalEdgeInsets margins);
  [[nodiscard]] bool isLayoutMarginsRelativeArrangement() const { return marginsRelative_; }
  void setLayoutMarginsRelativeArrangement(bool relative);

  [[nodiscard]] Size intrinsicContentSize() const override;

 protected:
  explicit StackView(Rect frame) : View(frame) {}
  [[nodiscard]] double heightForWidth(double width) const override;
  std::vector<const View*> arrangeSubviews() override;

 private:
  // Calls visit(View&) with each arranged view that is still a subview, in order, holding it
  // while it is visited; the sizing questions ask this many times per pass, without a list.
  template <class Visit>
  void forEachArranged(const Visit& visit) const {
    for (const auto& weak : arranged_) {
      const auto view = weak.lock();
      if (view && view->superview().get() == this) visit(*view);
    }
  }
  [[nodiscard]] Size computeIntrinsicContentSize() const;
  [[nodiscard]] double computeHeightForWidth(double width) const;

  std::vector<std::weak_ptr<View>> arranged_;
  LayoutAxis axis_ = LayoutAxis::horizontal;
  Alignment alignment_ = Alignment::fill;
  Distribution distribution_ = Distribution::fill;
  double spacing_ = 0;
  DirectionalEdgeInsets margins_;
  bool marginsRelative_ = false;
  // What the last questions answered (asked many times per pass, each a walk of the subtree).
  mutable detail::KeptSize<Size> intrinsic_;
  mutable detail::WidthMemo<4> heights_;
};

}  // namespace QVRAdKit::UI
