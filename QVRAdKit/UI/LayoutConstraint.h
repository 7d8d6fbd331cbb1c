#pragma once
// LayoutConstraint is one linear relation between two layout attributes, or between one attribute
// and a constant:  first  (=, <= or >=)  multiplier * second + constant.
// Constraints are made inactive by the anchors (LayoutAnchor), then activated. An active constraint
// is kept alive by the views it names; it holds those views weakly, so activating one never makes
// an ownership cycle, and a constraint whose view is gone takes no part in layout.
// Changing the constant, the priority or the active state asks the views involved for a new
// layout pass; the frames change at the next layoutIfNeeded().
// Example:
//   auto c = child->topAnchor().equalTo(parent->topAnchor(), 8);
//   c->setPriority(LayoutPriority::defaultHigh);
//   c->activate();
// Threading: main queue only.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/UI/LayoutAttribute.h"
#include "QVRAdKit/UI/LayoutPriority.h"
#include "QVRAdKit/UI/LayoutRelation.h"

namespace QVRAdKit::UI {

class View;

class LayoutConstraint : public std::enable_shared_from_this<LayoutConstraint> {
 public:
  // One side of the relation: an attribute of a view, or of the view's safe-area layout guide.
  struct Item {
    std::weak_ptr<View> view;
    bool safeAreaGuide = false;
    LayoutAttribute attribute = LayoutAttribute::top;
  };

  // Prefer the anchors' equalTo / greaterThanOrEqualTo / lessThanOrEqualTo. Without a second item
  // the relation is to the constant alone (dimensions only). The multiplier scales the second
  // item; a multiplier of 0 is treated as 1.
  static std::shared_ptr<LayoutConstraint> create(Item first, LayoutRelation relation,
                                                  std::optional<Item> second, double multiplier,
                                                  double constant);

  LayoutConstraint(const LayoutConstraint&) = delete;
  LayoutConstraint& operator=(const LayoutConstraint&) = delete;
  ~LayoutConstraint() = default;

  [[nodiscard]] const Item& firstItem() const { return first_; }
  [[nodiscard]] const std::optional<Item>& secondItem() const { return second_; }
  // The items' views while they live, without taking a share of them (nullptr once a view is
  // gone, or without a second item): the layout pass reads them for every constraint it states,
  // on the main queue, and a share taken and given back each time is two atomic operations.
  [[nodiscard]] View* firstView() const { return first_.view.expired() ? nullptr : firstView_; }
  [[nodiscard]] View* secondView() const {
    return second_ && !second_->view.expired() ? secondView_ : nullptr;
  }
  [[nodiscard]] LayoutRelation relation() const { return relation_; }
  [[nodiscard]] double multiplier() const { return multiplier_; }

  [[nodiscard]] double constant() const { return constant_; }
  void setConstant(double constant);

  // 1...1000 (clamped); `LayoutPriority::required` by default.
  [[nodiscard]] float priority() const { return priority_; }
  void setPriority(float priority);
  // Sets the priority and returns this constraint, for chaining after an anchor call.
  std::shared_ptr<LayoutConstraint> withPriority(float priority);

  [[nodiscard]] bool isActive() const { return active_; }
  void setActive(bool active);
  void activate() { setActive(true); }
  void deactivate() { setActive(false); }
  static void activate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
  static void deactivate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
  // Grows with every activation, across all constraints: when required constraints contradict
  // each other, the ones activated first hold and the later one is refused.
  [[nodiscard]] std::uint64_t activationOrder() const { return activationOrder_; }

  // A name for logs and tests.
  [[nodiscard]] const std::string& identifier() const { return identifier_; }
  void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

 private:
  struct Key {};

 public:
  LayoutConstraint(Key /*key*/, Item first, LayoutRelation relation, std::optional<Item> second,
                   double multiplier, double constant);

 private:
  void invalidateLayout() const;

  Item first_;
  LayoutRelation relation_;
  std::optional<Item> second_;
  // The items' views as they were when the constraint was made: the items never change after.
  View* firstView_ = nullptr;
  View* secondView_ = nullptr;
  double multiplier_;
  double constant_;
  float priority_ = LayoutPriority::required;
  bool active_ = false;
  std::uint64_t activationOrder_ = 0;
  std::string identifier_;
};

}  // namespace QVRAdKit::UI
