#pragma once
// LayoutAnchor makes constraints between the attributes of views and layout guides. The three
// kinds (x-axis edges and centre, y-axis edges and centre, dimensions) are distinct types, so a
// top can be tied to a bottom but never to a leading edge. The constraints come back inactive:
// activate them, or hand them to a LayoutConstraintGroup.
// Example:
//   group.activate(label->leadingAnchor().equalTo(container->leadingAnchor(), 12));
//   group.activate(icon->widthAnchor().equalToConstant(44));
// Threading: main queue only. An anchor holds its view weakly.

#include <concepts>
#include <memory>
#include <utility>

#include "QVRAdKit/UI/LayoutAttribute.h"
#include "QVRAdKit/UI/LayoutConstraint.h"
#include "QVRAdKit/UI/LayoutRelation.h"

namespace QVRAdKit::UI {

class View;

// Kinds of anchor.
struct LayoutXAxis {};
struct LayoutYAxis {};
struct LayoutDimensionAxis {};

template <class Kind>
class LayoutAnchor {
 public:
  LayoutAnchor(std::weak_ptr<View> view, bool safeAreaGuide, LayoutAttribute attribute)
      : item_{std::move(view), safeAreaGuide, attribute} {}

  // this = other + constant (for edges: a positive constant moves this edge right or down).
  [[nodiscard]] std::shared_ptr<LayoutConstraint> equalTo(const LayoutAnchor& other,
                                                          double constant = 0) const {
    return LayoutConstraint::create(item_, LayoutRelation::equal, other.item_, 1, constant);
  }
  [[nodiscard]] std::shared_ptr<LayoutConstraint> greaterThanOrEqualTo(const LayoutAnchor& other,
                                                                       double constant = 0) const {
    return LayoutConstraint::create(item_, LayoutRelation::greaterThanOrEqual, other.item_, 1,
                                    constant);
  }
  [[nodiscard]] std::shared_ptr<LayoutConstraint> lessThanOrEqualTo(const LayoutAnchor& other,
                                                                    double constant = 0) const {
    return LayoutConstraint::create(item_, LayoutRelation::lessThanOrEqual, other.item_, 1,
                                    constant);
  }

  // Dimensions only: this = multiplier * other + constant.
  [[nodiscard]] std::shared_ptr<LayoutConstraint> equalTo(
      const LayoutAnchor& other, double multiplier,
      double constant) const requires std::same_as<Kind, LayoutDimensionAxis> {
    return LayoutConstraint::create(item_, LayoutRelation::equal, other.item_, multiplier,
                                    constant);
  }
  // Dimensions only: this = constant.
  [[nodiscard]] std::shared_ptr<LayoutConstraint> equalToConstant(
      double constant) const requires std::same_as<Kind, LayoutDimensionAxis> {
    return LayoutConstraint::create(item_, LayoutRelation::equal, std::nullopt, 1, constant);
  }
  [[nodiscard]] std::shared_ptr<LayoutConstraint> greaterThanOrEqualToConstant(
      double constant) const requires std::same_as<Kind, LayoutDimensionAxis> {
    return LayoutConstraint::create(item_, LayoutRelation::greaterThanOrEqual, std::nullopt, 1,
                                    constant);
  }
  [[nodiscard]] std::shared_ptr<LayoutConstraint> lessThanOrEqualToConstant(
      double constant) const requires std::same_as<Kind, LayoutDimensionAxis> {
    return LayoutConstraint::create(item_, LayoutRelation::lessThanOrEqual, std::nullopt, 1,
                                    constant);
  }

  [[nodiscard]] const LayoutConstraint::Item& item() const { return item_; }

 private:
  LayoutConstraint::Item item_;
};

using LayoutXAxisAnchor = LayoutAnchor<LayoutXAxis>;
using LayoutYAxisAnchor = LayoutAnchor<LayoutYAxis>;
using LayoutDimension = LayoutAnchor<LayoutDimensionAxis>;

}  // namespace QVRAdKit::UI
