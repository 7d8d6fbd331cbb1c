#pragma once
// LayoutConstraintGroup keeps a set of constraints active together and deactivates them all at
// once: when removeAll() is called, when the group is destroyed, or when the field holding it is
// replaced by a fresh group (the same idiom as a dispose bag). A view that rebuilds part of its
// layout keeps that part in a group of its own and replaces the group.
// Example:
//   contentConstraints_ = LayoutConstraintGroup();   // the old relations are gone
//   contentConstraints_.activate(content->topAnchor().equalTo(topAnchor(), inset.top));
// Threading: main queue only. Move-only.

#include <memory>
#include <vector>

#include "QVRAdKit/UI/LayoutConstraint.h"

namespace QVRAdKit::UI {

class LayoutConstraintGroup {
 public:
  LayoutConstraintGroup() = default;
  LayoutConstraintGroup(LayoutConstraintGroup&& other) noexcept;
  // Deactivates this group's constraints, then takes over the other's.
  LayoutConstraintGroup& operator=(LayoutConstraintGroup&& other) noexcept;
  LayoutConstraintGroup(const LayoutConstraintGroup&) = delete;
  LayoutConstraintGroup& operator=(const LayoutConstraintGroup&) = delete;
  ~LayoutConstraintGroup();

  // Activates the constraint and keeps it in the group (null is ignored).
  void activate(const std::shared_ptr<LayoutConstraint>& constraint);
  void activate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
  // Deactivates and forgets every constraint of the group.
  void removeAll();

  [[nodiscard]] const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const {
    return constraints_;
  }

 private:
  std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
};

}  // namespace QVRAdKit::UI
