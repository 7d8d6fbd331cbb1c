#include "QVRAdKit/UI/LayoutConstraintGroup.h"

#include <utility>

namespace QVRAdKit::UI {

LayoutConstraintGroup::LayoutConstraintGroup(LayoutConstraintGroup&& other) noexcept
    : constraints_(std::exchange(other.constraints_, {})) {}

LayoutConstraintGroup& LayoutConstraintGroup::operator=(LayoutConstraintGroup&& other) noexcept {
  if (this != &other) {
    removeAll();
    constraints_ = std::exchange(other.constraints_, {});
  }
  return *this;
}

LayoutConstraintGroup::~LayoutConstraintGroup() {
  removeAll();
}

void LayoutConstraintGroup::activate(const std::shared_ptr<LayoutConstraint>& constraint) {
  if (!constraint) return;
  constraint->activate();
  constraints_.push_back(constraint);
}

void LayoutConstraintGroup::activate(
    const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
  for (const auto& constraint : constraints) activate(constraint);
}

void LayoutConstraintGroup::removeAll() {
  auto constraints = std::exchange(constraints_, {});
  LayoutConstraint::deactivate(constraints);
}

}  // namespace QVRAdKit::UI
