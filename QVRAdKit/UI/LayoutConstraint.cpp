#include "QVRAdKit/UI/LayoutConstraint.h"

#include <atomic>
#include <utility>

#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::UI {
namespace {

// Activations are counted across threads: each environment's main queue may run on its own.
std::atomic<std::uint64_t> activations{0};

}  // namespace

std::shared_ptr<LayoutConstraint> LayoutConstraint::create(Item first, LayoutRelation relation,
                                                           std::optional<Item> second,
                                                           double multiplier, double constant) {
  return std::make_shared<LayoutConstraint>(Key{}, std::move(first), relation, std::move(second),
                                            multiplier, constant);
}

LayoutConstraint::LayoutConstraint(Key /*key*/, Item first, LayoutRelation relation,
                                   std::optional<Item> second, double multiplier, double constant)
    : first_(std::move(first)),
      relation_(relation),
      second_(std::move(second)),
      firstView_(first_.view.lock().get()),
      secondView_(second_ ? second_->view.lock().get() : nullptr),
      multiplier_(multiplier == 0 ? 1 : multiplier),
      constant_(constant) {}

void LayoutConstraint::setConstant(double constant) {
  if (constant == constant_) return;
  constant_ = constant;
  if (active_) invalidateLayout();
}

void LayoutConstraint::setPriority(float priority) {
  priority = LayoutPriority::clamped(priority);
  if (priority == priority_) return;
  priority_ = priority;
  if (active_) invalidateLayout();
}

std::shared_ptr<LayoutConstraint> LayoutConstraint::withPriority(float priority) {
  setPriority(priority);
  return shared_from_this();
}

void LayoutConstraint::setActive(bool active) {
  if (active == active_) return;
  auto firstView = first_.view.lock();
  auto secondView = second_ ? second_->view.lock() : nullptr;
  if (active) {
    // A constraint whose view is already gone has nothing to hold it: it stays inactive.
    if (!firstView || (second_ && !secondView)) return;
    active_ = true;
    activationOrder_ = ++activations;
    const auto self = shared_from_this();
    firstView->attachConstraint(self);
    if (secondView) secondView->attachConstraint(self);
  } else {
    active_ = false;
    const auto keep = shared_from_this();  // the views may hold the last references
    if (firstView) firstView->detachConstraint(this);
    if (secondView) secondView->detachConstraint(this);
  }
  invalidateLayout();
}

void LayoutConstraint::activate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
  for (const auto& constraint : constraints) {
    if (constraint) constraint->setActive(true);
  }
}

void LayoutConstraint::deactivate(
    const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
  for (const auto& constraint : constraints) {
    if (constraint) constraint->setActive(false);
  }
}

void LayoutConstraint::invalidateLayout() const {
  for (const Item* item : {&first_, second_ ? &*second_ : nullptr}) {
    if (item == nullptr) continue;
    if (auto view = item->view.lock()) {
      view->setNeedsLayout();
      // Constraints on a view's edges are solved by its superview's pass.
      if (auto parent = view->superview()) parent->setNeedsLayout();
    }
  }
}

}  // namespace QVRAdKit::UI
